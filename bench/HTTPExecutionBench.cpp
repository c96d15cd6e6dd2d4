// Request execution end to end over loopback: composition, a transfer on
// fresh handles and a fresh connection, header sorting, body decoding, pretty
// printing, assertions and (in the logged case) the log line.
//
//   Execute1KiB           a 1 KiB GET, as the load benchmark sends it (no log)
//   Execute1KiBLogged     the same as the Send button sends it (one log line)
//   Execute10MBJSON       a 10 MB JSON body fetched, pretty-printed and
//                         asserted on: should stay within 1 s
//
// Extra modes, used by bench/http-vs-curl.sh:
//   --serve                       serve /1k and /10mb.json on 127.0.0.1, print
//                                 the base URL, stop when standard input closes
//   --execute-loop=URL --count=N  execute N GETs of URL one after another and
//                                 print the mean wall time per request in µs
//
// The log lines of the logged case go to a temporary folder, never to the
// user's own log.

#include "BenchSupport.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "TarnKit/Platform/Numbers.h"

#include <array>
#include <atomic>
#include <benchmark/benchmark.h>
#include <boost/asio.hpp>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using quiller::APIRequestSpec;
using quiller::AssertionKind;
using quiller::ResponseAssertionRule;

std::string jsonBodyOfAbout(std::size_t bytes) {
    std::string body = "{\"items\":[";
    for (std::size_t i = 0; body.size() < bytes; ++i) {
        if (i != 0)
            body += ',';
        const std::string n = std::to_string(i);
        body += R"({"id":)" + n + R"(,"name":"item )" + n + R"(","path":"/v1/items/)" + n +
                R"(","tags":["alpha","beta"],"active":true,"score":)" + n + ".5}";
    }
    body += "],\"total\":1}";
    return body;
}

std::string responseFor(std::string_view contentType, const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(contentType) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// Answers one request per connection, one connection at a time: the clients
// measured here send one request after another.
class LoopbackServer {
public:
    LoopbackServer()
        : m_small(responseFor("text/plain", std::string(1024, 'x'))),
          m_large(responseFor("application/json", jsonBodyOfAbout(10 * 1000 * 1000))),
          m_acceptor(m_io, tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0)) {
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        m_stopping = true;
        // Wakes the blocking accept with one last connection.
        boost::system::error_code ignored;
        tcp::socket poke(m_io);
        poke.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port()), ignored);
        m_thread.join();
    }

    unsigned short port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    void serve() {
        for (;;) {
            boost::system::error_code error;
            tcp::socket socket(m_io);
            m_acceptor.accept(socket, error);
            if (error || m_stopping)
                return;
            socket.set_option(tcp::no_delay(true), error);
            std::string request;
            std::array<char, 4096> buffer{};
            while (request.find("\r\n\r\n") == std::string::npos) {
                const std::size_t got = socket.read_some(asio::buffer(buffer), error);
                if (error)
                    break;
                request.append(buffer.data(), got);
            }
            if (error)
                continue;
            const bool large = request.find(" /10mb.json ") != std::string::npos;
            asio::write(socket, asio::buffer(large ? m_large : m_small), error);
            socket.shutdown(tcp::socket::shutdown_send, error);
            // Lets the client close first, so the server's side does not linger.
            while (!error)
                socket.read_some(asio::buffer(buffer), error);
        }
    }

    std::string m_small;
    std::string m_large;
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    unsigned short m_port = m_acceptor.local_endpoint().port();
    std::atomic<bool> m_stopping = false;
    std::thread m_thread;
};

LoopbackServer& server() {
    static LoopbackServer instance;
    return instance;
}

APIRequestSpec getSpec(const std::string& url) {
    APIRequestSpec spec;
    spec.name = "Bench";
    spec.url = url;
    return spec;
}

void Execute1KiB(benchmark::State& state, bool logExecution) {
    const APIRequestSpec spec = getSpec(server().base() + "/1k");
    for (auto _ : state) {
        auto snapshot =
            quiller::HTTPAndSSEClientService::execute(spec, {}, logExecution, std::stop_token());
        if (snapshot.bodyData.size() != 1024)
            state.SkipWithError("unexpected body");
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK_CAPTURE(Execute1KiB, unlogged, false)->Name("Execute1KiB")->UseRealTime();
BENCHMARK_CAPTURE(Execute1KiB, logged, true)->Name("Execute1KiBLogged")->UseRealTime();

void Execute10MBJSON(benchmark::State& state) {
    APIRequestSpec spec = getSpec(server().base() + "/10mb.json");
    spec.assertions = {
        ResponseAssertionRule{.kind = AssertionKind::statusEquals, .expectedValue = "200"},
        ResponseAssertionRule{.kind = AssertionKind::jsonPathEquals,
                              .targetPath = "$.items[1000].name",
                              .expectedValue = "item 1000"},
        ResponseAssertionRule{.kind = AssertionKind::bodyContains, .expectedValue = "\"total\":1"},
        ResponseAssertionRule{.kind = AssertionKind::maxLatencyMs, .expectedValue = "1000"},
    };
    for (auto _ : state) {
        auto snapshot =
            quiller::HTTPAndSSEClientService::execute(spec, {}, false, std::stop_token());
        for (const auto& result : snapshot.assertions)
            if (!result.passed)
                state.SkipWithError(("assertion failed: " + result.actualValue).c_str());
        benchmark::DoNotOptimize(snapshot);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 10'000'000);
}
BENCHMARK(Execute10MBJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

int serveUntilStandardInputCloses() {
    std::cout << server().base() << std::endl;
    char ignored = 0;
    while (::read(STDIN_FILENO, &ignored, 1) > 0) {
    }
    return 0;
}

int executeLoop(const std::string& url, long count) {
    const APIRequestSpec spec = getSpec(url);
    // One request outside the measurement, as curl's first run warms the
    // same caches (the program's pages, the resolver, the server).
    quiller::HTTPAndSSEClientService::execute(spec, {}, false, std::stop_token());
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i)
        quiller::HTTPAndSSEClientService::execute(spec, {}, false, std::stop_token());
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    std::cout << tarn::numbers::formatFixed(elapsed.count() / static_cast<double>(count), 1)
              << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Log lines go to a scratch folder, never the real home.
    const quiller::bench::ScratchDataHome dataHome;

    if (quiller::bench::option(argc, argv, "--serve"))
        return serveUntilStandardInputCloses();
    if (const auto url = quiller::bench::option(argc, argv, "--execute-loop")) {
        const auto count = tarn::numbers::parseInteger(
            quiller::bench::option(argc, argv, "--count").value_or("200"));
        if (!count || *count < 1) {
            std::cerr << "--count needs a positive number\n";
            return 2;
        }
        try {
            return executeLoop(*url, *count);
        } catch (const std::exception& error) {
            std::cerr << "execute failed: " << error.what() << '\n';
            return 1;
        }
    }
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
