#pragma once

// Reading a Server-Sent-Events body: bytes into lines, lines into events.
//
// Both classes keep state between calls and belong to one stream: use an
// object from one thread at a time.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quiller {

// Splits a byte stream into lines, each handed over without its terminator. A
// line ends at LF, CR or CR LF, also when the CR ends one piece of the stream
// and the LF starts the next. A line longer than kMaximumLineBytes ends the
// splitting with tarn::PlatformError (kURLErrorDomain, dataLengthExceedsMaximum,
// "A line of the event stream is larger than 16 MiB."): a server that never
// ends its line must not fill the memory.
class SSELineSplitter {
public:
    static constexpr std::size_t kMaximumLineBytes = std::size_t{16} * 1024 * 1024;

    // Gets each line; returns false to stop the splitting.
    using LineHandler = std::function<bool(std::string_view line)>;

    // Hands over every line that `bytes` completes, in order. Returns false
    // when the handler stopped it; the bytes after that line are dropped.
    bool feed(std::string_view bytes, const LineHandler& onLine);
    // At the end of the stream: hands over the last line if it had no
    // terminator. Returns what the handler returned (true when none ran).
    bool finish(const LineHandler& onLine);

private:
    std::string m_partial;
    // The previous piece ended with CR: an LF at the start of the next one
    // belongs to that terminator.
    bool m_afterCR = false;
};

// One delivered event: the current event type and the data line's text.
struct SSEEventLine {
    std::string eventType;
    std::string data;

    friend bool operator==(const SSEEventLine&, const SSEEventLine&) = default;
};

// Applies the event-stream fields line by line: "event:" sets the type that
// every later "data:" line carries (initially "message"; never reset), and
// each "data:" line is an event of its own. Values are trimmed of blanks and
// tabs at both ends and have invalid UTF-8 replaced by U+FFFD. Prefixes are
// matched case-sensitively at the very start of the line; every other line
// (blank lines, "id:", "retry:", comments) is ignored.
class SSEEventReader {
public:
    [[nodiscard]] std::optional<SSEEventLine> read(std::string_view line);
    const std::string& eventType() const { return m_eventType; }

private:
    std::string m_eventType = "message";
};

} // namespace quiller
