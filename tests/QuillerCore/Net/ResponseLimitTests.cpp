// A hostile server cannot make a response fill the memory: an endless body, a
// small gzip body that inflates without end, an event-stream line without an
// end and an oversized head each stop the transfer with the limit's own
// error, while the process stays far below what it was sent.

#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "ServiceTestSupport.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "support/LoopbackHTTPServer.h"
#include "support/ProcessInspection.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <vector>
#include <zlib.h>

namespace {

using quiller::HTTPAndSSEClientService::execute;
using quiller::HTTPAndSSEClientService::streamSSE;
using quiller::testing::platformErrorOf;
using quiller::testing::requestSpec;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using tarn::testing::ServedRequest;

constexpr std::size_t kMiB = 1024 * 1024;
// What the process may hold at most while a server sends without end.
constexpr std::size_t kResidentCeiling = 400 * kMiB;
// What a transfer may add: the largest body, the shadow that AddressSanitizer
// keeps of it (one eighth; its own quarantine and start-up make the whole
// process larger than a plain build, so that build alone checks the ceiling
// above) and a little working memory.
constexpr std::size_t kGrowthCeiling = 256 * kMiB + 32 * kMiB + 48 * kMiB;

// Writes the head, then `first` once and `next` for ever, until the client
// goes away.
ScriptedReply endless(std::string head, std::string first, std::string next) {
    return ScriptedReply::takeOver(
        [head = std::move(head), first = std::move(first),
         next = std::move(next)](int fd, const ServedRequest&, std::string) {
            const auto sendAll = [fd](const std::string& bytes) {
                std::size_t sent = 0;
                while (sent < bytes.size()) {
                    const ssize_t n =
                        ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0)
                        return false;
                    sent += static_cast<std::size_t>(n);
                }
                return true;
            };
            if (!sendAll(head) || !sendAll(first))
                return;
            while (sendAll(next)) {
            }
        });
}

// A gzip stream of zeros, in the pieces `endless` wants: the header with the
// first mebibyte, then one more mebibyte per piece. A full flush after each
// mebibyte makes every later piece the same bytes, so the stream can go on
// for ever (its trailer is never reached).
std::pair<std::string, std::string> gzipOfEndlessZeros() {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string zeros(kMiB, '\0');
    const auto compressOnce = [&] {
        std::string out(64 * 1024, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(deflate(&stream, Z_FULL_FLUSH), Z_OK);
        EXPECT_EQ(stream.avail_in, 0u);
        out.resize(out.size() - stream.avail_out);
        return out;
    };
    std::string first = compressOnce();
    std::string next = compressOnce();
    deflateEnd(&stream);
    return {std::move(first), std::move(next)};
}

struct BombCase {
    std::string name;
    std::function<ScriptedReply()> reply;
    bool asEventStream;
    std::string error;
};

class ResponseLimitTest : public ::testing::TestWithParam<BombCase> {
protected:
    LoopbackHTTPServer server;
};

TEST_P(ResponseLimitTest, StopsWithTheLimitsErrorAndBoundedMemory) {
    const BombCase& c = GetParam();
    server.route("/bomb", c.reply());

    tarn::testing::resetResidentPeak();
    const std::size_t before = tarn::testing::residentPeakBytes();
    const tarn::PlatformError error = platformErrorOf([&] {
        if (c.asEventStream)
            streamSSE(server.url("/bomb"), {}, std::nullopt, quiller::TarnHTTPMethod::get,
                      [](const quiller::SSEStreamEvent&) {}, {});
        else
            execute(requestSpec(server.url("/bomb")), {}, false, {});
    });
    const std::size_t peak = tarn::testing::residentPeakBytes();

    EXPECT_EQ(error.domain(), tarn::kURLErrorDomain);
    EXPECT_EQ(error.code(), tarn::URLErrorCode::dataLengthExceedsMaximum);
    EXPECT_EQ(error.description(), c.error);
    ASSERT_GT(peak, 0u);
    EXPECT_LT(peak - before, kGrowthCeiling)
        << "MiB before: " << before / kMiB << ", at the peak: " << peak / kMiB;
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(peak, kResidentCeiling) << "peak resident MiB: " << peak / kMiB;
#endif
}

const std::string kOctetHead = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Bombs, ResponseLimitTest,
    ::testing::Values(
        BombCase{"endlessBody",
                 [] { return endless(kOctetHead, std::string(kMiB, 'x'), std::string(kMiB, 'x')); },
                 false, "The response is larger than 256 MiB."},
        BombCase{"hugeLength",
                 [] {
                     return endless("HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n", "",
                                    std::string(kMiB, 'x'));
                 },
                 false, "The response is larger than 256 MiB."},
        BombCase{"gzipBomb",
                 [] {
                     auto [first, next] = gzipOfEndlessZeros();
                     return endless("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                    "Content-Encoding: gzip\r\n\r\n",
                                    std::move(first), std::move(next));
                 },
                 false, "The response is larger than 256 MiB."},
        BombCase{"endlessEventLine",
                 [] {
                     return endless("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n\r\n",
                                    "data: ", std::string(kMiB, 'x'));
                 },
                 true, "A line of the event stream is larger than 16 MiB."},
        BombCase{"endlessHead",
                 [] {
                     return endless("HTTP/1.1 200 OK\r\n", "",
                                    "X-Filler: " + std::string(1000, 'x') + "\r\n");
                 },
                 false, "The response head is larger than 300 KiB."},
        BombCase{
            "hugeHeaderLine",
            [] { return endless("HTTP/1.1 200 OK\r\nX-Big: ", "", std::string(64 * 1024, 'x')); },
            false, "A header line of the response is larger than 100 KiB."}),
    [](const ::testing::TestParamInfo<BombCase>& param) { return param.param.name; });

TEST(ResponseLength, ABodyShorterThanAnOverflowingLengthIsAnError) {
    LoopbackHTTPServer server;
    server.route("/short", ScriptedReply::raw({"HTTP/1.1 200 OK\r\nContent-Length: "
                                               "99999999999999999999999\r\n\r\nonly this"}));
    const tarn::PlatformError error =
        platformErrorOf([&] { execute(requestSpec(server.url("/short")), {}, false, {}); });
    EXPECT_EQ(error.code(), tarn::URLErrorCode::networkConnectionLost);
    EXPECT_EQ(error.description(), "The network connection was lost.");
}

} // namespace
