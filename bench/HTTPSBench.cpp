// HTTPS request execution against a loopback TLS server whose certificate
// comes from a certificate authority made at start (trusted through
// SSL_CERT_FILE, on top of the system's store).
//
//   TLSPhaseAgainstOneCertificateStore
//       alternates an execution with the shared trust store (system store plus
//       the authority) and a bare libcurl handshake whose store holds the
//       authority alone; reports both mean TLS phases in ms and their ratio
//       (target: ratio <= 1.5, so the phase is the handshake, not the loading
//       of the store)
//   CPUOf100HTTPSExecutions
//       CPU time of the calling thread (where the transfer runs) for 100
//       executions, each on fresh handles with a fresh connection and TLS
//       session (target: cpu_s <= 0.3)

#include "BenchSupport.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "support/LoopbackTLSServer.h"
#include "support/TestCertificates.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <curl/curl.h>
#include <fstream>
#include <memory>
#include <string>

namespace {

using tarn::testing::LoopbackTLSServer;
using tarn::testing::TestCertificateAuthority;

// The authority, its certificate in a file that SSL_CERT_FILE names, and a
// server it vouches for.
struct Fixture {
    Fixture() : server(authority.issue({"localhost"}, {"127.0.0.1"}), std::string(1024, 'x')) {
        std::ofstream(authorityFile) << authority.certificatePEM();
        ::setenv("SSL_CERT_FILE", authorityFile.c_str(), 1);
        ::unsetenv("SSL_CERT_DIR");
    }

    quiller::bench::ScratchFolder folder;
    std::string authorityFile = (folder.path() / "authority.pem").string();
    TestCertificateAuthority authority;
    LoopbackTLSServer server;
};

Fixture& fixture() {
    static Fixture made;
    return made;
}

quiller::APIRequestSpec requestSpec() {
    quiller::APIRequestSpec spec;
    spec.name = "HTTPS";
    spec.url = fixture().server.url();
    return spec;
}

double threadCPUSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The TLS phase of one GET on a bare libcurl handle that trusts the
// authority's certificate alone, in ms.
double oneCertificateTLSPhase(const std::string& url, const std::string& authorityFile) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CAINFO, authorityFile.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    curl_easy_setopt(
        easy.get(), CURLOPT_WRITEFUNCTION,
        +[](char*, std::size_t size, std::size_t count, void*) { return size * count; });
    if (curl_easy_perform(easy.get()) != CURLE_OK)
        return -1;
    curl_off_t connect = 0;
    curl_off_t appConnect = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_CONNECT_TIME_T, &connect);
    curl_easy_getinfo(easy.get(), CURLINFO_APPCONNECT_TIME_T, &appConnect);
    return static_cast<double>(appConnect - connect) / 1000.0;
}

void TLSPhaseAgainstOneCertificateStore(benchmark::State& state) {
    const quiller::APIRequestSpec spec = requestSpec();
    const std::string url = fixture().server.url();
    double shared = 0;
    double single = 0;
    for (auto _ : state) {
        const quiller::HTTPResponseSnapshot snapshot =
            quiller::HTTPAndSSEClientService::execute(spec, {}, false, {});
        const double alone = oneCertificateTLSPhase(url, fixture().authorityFile);
        if (snapshot.statusCode != 200 || alone < 0) {
            state.SkipWithError("the loopback HTTPS server did not answer");
            return;
        }
        shared += snapshot.timing.tlsMs;
        single += alone;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["tls_ms_shared_store"] = shared / n;
    state.counters["tls_ms_one_certificate"] = single / n;
    state.counters["ratio"] = single > 0 ? shared / single : 0;
}
BENCHMARK(TLSPhaseAgainstOneCertificateStore)->Iterations(200)->UseRealTime();

void CPUOf100HTTPSExecutions(benchmark::State& state) {
    const quiller::APIRequestSpec spec = requestSpec();
    double cpu = 0;
    for (auto _ : state) {
        const double start = threadCPUSeconds();
        for (int i = 0; i < 100; ++i)
            if (quiller::HTTPAndSSEClientService::execute(spec, {}, false, {}).statusCode != 200) {
                state.SkipWithError("the loopback HTTPS server did not answer");
                return;
            }
        cpu += threadCPUSeconds() - start;
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(CPUOf100HTTPSExecutions)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    const quiller::bench::ScratchDataHome dataHome;
    fixture();
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
