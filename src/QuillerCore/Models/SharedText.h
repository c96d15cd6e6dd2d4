#pragma once

// Read-only text whose storage is shared by every copy. A response body and
// its texts can be hundreds of megabytes and travel by copy from the service
// to the latest response, the previous response, the response history and the
// views; each of those copies costs a reference count, never the bytes again.
//
// The text cannot be changed in place, only replaced whole, so copies held by
// other threads stay valid. Any thread may read or copy it.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace quiller {

class SharedText {
public:
    SharedText() = default;
    // Implicit on purpose: a string is handed over as it is, moved when it can
    // be (its capacity, such as a parser's padding, is kept).
    SharedText(std::string text);
    SharedText(const char* text) : SharedText(std::string(text)) {}

    const std::string& str() const { return m_text ? *m_text : emptyText(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }

    std::size_t size() const { return str().size(); }
    bool empty() const { return str().empty(); }
    const char* data() const { return str().data(); }
    std::size_t capacity() const { return str().capacity(); }

    // True when both hold the very same storage (not merely equal text).
    bool sharesStorageWith(const SharedText& other) const {
        return m_text != nullptr && m_text == other.m_text;
    }

    friend bool operator==(const SharedText& a, const SharedText& b) {
        return a.sharesStorageWith(b) || a.str() == b.str();
    }
    friend bool operator==(const SharedText& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const SharedText& a, std::string_view b) { return a.str() == b; }
    friend bool operator==(const SharedText& a, const char* b) {
        return a.str() == std::string_view(b);
    }

private:
    static const std::string& emptyText();

    std::shared_ptr<const std::string> m_text{};
};

// The text itself, for test failure messages and logs.
std::ostream& operator<<(std::ostream& stream, const SharedText& text);

} // namespace quiller
