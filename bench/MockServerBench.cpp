// Serves the mock server on a port until SIGINT or SIGTERM, for
// bench/mock-server-vs-peer.sh to load with an HTTP load tool. The route
// GET /bench answers {"ok":true}; every other request gets the JSON echo.
//
// Usage: MockServerBench [port]   (default 0: a free port)
// Prints "listening on <port>" once ready. Log lines go to the usual
// application log; point XDG_DATA_HOME elsewhere to keep them out of it.
#include "QuillerCore/Services/LocalHTTPProxyService.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"

#include <csignal>
#include <cstdint>
#include <iostream>
#include <optional>

int main(int argc, char** argv) {
    std::uint16_t port = 0;
    if (argc > 1) {
        const std::optional<long long> parsed = tarn::numbers::parseInteger(argv[1]);
        if (!parsed || *parsed < 0 || *parsed > 65535) {
            std::cerr << "usage: MockServerBench [port]\n";
            return 2;
        }
        port = static_cast<std::uint16_t>(*parsed);
    }

    // Blocked before the server's thread exists, so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    quiller::MockRouteRule route;
    route.method = "GET";
    route.path = "/bench";
    route.statusCode = 200;
    route.contentType = "application/json";
    route.responseBody = R"({"ok":true})";

    quiller::LocalHTTPProxyService server;
    server.updateMockRoutes({route});
    try {
        port = server.start(port);
    } catch (const tarn::PlatformError& error) {
        std::cerr << "cannot listen: " << error.description() << '\n';
        return 1;
    }
    std::cout << "listening on " << port << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
