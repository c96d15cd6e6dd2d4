// Memory of one large response on its way to the screen: a 100 MB JSON body
// fetched from a loopback server through the execution service alone and
// through the view model, with the resident peak read from /proc/self/status. The snapshot keeps
// three forms of the body (the bytes, the text and the pretty text); the target is that the peak
// exceeds those three by at most one body size.
//
// Counters: body_MiB, forms_MiB (the three forms), peak_growth_MiB (the peak
// above what was resident before the send) and over_forms_in_bodies (the
// growth beyond the three forms, in body sizes; the target is 1 or less).
// Meaningless under AddressSanitizer, whose shadow and quarantine grow with
// every allocation: run it from the release build.

#include "BenchSupport.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "ViewModelBenchPorts.h"

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstddef>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quiller::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kBodyBytes = 100 * kMiB;

// "VmRSS" or "VmHWM" of this process, in bytes.
std::size_t statusBytes(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(key)) {
            std::size_t kib = 0;
            for (const char c : line)
                if (c >= '0' && c <= '9')
                    kib = kib * 10 + static_cast<std::size_t>(c - '0');
            return kib * 1024;
        }
    }
    return 0;
}

void resetResidentPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// An array of small objects, pretty-printing into about half as much again.
std::string largeJSON() {
    std::string body = "[";
    const std::string item = R"({"id":123456,"name":"item","tags":["a","b"],"ok":true},)";
    while (body.size() + item.size() + 1 < kBodyBytes)
        body += item;
    body.back() = ']';
    return body;
}

// Serves `body` to every connection until destroyed.
class BodyServer {
public:
    explicit BodyServer(std::string body) : m_body(std::move(body)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 8) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort();
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~BodyServer() {
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/large"; }

private:
    void serve() {
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                 "Connection: close\r\nContent-Length: " +
                                 std::to_string(m_body.size()) + "\r\n\r\n";
        while (!m_stopping) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            char request[4096];
            (void)::recv(client, request, sizeof request, 0);
            sendAll(client, head);
            sendAll(client, m_body);
            ::close(client);
        }
    }
    static void sendAll(int fd, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0)
                return;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    std::string m_body;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

BodyServer& largeJSONServer() {
    static BodyServer server(largeJSON());
    return server;
}

// The counters of one fetched response, from the resident size before the
// send and the peak since.
void reportPeak(benchmark::State& state, const HTTPResponseSnapshot& response, std::size_t before,
                std::size_t peak) {
    const std::size_t body = response.bodyData.size();
    const std::size_t forms = body + response.bodyText.size() + response.prettyBodyText.size();
    const std::size_t growth = peak > before ? peak - before : 0;
    state.counters["body_MiB"] = static_cast<double>(body) / kMiB;
    state.counters["forms_MiB"] = static_cast<double>(forms) / kMiB;
    state.counters["peak_growth_MiB"] = static_cast<double>(growth) / kMiB;
    state.counters["over_forms_in_bodies"] =
        (static_cast<double>(growth) - static_cast<double>(forms)) / static_cast<double>(body);
}

void BM_ExecuteLargeJSON(benchmark::State& state) {
    BodyServer& server = largeJSONServer();
    APIRequestSpec request;
    request.name = "Large";
    request.url = server.url();
    for (auto _ : state) {
        state.PauseTiming();
        const std::size_t before = statusBytes("VmRSS:");
        resetResidentPeak();
        state.ResumeTiming();

        // On a thread of its own, as the view model runs it: the parser's
        // buffers belong to the thread and go with it.
        HTTPResponseSnapshot response;
        std::thread([&] {
            response = HTTPAndSSEClientService::execute(request, {}, false, std::stop_token());
        }).join();

        state.PauseTiming();
        reportPeak(state, response, before, statusBytes("VmHWM:"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExecuteLargeJSON)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FetchAndShowLargeJSON(benchmark::State& state) {
    BodyServer& server = largeJSONServer();
    ScratchFolder folder;
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger("Quiller", folder.path() / "logs", 1 << 20, 1, nullptr);
    const auto main = std::make_shared<QueueMainExecutor>();

    for (auto _ : state) {
        state.PauseTiming();
        // A fresh view model each time, so no earlier response is kept.
        QuillerViewModel viewModel(benchPorts(main, folder.path(), keychain, logger));
        APIRequestSpec request;
        request.name = "Large";
        request.url = server.url();
        viewModel.setCollections({APIRequestCollection{.name = "Memory", .requests = {request}}});
        viewModel.setSelectedRequestID(request.id);
        main->runAll();
        const std::size_t before = statusBytes("VmRSS:");
        resetResidentPeak();
        state.ResumeTiming();

        viewModel.sendActiveRequest();
        while (viewModel.isSending()) {
            main->runAll();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // What a view reads when it shows the response.
        benchmark::DoNotOptimize(viewModel.responseDiff());

        state.PauseTiming();
        const std::size_t peak = statusBytes("VmHWM:");
        if (!viewModel.latestResponse()) {
            state.SkipWithError(viewModel.toastMessage().value_or("no response").c_str());
            break;
        }
        reportPeak(state, *viewModel.latestResponse(), before, peak);
        viewModel.flushSaves();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FetchAndShowLargeJSON)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace quiller::bench

int main(int argc, char** argv) {
    const quiller::bench::ScratchDataHome dataHome;
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
