#include "QuillerCore/Engine/JSONTwoPassPrinter.h"

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <simdjson.h>
#include <system_error>
#include <vector>

namespace quiller::JSONInspectorEngine::detail {
namespace {

// Offsets into the body, which is shorter than kTwoPassMaxBytes.
using Offset = std::uint32_t;
static_assert(kTwoPassMaxBytes - 1 <= std::numeric_limits<Offset>::max());

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The largest decimal exponent of a finite double: 10^308 < DBL_MAX < 10^309.
constexpr long kLargestExponent = 308;

// What the first pass learns: for every container, in the order they open,
// the offset of its closing bracket and the index of the first container that
// opens after it. Skipping a container in the second pass is then two reads.
struct Containers {
    std::vector<Offset> end;
    std::vector<Offset> next;
};

// What a byte may do outside strings, as bits, looked up in one table.
enum ByteRole : std::uint8_t {
    blank = 1,     // white space between tokens
    delimiter = 2, // ends a number or a literal: white space, ',', ']' or '}'
};

constexpr std::array<std::uint8_t, 256> makeByteRoles() {
    std::array<std::uint8_t, 256> roles{};
    for (const unsigned char c : {' ', '\n', '\r', '\t'})
        roles[c] = blank | delimiter;
    for (const unsigned char c : {',', ']', '}'})
        roles[c] = delimiter;
    return roles;
}

constexpr std::array<std::uint8_t, 256> byteRoles = makeByteRoles();

bool hasRole(char c, ByteRole role) {
    return (byteRoles[static_cast<unsigned char>(c)] & role) != 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHighSurrogate(long unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(long unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The body with the reading helpers both passes share. Reads never go past
// its end: a body is read where it lies, padded or not.
class Body {
public:
    explicit Body(std::string_view text) : m_data(text.data()), m_size(text.size()) {}

    std::size_t size() const { return m_size; }
    // The byte at `at`, or a NUL past the end, which no JSON token accepts
    // outside a string.
    char operator[](std::size_t at) const { return at < m_size ? m_data[at] : '\0'; }
    const char* data() const { return m_data; }

    std::size_t skipWhitespace(std::size_t at) const {
        while (at < m_size && hasRole(m_data[at], blank))
            ++at;
        return at;
    }

    // The first quote, backslash or control character at or after `at`; the
    // size when there is none. Eight bytes at a time: for a byte b, (b - k) &
    // ~b has its top bit set when b < k, and the lowest byte so flagged is
    // exact (a borrow only runs upwards).
    std::size_t findStringSpecial(std::size_t at) const {
        if constexpr (std::endian::native == std::endian::little) {
            constexpr std::uint64_t ones = 0x0101010101010101;
            constexpr std::uint64_t tops = 0x8080808080808080;
            for (; at + 8 <= m_size; at += 8) {
                std::uint64_t word = 0;
                std::memcpy(&word, m_data + at, sizeof word);
                const std::uint64_t quotes = word ^ (ones * '"');
                const std::uint64_t backslashes = word ^ (ones * '\\');
                const std::uint64_t found = ((quotes - ones) & ~quotes) |
                                            ((backslashes - ones) & ~backslashes) |
                                            ((word - ones * 0x20) & ~word);
                if ((found & tops) != 0)
                    return at + static_cast<std::size_t>(std::countr_zero(found & tops) / 8);
            }
        }
        for (; at < m_size; ++at) {
            const auto byte = static_cast<unsigned char>(m_data[at]);
            if (byte == '"' || byte == '\\' || byte < 0x20)
                return at;
        }
        return m_size;
    }

    // The four hex digits at `at` as a number; -1 when they are not.
    long hex4(std::size_t at) const {
        if (at + 4 > m_size)
            return -1;
        long value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const int digit = tarn::numbers::hexDigitValue(m_data[at + i]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        return value;
    }

    bool startsWith(std::size_t at, std::string_view word) const {
        return at + word.size() <= m_size &&
               std::memcmp(m_data + at, word.data(), word.size()) == 0;
    }

private:
    const char* m_data;
    std::size_t m_size;
};

// --- First pass: is it JSON, and where do its containers end ----------------------------

class Checker {
public:
    explicit Checker(Body body) : m_body(body) {}

    // False when the body is not JSON whose top level is a container nested
    // no deeper than the suite allows.
    bool check(Containers& containers) {
        const auto* bytes = m_body.data();
        if (!simdjson::validate_utf8(bytes, m_body.size()))
            return false;
        std::size_t at = m_body.skipWhitespace(0);
        if (m_body[at] != '{' && m_body[at] != '[')
            return false;
        std::size_t depth = 0;
        for (;;) {
            // A value starts at `at`.
            const char c = m_body[at];
            if (c == '{' || c == '[') {
                if (depth == tarn::json::maxDepth)
                    return false;
                const bool isObject = c == '{';
                m_open[depth++] = {static_cast<Offset>(containers.end.size()), isObject};
                containers.end.push_back(0);
                containers.next.push_back(0);
                at = m_body.skipWhitespace(at + 1);
                if (m_body[at] != (isObject ? '}' : ']')) {
                    if (isObject && (at = member(at)) == kNone)
                        return false;
                    continue;
                }
            } else if (c == '"') {
                if ((at = string(at)) == kNone)
                    return false;
                at = m_body.skipWhitespace(at);
            } else if (c == '-' || isDigit(c)) {
                if ((at = number(at)) == kNone)
                    return false;
                at = m_body.skipWhitespace(at);
            } else if (m_body.startsWith(at, "true") || m_body.startsWith(at, "null")) {
                at = m_body.skipWhitespace(at + 4);
            } else if (m_body.startsWith(at, "false")) {
                at = m_body.skipWhitespace(at + 5);
            } else {
                return false;
            }
            // Past the value and the white space after it: commas and the
            // containers that close here.
            for (;;) {
                const Open& open = m_open[depth - 1];
                const char next = m_body[at];
                if (next == ',') {
                    at = m_body.skipWhitespace(at + 1);
                    if (open.isObject && (at = member(at)) == kNone)
                        return false;
                    break;
                }
                if (next != (open.isObject ? '}' : ']'))
                    return false;
                containers.end[open.index] = static_cast<Offset>(at);
                containers.next[open.index] = static_cast<Offset>(containers.end.size());
                at = m_body.skipWhitespace(at + 1);
                if (--depth == 0)
                    return at == m_body.size();
            }
        }
    }

private:
    struct Open {
        Offset index;
        bool isObject;
    };

    // A member's key and colon at `at`; where its value starts.
    std::size_t member(std::size_t at) const {
        if (m_body[at] != '"' || (at = string(at)) == kNone)
            return kNone;
        at = m_body.skipWhitespace(at);
        if (m_body[at] != ':')
            return kNone;
        return m_body.skipWhitespace(at + 1);
    }

    // The string at `at`; just past its closing quote.
    std::size_t string(std::size_t at) const {
        ++at;
        for (;;) {
            at = m_body.findStringSpecial(at);
            const char c = m_body[at];
            if (c == '"')
                return at + 1;
            if (c != '\\')
                return kNone; // a control character, or the end
            switch (m_body[at + 1]) {
            case '"':
            case '\\':
            case '/':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                at += 2;
                break;
            case 'u': {
                const long unit = m_body.hex4(at + 2);
                at += 6;
                if (unit < 0 || isLowSurrogate(unit))
                    return kNone;
                if (isHighSurrogate(unit)) {
                    if (m_body[at] != '\\' || m_body[at + 1] != 'u' ||
                        !isLowSurrogate(m_body.hex4(at + 2)))
                        return kNone;
                    at += 6;
                }
                break;
            }
            default:
                return kNone;
            }
        }
    }

    // The number at `at`; just past it. A number whose value is beyond a
    // double's range is not JSON the suite reads.
    std::size_t number(std::size_t at) const {
        const std::size_t start = at;
        if (m_body[at] == '-')
            ++at;
        // The value lies in [10^(magnitude - 1), 10^magnitude): the digits
        // before the point, or less the zeros after it when there are none.
        long magnitude = 0;
        if (m_body[at] == '0') {
            ++at;
        } else if (isDigit(m_body[at])) {
            const std::size_t first = at;
            while (isDigit(m_body[at]))
                ++at;
            magnitude = static_cast<long>(at - first);
        } else {
            return kNone;
        }
        if (m_body[at] == '.') {
            const std::size_t first = ++at;
            while (m_body[at] == '0')
                ++at;
            if (magnitude == 0)
                magnitude = -static_cast<long>(at - first);
            while (isDigit(m_body[at]))
                ++at;
            if (at == first)
                return kNone;
        }
        if (m_body[at] == 'e' || m_body[at] == 'E') {
            ++at;
            const bool negative = m_body[at] == '-';
            if (negative || m_body[at] == '+')
                ++at;
            if (!isDigit(m_body[at]))
                return kNone;
            // Far beyond any count of digits a body holds, so the sign of the
            // sum stays right.
            constexpr long kExponentLimit = 1'000'000'000'000'000;
            long exponent = 0;
            for (; isDigit(m_body[at]); ++at)
                exponent = std::min(exponent * 10 + (m_body[at] - '0'), kExponentLimit);
            magnitude += negative ? -exponent : exponent;
        }
        if (magnitude > kLargestExponent) {
            // At least 10^308: out of range can only mean too large.
            double value = 0;
            if (std::from_chars(m_body.data() + start, m_body.data() + at, value).ec != std::errc())
                return kNone;
        }
        return at;
    }

    Body m_body;
    std::array<Open, tarn::json::maxDepth> m_open{};
};

// --- Second pass: writing -------------------------------------------------------------

// An object member as the writer sorts them: its key lies in the body, or
// when it has escapes, unescaped in the key store of its object's depth.
struct Member {
    Offset keyAt;
    Offset keyLength; // with kFlag set for a key in the store
    Offset value;
    // The index of the value's container, when it is one...
    Offset container;
    // ...or else just past the value, with kFlag set for a string with escapes.
    Offset valueEnd;
};

constexpr Offset kFlag = Offset{1} << 31;

// Writes the body through the suite's writer with the calls the parsed
// document's printer makes: members sorted by their unescaped key, of
// duplicate keys the last, elements in order.
class TwoPassWriter {
public:
    TwoPassWriter(Body body, const Containers& containers, tarn::json::Writer& writer)
        : m_body(body), m_containers(containers), m_writer(writer) {}

    void write() {
        Offset container = 0;
        write(m_body.skipWhitespace(0), container, 0);
    }

private:
    // Writes the value at `at`, whose first container, if any, is the one at
    // `container`; returns just past the value and moves `container` past
    // every container in it.
    std::size_t write(std::size_t at, Offset& container, std::size_t depth) {
        switch (m_body[at]) {
        case '{':
            return writeObject(at, container, depth);
        case '[':
            return writeArray(at, container, depth);
        default: {
            bool escaped = false;
            const std::size_t end = scalarEnd(at, escaped);
            writeScalar(at, end, escaped);
            return end;
        }
        }
    }

    // Writes the string, number or literal in [at, end).
    void writeScalar(std::size_t at, std::size_t end, bool escaped) {
        switch (m_body[at]) {
        case '"':
            if (escaped) {
                m_scratch.clear();
                unescape(at + 1, end - 1, m_scratch);
                m_writer.string(m_scratch);
            } else {
                m_writer.string({m_body.data() + at + 1, end - at - 2});
            }
            return;
        case 't':
            m_writer.boolean(true);
            return;
        case 'f':
            m_writer.boolean(false);
            return;
        case 'n':
            m_writer.null();
            return;
        default:
            writeNumber(at, end);
            return;
        }
    }

    std::size_t writeArray(std::size_t at, Offset& container, std::size_t depth) {
        const Offset self = container++;
        m_writer.beginArray();
        at = m_body.skipWhitespace(at + 1);
        if (m_body[at] != ']') {
            for (;;) {
                at = m_body.skipWhitespace(write(at, container, depth + 1));
                if (m_body[at] != ',')
                    break;
                at = m_body.skipWhitespace(at + 1);
            }
        }
        m_writer.endArray();
        container = m_containers.next[self];
        return m_containers.end[self] + std::size_t{1};
    }

    std::size_t writeObject(std::size_t at, Offset& container, std::size_t depth) {
        const Offset self = container++;
        // One member list and key store per depth, reused by every object at
        // that depth; deques keep them in place while deeper ones are added.
        while (m_members.size() <= depth) {
            m_members.emplace_back();
            m_keys.emplace_back();
        }
        std::vector<Member>& members = m_members[depth];
        std::string& keys = m_keys[depth];
        members.clear();
        keys.clear();
        bool sorted = true;
        at = m_body.skipWhitespace(at + 1);
        while (m_body[at] != '}') {
            bool escaped = false;
            const std::size_t keyEnd = stringEnd(at, escaped);
            Member member{};
            if (escaped) {
                member.keyAt = static_cast<Offset>(keys.size());
                unescape(at + 1, keyEnd, keys);
                member.keyLength = static_cast<Offset>(keys.size() - member.keyAt) | kFlag;
            } else {
                member.keyAt = static_cast<Offset>(at + 1);
                member.keyLength = static_cast<Offset>(keyEnd - at - 1);
            }
            // Past the colon to the value, and past the value.
            at = m_body.skipWhitespace(m_body.skipWhitespace(keyEnd + 1) + 1);
            member.value = static_cast<Offset>(at);
            if (m_body[at] == '{' || m_body[at] == '[') {
                member.container = container;
                container = m_containers.next[member.container];
                at = m_containers.end[member.container] + std::size_t{1};
            } else {
                bool valueEscaped = false;
                at = scalarEnd(at, valueEscaped);
                member.valueEnd = static_cast<Offset>(at) | (valueEscaped ? kFlag : 0);
            }
            at = m_body.skipWhitespace(at);
            if (m_body[at] == ',')
                at = m_body.skipWhitespace(at + 1);
            if (sorted && !members.empty() && !(key(members.back(), keys) < key(member, keys)))
                sorted = false;
            members.push_back(member);
        }
        if (!sorted) {
            // Equal keys stay in document order, which is value order.
            std::sort(members.begin(), members.end(), [&](const Member& a, const Member& b) {
                const int order = key(a, keys).compare(key(b, keys));
                return order < 0 || (order == 0 && a.value < b.value);
            });
        }
        m_writer.beginObject();
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (i + 1 < members.size() && key(members[i + 1], keys) == key(members[i], keys))
                continue;
            const Member& member = members[i];
            m_writer.key(key(member, keys));
            const char c = m_body[member.value];
            if (c == '{' || c == '[') {
                Offset inner = member.container;
                write(member.value, inner, depth + 1);
            } else {
                writeScalar(member.value, member.valueEnd & ~kFlag, (member.valueEnd & kFlag) != 0);
            }
        }
        m_writer.endObject();
        container = m_containers.next[self];
        return m_containers.end[self] + std::size_t{1};
    }

    std::string_view key(const Member& member, const std::string& keys) const {
        if ((member.keyLength & kFlag) != 0)
            return {keys.data() + member.keyAt, member.keyLength & ~kFlag};
        return {m_body.data() + member.keyAt, member.keyLength};
    }

    // Just past the string, number or literal at `at`; notes whether a
    // string has escapes.
    std::size_t scalarEnd(std::size_t at, bool& escaped) const {
        if (m_body[at] == '"')
            return stringEnd(at, escaped) + 1;
        while (at < m_body.size() && !hasRole(m_body[at], delimiter))
            ++at;
        return at;
    }

    // The closing quote of the string at `at`.
    std::size_t stringEnd(std::size_t at, bool& escaped) const {
        for (at = m_body.findStringSpecial(at + 1); m_body[at] != '"';
             at = m_body.findStringSpecial(at + 2))
            escaped = true;
        return at;
    }

    // Appends the string between `at` and `end`, checked by the first pass,
    // with its escapes resolved.
    void unescape(std::size_t at, std::size_t end, std::string& out) const {
        const char* data = m_body.data();
        while (at < end) {
            const auto* found = static_cast<const char*>(std::memchr(data + at, '\\', end - at));
            const std::size_t escape =
                found != nullptr ? static_cast<std::size_t>(found - data) : end;
            out.append(data + at, escape - at);
            if (escape == end)
                return;
            const char kind = data[escape + 1];
            at = escape + 2;
            switch (kind) {
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                auto codePoint = static_cast<char32_t>(m_body.hex4(at));
                at += 4;
                if (isHighSurrogate(codePoint)) {
                    const auto low = static_cast<char32_t>(m_body.hex4(at + 2));
                    codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
                    at += 6;
                }
                tarn::text::appendUTF8(out, codePoint);
                break;
            }
            default: // '"', '\\' and '/' stand for themselves
                out.push_back(kind);
                break;
            }
        }
    }

    // Integers a 64-bit integer holds stay integers; every other number is
    // the double nearest to it, and one too small for a double is a zero of
    // its sign.
    void writeNumber(std::size_t at, std::size_t end) {
        const char* begin = m_body.data() + at;
        const char* const last = m_body.data() + end;
        const bool negative = *begin == '-';
        const char* digits = begin + (negative ? 1 : 0);
        const char* digitsEnd = digits;
        while (digitsEnd != last && isDigit(*digitsEnd))
            ++digitsEnd;
        if (digitsEnd == last) {
            std::uint64_t value = 0;
            if (std::from_chars(digits, last, value).ec == std::errc()) {
                constexpr auto int64Max =
                    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
                if (!negative && value <= int64Max) {
                    m_writer.integer(static_cast<std::int64_t>(value));
                    return;
                }
                if (!negative) {
                    m_writer.unsignedInteger(value);
                    return;
                }
                if (value <= int64Max + 1) {
                    m_writer.integer(static_cast<std::int64_t>(0 - value));
                    return;
                }
            }
        }
        double value = 0;
        if (std::from_chars(begin, last, value).ec != std::errc())
            value = negative ? -0.0 : 0.0; // the first pass let no overflow through
        m_writer.number(value);
    }

    Body m_body;
    const Containers& m_containers;
    tarn::json::Writer& m_writer;
    std::deque<std::vector<Member>> m_members;
    std::deque<std::string> m_keys;
    std::string m_scratch;
};

} // namespace

std::optional<std::string> prettyPrintInTwoPasses(std::string_view body) {
    if (body.size() >= kTwoPassMaxBytes)
        return std::nullopt;
    const Body bytes(body);
    Containers containers;
    // Room for a container every 64 bytes: mapped, but made resident only as
    // it fills.
    containers.end.reserve(body.size() / 64);
    containers.next.reserve(body.size() / 64);
    if (!Checker(bytes).check(containers))
        return std::nullopt;
    tarn::json::Writer writer(tarn::json::Style::pretty);
    // As for a parsed document: pages of the reserve never written are never
    // made resident, while growing on the way would hold two copies at once.
    writer.reserve(3 * body.size() + 64);
    TwoPassWriter(bytes, containers, writer).write();
    return writer.finish();
}

} // namespace quiller::JSONInspectorEngine::detail
