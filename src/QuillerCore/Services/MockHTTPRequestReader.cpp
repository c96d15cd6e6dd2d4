#include "QuillerCore/Services/MockHTTPRequestReader.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

namespace quiller {
namespace {

// --- Framing helpers (ASCII only, independent of the process locale) --------

using tarn::ascii::equalsIgnoringCase;

std::string_view trimmedBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view withoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::optional<std::size_t> parseDecimalLength(std::string_view text) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "1a", "1a;name=value", "1a " -> 26; anything else is no chunk size.
std::optional<std::size_t> parseChunkSize(std::string_view line) {
    std::size_t value = 0;
    std::size_t i = 0;
    for (; i < line.size(); ++i) {
        const int digit = tarn::numbers::hexDigitValue(line[i]);
        if (digit < 0)
            break;
        if (value > (SIZE_MAX >> 4))
            return std::nullopt;
        value = value * 16 + static_cast<std::size_t>(digit);
    }
    if (i == 0)
        return std::nullopt;
    const std::string_view rest = trimmedBlanks(line.substr(i));
    if (!rest.empty() && rest.front() != ';')
        return std::nullopt;
    return value;
}

// Where the head ends: the position of its first empty line and the length of
// that line's ending ("\n", "\r\n" after the line feed of the last field).
// A line ends at a line feed, with or without a carriage return before it.
std::optional<std::pair<std::size_t, std::size_t>> headSeparator(std::string_view text) {
    for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
        if (text.substr(i + 1, 1) == "\n")
            return std::pair(i, std::size_t{2});
        if (text.substr(i + 1, 2) == "\r\n")
            return std::pair(i, std::size_t{3});
    }
    return std::nullopt;
}

} // namespace

// --- Parsing ------------------------------------------------------------------

MockHTTPRequest parseMockHTTPRequest(std::string_view raw) {
    const std::string text = tarn::text::repairUTF8(raw);
    const std::string_view all = text;

    MockHTTPRequest request;
    std::string_view head = all;
    if (const auto separator = headSeparator(all)) {
        head = all.substr(0, separator->first);
        request.body = std::string(all.substr(separator->first + separator->second));
    }

    std::size_t lineStart = 0;
    bool isRequestLine = true;
    while (lineStart <= head.size()) {
        std::size_t lineEnd = head.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = head.size();
        const std::string_view line =
            withoutCarriageReturn(head.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;

        if (isRequestLine) {
            isRequestLine = false;
            std::size_t piece = 0;
            std::size_t at = 0;
            while (at < line.size() && piece < 2) {
                while (at < line.size() && line[at] == ' ')
                    ++at;
                const std::size_t end = std::min(line.find(' ', at), line.size());
                if (end > at) {
                    (piece == 0 ? request.method : request.path) =
                        std::string(line.substr(at, end - at));
                    ++piece;
                }
                at = end;
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        request.headers.insert_or_assign(
            std::string(tarn::text::trimmingWhitespace(line.substr(0, colon))),
            std::string(tarn::text::trimmingWhitespace(line.substr(colon + 1))));
    }
    return request;
}

// --- Reading --------------------------------------------------------------------

MockHTTPRequestReader::MockHTTPRequestReader(std::size_t maximumBytes)
    : m_maximumBytes(maximumBytes) {}

bool MockHTTPRequestReader::append(std::string_view bytes) {
    if (m_complete)
        return true;
    m_raw.append(bytes.substr(0, remainingCapacity()));
    if (m_headEnd == std::string::npos) {
        findHeadEnd();
        if (m_headEnd != std::string::npos)
            readHead();
    }
    if (m_headEnd != std::string::npos && !m_complete) {
        if (m_framing == Framing::length)
            m_complete = m_raw.size() - m_headEnd >= m_contentLength;
        else if (m_framing == Framing::chunked)
            advanceChunks();
    }
    // At the cap the request is what has come; waiting could not add to it.
    if (m_raw.size() >= m_maximumBytes)
        m_complete = true;
    return m_complete;
}

// The head ends with an empty line: "\n\n" or "\n\r\n", so both CRLF and bare
// LF clients are answered as soon as their head is in.
void MockHTTPRequestReader::findHeadEnd() {
    std::size_t i = m_scanFrom;
    const std::size_t size = m_raw.size();
    while ((i = m_raw.find('\n', i)) != std::string::npos) {
        if (i + 1 >= size)
            break;
        if (m_raw[i + 1] == '\n') {
            m_headEnd = i + 2;
            return;
        }
        if (m_raw[i + 1] == '\r') {
            if (i + 2 >= size)
                break;
            if (m_raw[i + 2] == '\n') {
                m_headEnd = i + 3;
                return;
            }
        }
        ++i;
    }
    // Resume at a line feed whose follower has not arrived yet.
    m_scanFrom = i == std::string::npos ? size : i;
}

void MockHTTPRequestReader::readHead() {
    const std::string_view head = std::string_view(m_raw).substr(0, m_headEnd);
    bool chunked = false;
    bool otherCoding = false;
    bool badLength = false;
    std::optional<std::size_t> length;
    bool expectContinue = false;

    std::size_t lineStart = head.find('\n'); // the request line declares nothing
    while (lineStart != std::string_view::npos && lineStart + 1 < head.size()) {
        const std::size_t begin = lineStart + 1;
        lineStart = head.find('\n', begin);
        const std::size_t end = lineStart == std::string_view::npos ? head.size() : lineStart;
        const std::string_view line = withoutCarriageReturn(head.substr(begin, end - begin));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = trimmedBlanks(line.substr(0, colon));
        const std::string_view value = trimmedBlanks(line.substr(colon + 1));
        if (equalsIgnoringCase(name, "transfer-encoding")) {
            // Only the last coding decides; a later header line extends the list.
            const std::size_t comma = value.rfind(',');
            const std::string_view last =
                trimmedBlanks(comma == std::string_view::npos ? value : value.substr(comma + 1));
            chunked = equalsIgnoringCase(last, "chunked");
            otherCoding = !chunked && !last.empty();
        } else if (equalsIgnoringCase(name, "content-length")) {
            const auto parsed = parseDecimalLength(value);
            if (!parsed || (length && *length != *parsed))
                badLength = true;
            else
                length = parsed;
        } else if (equalsIgnoringCase(name, "expect")) {
            expectContinue = equalsIgnoringCase(value, "100-continue");
        }
    }

    if (chunked) {
        m_framing = Framing::chunked;
        m_chunkCursor = m_headEnd;
    } else if (otherCoding || badLength || !length || *length == 0) {
        // No body of a length we can know: the request is what has come.
        m_framing = Framing::none;
        m_complete = true;
    } else {
        m_framing = Framing::length;
        m_contentLength = *length;
    }
    m_expectContinue = expectContinue && !m_complete;
}

void MockHTTPRequestReader::advanceChunks() {
    const std::string_view raw = m_raw;
    while (!m_complete) {
        switch (m_chunkState) {
        case ChunkState::sizeLine: {
            const std::size_t lineFeed = raw.find('\n', m_chunkCursor);
            if (lineFeed == std::string_view::npos)
                return;
            const auto size = parseChunkSize(
                withoutCarriageReturn(raw.substr(m_chunkCursor, lineFeed - m_chunkCursor)));
            if (!size) {
                m_complete = true;
                return;
            }
            m_chunkCursor = lineFeed + 1;
            m_chunkRemaining = *size;
            m_chunkState = *size == 0 ? ChunkState::trailer : ChunkState::data;
            break;
        }
        case ChunkState::data: {
            const std::size_t take = std::min(m_chunkRemaining, raw.size() - m_chunkCursor);
            m_decodedBody.append(raw.substr(m_chunkCursor, take));
            m_chunkCursor += take;
            m_chunkRemaining -= take;
            if (m_chunkRemaining > 0)
                return;
            m_chunkState = ChunkState::dataEnd;
            break;
        }
        case ChunkState::dataEnd: {
            const std::string_view rest = raw.substr(m_chunkCursor);
            if (rest.empty() || rest == "\r")
                return;
            if (rest.front() == '\n' || rest.substr(0, 2) == "\r\n") {
                m_chunkCursor += rest.front() == '\n' ? 1 : 2;
                m_chunkState = ChunkState::sizeLine;
            } else {
                m_complete = true;
            }
            break;
        }
        case ChunkState::trailer: {
            const std::size_t lineFeed = raw.find('\n', m_chunkCursor);
            if (lineFeed == std::string_view::npos)
                return;
            const bool isEmpty =
                withoutCarriageReturn(raw.substr(m_chunkCursor, lineFeed - m_chunkCursor)).empty();
            m_chunkCursor = lineFeed + 1;
            if (isEmpty)
                m_complete = true;
            break;
        }
        }
    }
}

bool MockHTTPRequestReader::expectsContinue() const {
    return m_expectContinue && !m_continueSent && !m_complete && m_raw.size() == m_headEnd;
}

std::string MockHTTPRequestReader::request() const {
    if (m_headEnd == std::string::npos)
        return m_raw;
    switch (m_framing) {
    case Framing::length:
        return m_raw.substr(0, m_headEnd + std::min(m_contentLength, m_raw.size() - m_headEnd));
    case Framing::chunked:
        return m_raw.substr(0, m_headEnd) + m_decodedBody;
    case Framing::none:
        break;
    }
    return m_raw;
}

} // namespace quiller
