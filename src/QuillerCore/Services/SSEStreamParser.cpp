#include "QuillerCore/Services/SSEStreamParser.h"

#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"

namespace quiller {
namespace {

std::string_view trimmingBlanksAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Adds a piece of a line to what came of it before.
void extendLine(std::string& line, std::string_view piece) {
    if (piece.size() > SSELineSplitter::kMaximumLineBytes - line.size())
        throw tarn::PlatformError(tarn::kURLErrorDomain,
                                  tarn::URLErrorCode::dataLengthExceedsMaximum,
                                  "A line of the event stream is larger than 16 MiB.");
    line.append(piece);
}

} // namespace

bool SSELineSplitter::feed(std::string_view bytes, const LineHandler& onLine) {
    std::size_t at = 0;
    if (m_afterCR && !bytes.empty()) {
        m_afterCR = false;
        if (bytes.front() == '\n')
            at = 1;
    }
    while (at < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            extendLine(m_partial, bytes.substr(at));
            return true;
        }
        std::size_t next = end + 1;
        if (bytes[end] == '\r') {
            if (next == bytes.size())
                m_afterCR = true;
            else if (bytes[next] == '\n')
                ++next;
        }
        bool goOn = true;
        if (m_partial.empty()) {
            goOn = onLine(bytes.substr(at, end - at));
        } else {
            extendLine(m_partial, bytes.substr(at, end - at));
            goOn = onLine(m_partial);
            m_partial.clear();
        }
        if (!goOn)
            return false;
        at = next;
    }
    return true;
}

bool SSELineSplitter::finish(const LineHandler& onLine) {
    m_afterCR = false;
    if (m_partial.empty())
        return true;
    const std::string last = std::move(m_partial);
    m_partial.clear();
    return onLine(last);
}

std::optional<SSEEventLine> SSEEventReader::read(std::string_view line) {
    static constexpr std::string_view kEvent = "event:";
    static constexpr std::string_view kData = "data:";
    if (line.starts_with(kEvent)) {
        m_eventType = tarn::text::repairUTF8(trimmingBlanksAndTabs(line.substr(kEvent.size())));
        return std::nullopt;
    }
    if (line.starts_with(kData))
        return SSEEventLine{
            m_eventType, tarn::text::repairUTF8(trimmingBlanksAndTabs(line.substr(kData.size())))};
    return std::nullopt;
}

} // namespace quiller
