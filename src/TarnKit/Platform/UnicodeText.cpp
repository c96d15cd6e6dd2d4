#include "TarnKit/Platform/UnicodeText.h"

#include "TarnKit/Platform/ASCII.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <utf8proc.h>

namespace tarn::text {
namespace {} // namespace

// The allowed ranges of the second byte follow the standard's table of
// well-formed sequences, which is what rules out overlong forms, surrogates and
// values above U+10FFFF.
Decoded decodeAt(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80)
        return {lead, 1, true};

    std::size_t trailing = 0;
    char32_t codePoint = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        codePoint = lead & 0x0Fu;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        codePoint = lead & 0x07u;
        if (lead == 0xF0)
            low = 0x90; // overlong
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return {kReplacementCharacter, 1, false};
    }

    std::size_t length = 1;
    for (; length <= trailing; ++length) {
        if (i + length >= bytes.size())
            return {kReplacementCharacter, length, false};
        const auto byte = static_cast<unsigned char>(bytes[i + length]);
        if (byte < low || byte > high)
            return {kReplacementCharacter, length, false};
        codePoint = codePoint << 6 | (byte & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {codePoint, length, true};
}

namespace {

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The code point that ends at `end`, if the bytes there form a well-formed
// sequence. Forward decoding always restarts at a byte that is not a
// continuation byte, so a well-formed sequence found this way is exactly what
// the forward reading sees too.
std::optional<Decoded> decodeBefore(std::string_view bytes, std::size_t end) {
    std::size_t start = end;
    while (start > 0 && end - start < 4) {
        --start;
        if (!isContinuationByte(bytes[start])) {
            const Decoded decoded = decodeAt(bytes, start);
            if (decoded.valid && start + decoded.length == end)
                return decoded;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool isASCII(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

template <class Predicate> std::string_view trimming(std::string_view text, Predicate isTrimmed) {
    std::size_t start = 0;
    while (start < text.size()) {
        const Decoded decoded = decodeAt(text, start);
        if (!decoded.valid || !isTrimmed(decoded.codePoint))
            break;
        start += decoded.length;
    }
    std::size_t end = text.size();
    while (end > start) {
        const std::optional<Decoded> decoded = decodeBefore(text, end);
        if (!decoded || !isTrimmed(decoded->codePoint))
            break;
        end -= decoded->length;
    }
    return text.substr(start, end - start);
}

template <class Mapping> std::string mapCodePoints(std::string_view text, Mapping map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Decoded decoded = decodeAt(text, i);
        appendUTF8(out, map(decoded.codePoint));
        i += decoded.length;
    }
    return out;
}

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};

} // namespace

// --- UTF-8 -----------------------------------------------------------------

bool isValidUTF8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const Decoded decoded = decodeAt(bytes, i);
        if (!decoded.valid)
            return false;
        i += decoded.length;
    }
    return true;
}

std::string repairUTF8(std::string_view bytes) {
    if (isValidUTF8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 16);
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded decoded = decodeAt(bytes, i);
        if (decoded.valid)
            out.append(bytes.substr(i, decoded.length));
        else
            appendUTF8(out, kReplacementCharacter);
        i += decoded.length;
    }
    return out;
}

std::u32string decodeUTF8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded decoded = decodeAt(bytes, i);
        out.push_back(decoded.codePoint);
        i += decoded.length;
    }
    return out;
}

void appendUTF8(std::string& out, char32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = kReplacementCharacter;
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// --- Characters ----------------------------------------------------------------

CharacterScanner::CharacterScanner(std::string_view text) : m_text(text) {
    if (!m_text.empty()) {
        const Decoded first = decodeAt(m_text, 0);
        m_nextEnd = first.length;
        m_nextCodePoint = first.codePoint;
    }
}

std::optional<std::string_view> CharacterScanner::next() {
    if (m_next >= m_text.size())
        return std::nullopt;
    const std::size_t start = m_next;
    char32_t previous = m_nextCodePoint;
    std::size_t position = m_nextEnd;
    while (position < m_text.size()) {
        const Decoded decoded = decodeAt(m_text, position);
        // utf8proc keeps the state that the emoji and regional-indicator rules
        // need; it must see every pair in order, which this loop guarantees.
        const bool isBreak = utf8proc_grapheme_break_stateful(
            static_cast<utf8proc_int32_t>(previous),
            static_cast<utf8proc_int32_t>(decoded.codePoint), &m_breakState);
        if (isBreak) {
            m_next = position;
            m_nextEnd = position + decoded.length;
            m_nextCodePoint = decoded.codePoint;
            return m_text.substr(start, position - start);
        }
        previous = decoded.codePoint;
        position += decoded.length;
    }
    m_next = m_text.size();
    return m_text.substr(start);
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    CharacterScanner scanner(text);
    while (scanner.next())
        ++count;
    return count;
}

std::string_view prefixCharacters(std::string_view text, std::size_t count) {
    CharacterScanner scanner(text);
    std::size_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<std::string_view> character = scanner.next();
        if (!character)
            break;
        end = static_cast<std::size_t>(character->data() - text.data()) + character->size();
    }
    return text.substr(0, end);
}

std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> result;
    CharacterScanner scanner(text);
    while (const std::optional<std::string_view> character = scanner.next())
        result.push_back(*character);
    return result;
}

// --- White space -----------------------------------------------------------------

bool isWhitespaceOrNewline(char32_t codePoint) {
    if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x20 || codePoint == 0x85)
        return true;
    if (codePoint < 0x80 || codePoint > 0x10FFFF)
        return false;
    const utf8proc_category_t category =
        utf8proc_category(static_cast<utf8proc_int32_t>(codePoint));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
           category == UTF8PROC_CATEGORY_ZP;
}

bool isHorizontalWhitespace(char32_t codePoint) {
    if (codePoint == 0x09 || codePoint == 0x20)
        return true;
    if (codePoint < 0x80 || codePoint > 0x10FFFF)
        return false;
    return utf8proc_category(static_cast<utf8proc_int32_t>(codePoint)) == UTF8PROC_CATEGORY_ZS;
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    return trimming(text, isWhitespaceOrNewline);
}

std::string_view trimmingWhitespace(std::string_view text) {
    return trimming(text, isHorizontalWhitespace);
}

// --- Case ----------------------------------------------------------------------------

std::string caseFolded(std::string_view text) {
    // ASCII is already composed and folds to its lower case; it is also what
    // most searched text is, so it skips the allocation utf8proc makes.
    if (isASCII(text)) {
        std::string out(text);
        for (char& c : out)
            c = ascii::lowercased(c);
        return out;
    }
    const std::string valid = repairUTF8(text);
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length = utf8proc_map(
        reinterpret_cast<const utf8proc_uint8_t*>(valid.data()),
        static_cast<utf8proc_ssize_t>(valid.size()), &mapped,
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
    const std::unique_ptr<utf8proc_uint8_t, FreeDeleter> holder(mapped);
    if (length == UTF8PROC_ERROR_NOMEM)
        throw std::bad_alloc();
    if (length < 0)
        throw std::length_error(utf8proc_errmsg(length));
    return std::string(reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(length));
}

bool containsCaseInsensitive(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return true;
    // Both folded texts are valid UTF-8, so a byte match always starts and ends
    // on code point boundaries.
    return caseFolded(haystack).find(caseFolded(needle)) != std::string::npos;
}

bool hasPrefixCaseInsensitive(std::string_view text, std::string_view prefix) {
    if (prefix.empty())
        return true;
    return std::string_view(caseFolded(text)).starts_with(caseFolded(prefix));
}

std::string lowercased(std::string_view text) {
    return mapCodePoints(text, [](char32_t c) {
        if (c < 0x80)
            return static_cast<char32_t>(ascii::lowercased(static_cast<char>(c)));
        return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
    });
}

std::string uppercased(std::string_view text) {
    return mapCodePoints(text, [](char32_t c) {
        if (c < 0x80)
            return static_cast<char32_t>(ascii::uppercased(static_cast<char>(c)));
        return static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
    });
}

} // namespace tarn::text
