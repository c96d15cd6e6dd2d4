#pragma once

// The suite's one JSON text writer, its parser entry point and ISO 8601 dates.
//
// Everything here is safe to call from any thread; a Writer object is not
// shared between threads. The strict and lenient decoding helpers, which need
// the full nlohmann header, live in JSONCoding.h.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::json {

// Containers nested deeper than this are not JSON as far as the suite is
// concerned: the parser refuses them and the writer throws NestingTooDeep. The
// limit keeps every recursive walk of a document far from the stack's end.
inline constexpr std::size_t maxDepth = 512;

// Thrown by Writer (and pretty()/compact()) when a container would open at a
// depth above maxDepth.
class NestingTooDeep : public std::runtime_error {
public:
    NestingTooDeep();
};

enum class Style {
    // Two blanks per level, one member or element per line, `"key" : value`.
    pretty,
    // No blanks and no line breaks at all.
    compact,
};

// Low-level emitter of JSON text, independent of any JSON tree type, so that
// any parser's tree (nlohmann, simdjson) can be written with identical bytes.
//
// It writes exactly what it is told, in the order it is told: a driver that
// wants sorted keys sorts them (ascending byte order of their UTF-8, which is
// code-point order). Strings are escaped as JSON requires (\b \f \n \r \t,
// other control characters as \u00xx), every "/" as "\/", non-ASCII characters
// as they are; invalid UTF-8 becomes U+FFFD per maximal invalid subsequence. Integral doubles below
// 2^53 in magnitude are written without a decimal point, other finite doubles in their shortest
// round-trip form, non-finite ones as null (JSON has no text for them).
//
// Misuse (a key outside an object, a value without its key, unbalanced ends, a
// second top-level value, finishing early) throws std::logic_error.
class Writer {
public:
    explicit Writer(Style style = Style::pretty);

    // Capacity hint for the output, e.g. twice the size of a body to reformat.
    void reserve(std::size_t bytes);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next object member; its value follows as the next call.
    void key(std::string_view name);

    void string(std::string_view text);
    void integer(std::int64_t value);
    void unsignedInteger(std::uint64_t value);
    void number(double value);
    void boolean(bool value);
    void null();

    // Number of containers open right now.
    std::size_t depth() const { return m_stack.size(); }
    // True once one whole top-level value has been written.
    bool complete() const { return m_complete; }
    // The finished text, with no line break at the end; the writer is then
    // empty and may write another document.
    std::string finish();

private:
    struct Frame {
        bool isObject;
        bool hasMembers;
    };

    void beforeValue();
    void afterValue();
    void newLineAndIndent();
    void open(bool isObject, char bracket);
    void close(bool isObject, char bracket);

    Style m_style;
    std::string m_out;
    std::vector<Frame> m_stack;
    bool m_keyPending = false;
    bool m_complete = false;
};

// Appends `text` as one JSON string value, quoted and escaped exactly as
// Writer::string writes it.
void appendString(std::string& out, std::string_view text);

// `document` written as pretty JSON with keys in ascending code-point order.
// Throws NestingTooDeep when the document nests deeper than maxDepth.
std::string pretty(const nlohmann::json& document);
// The same with no blanks and no line breaks (sorted keys, same escaping).
std::string compact(const nlohmann::json& document);
// Compact like compact(), but members in the order they were inserted: the
// suite's shared files list their keys in field order.
std::string compactInOrder(const nlohmann::ordered_json& document);

// Whether brackets outside strings nest deeper than `limit`; for valid JSON
// this is the true nesting depth. Cheap enough to run before any parse.
bool nestsDeeperThan(std::string_view text, std::size_t limit);

// Parses one JSON text, a bare scalar at the top level included. Absent for
// text that is not JSON, invalid UTF-8 inside strings, numbers beyond the range
// of a double, and nesting deeper than maxDepth (checked before the tree is
// built, so hostile depth never reaches the parser).
[[nodiscard]] std::optional<nlohmann::json> parse(std::string_view text);

enum class DatePrecision {
    seconds,      // "2026-12-10T12:34:56Z"
    milliseconds, // "2026-12-10T12:34:56.789Z"
};

// ISO 8601 in UTC; the time is rounded down to the precision.
std::string formatISO8601(std::chrono::system_clock::time_point time,
                          DatePrecision precision = DatePrecision::seconds);
// The same text appended to `out`, for writers that build one line in place.
void appendISO8601(std::string& out, std::chrono::system_clock::time_point time,
                   DatePrecision precision = DatePrecision::seconds);
// Reads "YYYY-MM-DDTHH:MM:SS", an optional fraction of seconds (digits past
// nanoseconds are ignored) and a zone of "Z" or "+HH:MM" / "-HH:MM" (also
// without the colon). Absent for any other text, an impossible calendar date or
// time, and instants the system clock cannot represent.
std::optional<std::chrono::system_clock::time_point> parseISO8601(std::string_view text);

} // namespace tarn::json
