#include "TarnKit/Platform/JSON.h"

#include "TarnKit/Platform/Memory.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace tarn::json {
namespace {

// How the writer treats each byte inside a string.
enum ByteClass : std::uint8_t {
    plain = 0,     // copied as is
    escaped = 1,   // written as an escape sequence
    multiByte = 2, // starts a multi-byte sequence, or is invalid on its own
};

constexpr std::array<std::uint8_t, 256> makeByteClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
        if (byte < 0x20 || byte == '"' || byte == '\\' || byte == '/')
            classes[byte] = escaped;
        else if (byte >= 0x80)
            classes[byte] = multiByte;
        else
            classes[byte] = plain;
    }
    return classes;
}

constexpr std::array<std::uint8_t, 256> byteClasses = makeByteClasses();

void appendEscape(std::string& out, unsigned char byte) {
    switch (byte) {
    case '"':
        out.append("\\\"");
        return;
    case '\\':
        out.append("\\\\");
        return;
    case '/':
        out.append("\\/");
        return;
    case '\b':
        out.append("\\b");
        return;
    case '\f':
        out.append("\\f");
        return;
    case '\n':
        out.append("\\n");
        return;
    case '\r':
        out.append("\\r");
        return;
    case '\t':
        out.append("\\t");
        return;
    default: {
        static constexpr char hex[] = "0123456789abcdef";
        const char sequence[6] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0x0F]};
        out.append(sequence, sizeof sequence);
        return;
    }
    }
}

// Copies runs of bytes that need no escaping in one append each; only escapes
// and repairs break a run.
void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = begin;
    const auto* const end = p + text.size();
    const auto* run = p;
    const auto flush = [&] { out.append(reinterpret_cast<const char*>(run), p - run); };
    while (p < end) {
        switch (byteClasses[*p]) {
        case plain:
            ++p;
            break;
        case multiByte: {
            const text::Decoded sequence =
                text::decodeAt(text, static_cast<std::size_t>(p - begin));
            if (!sequence.valid) {
                flush();
                out.append("\xEF\xBF\xBD");
                p += sequence.length;
                run = p;
            } else {
                p += sequence.length;
            }
            break;
        }
        default:
            flush();
            appendEscape(out, *p);
            ++p;
            run = p;
            break;
        }
    }
    flush();
    out.push_back('"');
}

template <class Integer> void appendInteger(std::string& out, Integer value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    // Below 2^53 every integral double is an exact integer: write it as one
    // ("200", not "2e+02"); beyond, the shortest round-trip form is clearer.
    constexpr double exactIntegerLimit = 9007199254740992.0;
    char buffer[32];
    const auto result =
        std::fabs(value) < exactIntegerLimit && value == std::trunc(value)
            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
            : std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// Members come out in the object type's own order: the default object type is
// a std::map over std::string, whose comparison is unsigned byte order, so
// its keys come out sorted; an ordered_json keeps the order of insertion.
template <class Tree> void writeTree(Writer& writer, const Tree& value) {
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
    case Type::object:
        writer.beginObject();
        for (const auto& [name, member] :
             value.template get_ref<const typename Tree::object_t&>()) {
            writer.key(name);
            writeTree(writer, member);
        }
        writer.endObject();
        return;
    case Type::array:
        writer.beginArray();
        for (const auto& element : value.template get_ref<const typename Tree::array_t&>())
            writeTree(writer, element);
        writer.endArray();
        return;
    case Type::string:
        writer.string(value.template get_ref<const std::string&>());
        return;
    case Type::boolean:
        writer.boolean(value.template get<bool>());
        return;
    case Type::number_integer:
        writer.integer(value.template get<std::int64_t>());
        return;
    case Type::number_unsigned:
        writer.unsignedInteger(value.template get<std::uint64_t>());
        return;
    case Type::number_float:
        writer.number(value.template get<double>());
        return;
    case Type::binary:
        writer.beginArray();
        for (const std::uint8_t byte : value.get_binary())
            writer.unsignedInteger(byte);
        writer.endArray();
        return;
    case Type::null:
    case Type::discarded:
        writer.null();
        return;
    }
}

template <class Tree> std::string write(const Tree& document, Style style) {
    Writer writer(style);
    writer.reserve(256);
    writeTree(writer, document);
    return writer.finish();
}

void appendPadded(std::string& out, long value, int width) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (auto digits = result.ptr - buffer; digits < width; ++digits)
        out.push_back('0');
    out.append(buffer, result.ptr);
}

// Reads exactly `count` ASCII digits at `position`.
bool readDigits(std::string_view text, std::size_t& position, std::size_t count, int& value) {
    if (position + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[position + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    position += count;
    return true;
}

bool expect(std::string_view text, std::size_t& position, char c) {
    if (position >= text.size() || text[position] != c)
        return false;
    ++position;
    return true;
}

} // namespace

NestingTooDeep::NestingTooDeep()
    : std::runtime_error("JSON nesting deeper than " + std::to_string(maxDepth) + " levels") {}

Writer::Writer(Style style) : m_style(style) {}

void Writer::reserve(std::size_t bytes) {
    m_out.reserve(bytes);
    memory::preferHugePages(m_out.data(), m_out.capacity());
}

void Writer::newLineAndIndent() {
    m_out.push_back('\n');
    m_out.append(2 * m_stack.size(), ' ');
}

void Writer::beforeValue() {
    if (m_stack.empty()) {
        if (m_complete)
            throw std::logic_error("JSON writer: a second top-level value");
        return;
    }
    Frame& frame = m_stack.back();
    if (frame.isObject) {
        if (!m_keyPending)
            throw std::logic_error("JSON writer: an object member without a key");
        m_keyPending = false;
        return;
    }
    if (frame.hasMembers)
        m_out.push_back(',');
    frame.hasMembers = true;
    if (m_style == Style::pretty)
        newLineAndIndent();
}

void Writer::afterValue() {
    if (m_stack.empty())
        m_complete = true;
}

void Writer::open(bool isObject, char bracket) {
    if (m_stack.size() >= maxDepth)
        throw NestingTooDeep();
    beforeValue();
    m_out.push_back(bracket);
    m_stack.push_back({isObject, false});
}

void Writer::close(bool isObject, char bracket) {
    if (m_stack.empty() || m_stack.back().isObject != isObject || m_keyPending)
        throw std::logic_error("JSON writer: unbalanced end of a container");
    const bool hadMembers = m_stack.back().hasMembers;
    m_stack.pop_back();
    if (hadMembers && m_style == Style::pretty)
        newLineAndIndent();
    m_out.push_back(bracket);
    afterValue();
}

void Writer::beginObject() {
    open(true, '{');
}
void Writer::endObject() {
    close(true, '}');
}
void Writer::beginArray() {
    open(false, '[');
}
void Writer::endArray() {
    close(false, ']');
}

void Writer::key(std::string_view name) {
    if (m_stack.empty() || !m_stack.back().isObject || m_keyPending)
        throw std::logic_error("JSON writer: a key outside an object or twice in a row");
    Frame& frame = m_stack.back();
    if (frame.hasMembers)
        m_out.push_back(',');
    frame.hasMembers = true;
    if (m_style == Style::pretty) {
        newLineAndIndent();
        appendQuoted(m_out, name);
        m_out.append(" : ");
    } else {
        appendQuoted(m_out, name);
        m_out.push_back(':');
    }
    m_keyPending = true;
}

void Writer::string(std::string_view text) {
    beforeValue();
    appendQuoted(m_out, text);
    afterValue();
}

void appendString(std::string& out, std::string_view text) {
    appendQuoted(out, text);
}

void Writer::integer(std::int64_t value) {
    beforeValue();
    appendInteger(m_out, value);
    afterValue();
}

void Writer::unsignedInteger(std::uint64_t value) {
    beforeValue();
    appendInteger(m_out, value);
    afterValue();
}

void Writer::number(double value) {
    beforeValue();
    appendDouble(m_out, value);
    afterValue();
}

void Writer::boolean(bool value) {
    beforeValue();
    m_out.append(value ? "true" : "false");
    afterValue();
}

void Writer::null() {
    beforeValue();
    m_out.append("null");
    afterValue();
}

std::string Writer::finish() {
    if (!m_complete)
        throw std::logic_error("JSON writer: finished before the value was complete");
    std::string text = std::move(m_out);
    m_out.clear();
    m_complete = false;
    return text;
}

std::string pretty(const nlohmann::json& document) {
    return write(document, Style::pretty);
}

std::string compact(const nlohmann::json& document) {
    return write(document, Style::compact);
}

std::string compactInOrder(const nlohmann::ordered_json& document) {
    return write(document, Style::compact);
}

// Counts brackets outside strings. For valid JSON this is the true nesting
// depth; for invalid text the answer does not matter, as parsing fails anyway.
bool nestsDeeperThan(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        switch (text[i]) {
        case '"':
            for (++i; i < size && text[i] != '"'; ++i) {
                if (text[i] == '\\')
                    ++i;
            }
            break;
        case '[':
        case '{':
            if (++depth > limit)
                return true;
            break;
        case ']':
        case '}':
            if (depth > 0)
                --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

std::optional<nlohmann::json> parse(std::string_view text) {
    // No JSON text holds a NUL byte, while nlohmann reads one as the end of
    // its input and would take the text before it for the whole.
    if (nestsDeeperThan(text, maxDepth) || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    try {
        nlohmann::json document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
        if (document.is_discarded())
            return std::nullopt;
        return document;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::string formatISO8601(std::chrono::system_clock::time_point time, DatePrecision precision) {
    std::string text;
    text.reserve(24);
    appendISO8601(text, time, precision);
    return text;
}

void appendISO8601(std::string& out, std::chrono::system_clock::time_point time,
                   DatePrecision precision) {
    using namespace std::chrono;
    const auto milliseconds = floor<std::chrono::milliseconds>(time);
    const auto day = floor<days>(milliseconds);
    const year_month_day date{day};
    const hh_mm_ss clock{milliseconds - day};

    appendPadded(out, static_cast<int>(date.year()), 4);
    out.push_back('-');
    appendPadded(out, static_cast<long>(static_cast<unsigned>(date.month())), 2);
    out.push_back('-');
    appendPadded(out, static_cast<long>(static_cast<unsigned>(date.day())), 2);
    out.push_back('T');
    appendPadded(out, clock.hours().count(), 2);
    out.push_back(':');
    appendPadded(out, clock.minutes().count(), 2);
    out.push_back(':');
    appendPadded(out, static_cast<long>(clock.seconds().count()), 2);
    if (precision == DatePrecision::milliseconds) {
        out.push_back('.');
        appendPadded(out, static_cast<long>(clock.subseconds().count()), 3);
    }
    out.push_back('Z');
}

std::optional<std::chrono::system_clock::time_point> parseISO8601(std::string_view text) {
    using namespace std::chrono;
    std::size_t at = 0;
    int yearValue = 0, monthValue = 0, dayValue = 0, hour = 0, minute = 0, second = 0;
    if (!readDigits(text, at, 4, yearValue) || !expect(text, at, '-') ||
        !readDigits(text, at, 2, monthValue) || !expect(text, at, '-') ||
        !readDigits(text, at, 2, dayValue) || !expect(text, at, 'T') ||
        !readDigits(text, at, 2, hour) || !expect(text, at, ':') ||
        !readDigits(text, at, 2, minute) || !expect(text, at, ':') ||
        !readDigits(text, at, 2, second))
        return std::nullopt;

    std::int64_t fractionNanoseconds = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t firstDigit = at;
        std::int64_t scale = 100'000'000;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fractionNanoseconds += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == firstDigit)
            return std::nullopt;
    }

    std::int64_t offsetSeconds = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const bool negative = text[at] == '-';
        ++at;
        int offsetHours = 0, offsetMinutes = 0;
        if (!readDigits(text, at, 2, offsetHours))
            return std::nullopt;
        expect(text, at, ':');
        if (!readDigits(text, at, 2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (negative ? -1 : 1);
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;

    const year_month_day date{year{yearValue}, month{static_cast<unsigned>(monthValue)},
                              day{static_cast<unsigned>(dayValue)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;

    const std::int64_t daysSinceEpoch = sys_days{date}.time_since_epoch().count();
    const std::int64_t secondsSinceEpoch =
        daysSinceEpoch * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;

    // The system clock counts in a finite unit (nanoseconds here): refuse
    // instants it cannot hold rather than overflow.
    using Duration = system_clock::duration;
    const auto limit = duration_cast<seconds>(Duration::max()).count() - 1;
    if (secondsSinceEpoch > limit || secondsSinceEpoch < -limit)
        return std::nullopt;
    const auto sinceEpoch = duration_cast<Duration>(seconds{secondsSinceEpoch}) +
                            floor<Duration>(nanoseconds{fractionNanoseconds});
    return system_clock::time_point{sinceEpoch};
}

} // namespace tarn::json
