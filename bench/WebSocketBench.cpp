// The stream console under load: 10,000 text messages sent as fast as the
// client takes them, each echoed by a loopback server. The time runs from the
// connect to the last echo. An echo that is missing, repeated or out of order,
// or any disconnect report, fails the run instead of giving a time.

#include "QuillerCore/Services/TarnWebSocketClient.h"

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;
using tcp = boost::asio::ip::tcp;

constexpr int kMessages = 10'000;

// Serves one connection at a time on 127.0.0.1, echoing every message.
class EchoServer {
public:
    EchoServer() {
        m_thread = std::thread([this] {
            for (;;) {
                tcp::socket socket(m_io);
                beast::error_code ec;
                m_acceptor.accept(socket, ec);
                if (ec)
                    return;
                echo(std::move(socket));
            }
        });
    }
    ~EchoServer() {
        // Wakes the blocking accept; the connection being served ends when
        // the client leaves.
        ::shutdown(m_acceptor.native_handle(), SHUT_RDWR);
        m_thread.join();
    }

    std::string url() const {
        return "ws://127.0.0.1:" + std::to_string(m_acceptor.local_endpoint().port()) + "/";
    }

private:
    static void echo(tcp::socket socket) {
        websocket::stream<tcp::socket> ws(std::move(socket));
        beast::error_code ec;
        ws.accept(ec);
        beast::flat_buffer buffer;
        while (!ec) {
            ws.read(buffer, ec);
            if (ec)
                break;
            ws.text(ws.got_text());
            ws.write(buffer.data(), ec);
            buffer.consume(buffer.size());
        }
    }

    net::io_context m_io;
    tcp::acceptor m_acceptor{m_io, tcp::endpoint(net::ip::make_address("127.0.0.1"), 0)};
    std::thread m_thread;
};

struct Echoes {
    std::mutex mutex;
    std::condition_variable changed;
    int received = 0;
    bool inOrder = true;
    std::optional<std::string> failure;
};

std::string message(int index) {
    return "message " + std::to_string(index);
}

void BM_WebSocketEchoTenThousand(benchmark::State& state) {
    EchoServer server;
    std::vector<std::string> messages;
    for (int i = 0; i < kMessages; ++i)
        messages.push_back(message(i));

    // Outlives the loop: the run's error text points into it.
    std::string error;
    for (auto _ : state) {
        Echoes echoes;
        quiller::TarnWebSocketClient client;
        client.setOnMessage([&](const quiller::WebSocketFrameItem& frame) {
            if (frame.isOutgoing)
                return;
            {
                std::lock_guard lock(echoes.mutex);
                if (echoes.received >= kMessages || frame.payload != messages[echoes.received])
                    echoes.inOrder = false;
                ++echoes.received;
            }
            echoes.changed.notify_all();
        });
        client.setOnDisconnect([&](const std::optional<std::string>& text) {
            {
                std::lock_guard lock(echoes.mutex);
                echoes.failure = text.value_or("disconnected");
            }
            echoes.changed.notify_all();
        });

        if (!client.connect(server.url())) {
            state.SkipWithError("no URL");
            break;
        }
        for (const std::string& text : messages)
            client.send(text);
        std::unique_lock lock(echoes.mutex);
        const bool done = echoes.changed.wait_for(lock, std::chrono::seconds(60), [&] {
            return echoes.received >= kMessages || echoes.failure.has_value();
        });
        if (!done || echoes.failure || !echoes.inOrder || echoes.received != kMessages) {
            error = echoes.failure ? *echoes.failure : "an echo was lost or out of order";
            state.SkipWithError(error.c_str());
            break;
        }
        lock.unlock();
        state.PauseTiming();
        client.disconnect();
        state.ResumeTiming();
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(kMessages) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_WebSocketEchoTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
