#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace quiller {

// One request as the mock server understands it.
struct MockHTTPRequest {
    // As sent; "GET" when the request line has no piece at all.
    std::string method = "GET";
    // The request target as sent, query included; "/" when missing.
    std::string path = "/";
    // Name to value, names in their own case; a later line with the same name
    // replaces the earlier value.
    std::map<std::string, std::string> headers{};
    std::string body{};

    friend bool operator==(const MockHTTPRequest&, const MockHTTPRequest&) = default;
};

// Reads one request as the lenient mock server does: the bytes are decoded as
// UTF-8 with every invalid sequence replaced by U+FFFD; a line ends at a line
// feed, with or without a carriage return before it; the head is everything
// before the first empty line and the body everything after it (empty without
// one); the head's first line is split at blanks into method and path, and
// every later line holding a ":" gives a header, name and value trimmed of
// blanks and tabs. Never fails: missing parts keep the
// defaults above. Pure; any thread.
[[nodiscard]] MockHTTPRequest parseMockHTTPRequest(std::string_view raw);

// Collects the bytes of one request from a connection, so that a request is
// answered once it is whole and not on whatever its first TCP segment held.
//
// The head ends at the first empty line (a line feed, optionally after a
// carriage return). What follows is taken by the framing the head declares:
// - "Transfer-Encoding" ending in "chunked": the chunks are decoded and the
//   trailer is read and dropped;
// - otherwise "Content-Length": exactly that many bytes; more are ignored;
// - neither: nothing more is awaited, and bytes that came with the head stay
//   the body.
// Framing that cannot be read (a bad length, a bad chunk) ends the request with
// what has arrived; so does reaching `maximumBytes` of input. request() may be
// taken at any time, which is how a server answers a client that stopped
// sending early.
//
// Not thread-safe: one connection's handlers use it, one at a time.
class MockHTTPRequestReader {
public:
    static constexpr std::size_t kMaximumBytes = 131072;

    explicit MockHTTPRequestReader(std::size_t maximumBytes = kMaximumBytes);

    // Takes bytes that arrived, at most remainingCapacity() of them (the rest
    // is dropped). Returns isComplete(). Bytes after completion are ignored.
    bool append(std::string_view bytes);

    bool isComplete() const { return m_complete; }
    bool hasData() const { return !m_raw.empty(); }
    // How many more input bytes the cap allows.
    std::size_t remainingCapacity() const { return m_maximumBytes - m_raw.size(); }

    // True when the head asked for "Expect: 100-continue", a body is due and
    // none of it has arrived, until markContinueSent().
    bool expectsContinue() const;
    void markContinueSent() { m_continueSent = true; }

    // The request for parseMockHTTPRequest: the head as received, then the
    // body (decoded when chunked) as far as it has arrived.
    std::string request() const;

private:
    enum class Framing { none, length, chunked };

    enum class ChunkState { sizeLine, data, dataEnd, trailer };

    void findHeadEnd();
    void readHead();
    void advanceChunks();

    std::size_t m_maximumBytes;
    std::string m_raw;
    std::size_t m_scanFrom = 0;
    std::size_t m_headEnd = std::string::npos;
    Framing m_framing = Framing::none;
    std::size_t m_contentLength = 0;
    bool m_expectContinue = false;
    bool m_continueSent = false;
    bool m_complete = false;

    // Chunked bodies: the decoded bytes so far, where reading resumes in
    // m_raw, and what is expected there.
    std::string m_decodedBody;
    std::size_t m_chunkCursor = 0;
    ChunkState m_chunkState = ChunkState::sizeLine;
    std::size_t m_chunkRemaining = 0;
};

} // namespace quiller
