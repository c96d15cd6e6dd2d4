#pragma once

// Looking inside response bodies: pretty printing, the JSON path field,
// assertion checks and the line diff of two responses.
//
// Every function may be called from any thread at the same time; each thread
// keeps its parser's buffers from one call to the next.

#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// One row of a line diff.
struct DiffLineItem {
    enum class Kind { unchanged, added, removed };

    // Position of the row in the returned list, from 0.
    std::size_t id = 0;
    Kind kind = Kind::unchanged;
    // The line without its line break.
    std::string text{};

    friend bool operator==(const DiffLineItem&, const DiffLineItem&) = default;
};

namespace JSONInspectorEngine {

// The bytes of a response body for the functions below. Made from a
// std::string, it also notes the string's spare capacity: when that holds 64
// bytes or more (the padding the JSON parser reads past the end), the body is
// read where it lies and never copied. A body received into a string reserved
// with that room costs no copy at all.
class JSONBody {
public:
    // Implicit on purpose: callers pass their strings as they are.
    JSONBody(const std::string& text) : m_text(text), m_readable(text.capacity()) {}
    JSONBody(std::string_view text) : m_text(text), m_readable(text.size()) {}
    JSONBody(const char* text) : JSONBody(std::string_view(text)) {}

    std::string_view text() const { return m_text; }
    // Bytes from text().data() on that may be read; at least the size.
    std::size_t readableBytes() const { return m_readable; }

private:
    std::string_view m_text;
    std::size_t m_readable;
};

// Spare capacity a body's string needs to be read in place.
inline constexpr std::size_t kBodyPaddingBytes = 64;

// A body whose top level is an object or an array comes back as pretty JSON
// (sorted keys, two blanks per level). Anything else (not JSON, a bare scalar,
// nesting deeper than 512) comes back as its own text, with each invalid UTF-8
// sequence replaced by U+FFFD. Never fails.
std::string prettyPrint(JSONBody body);

// The text of the value the path picks out of a JSON body: "$.items[0].id",
// "items.0.id" and "$items[0]id" all pick the same value. Strings come back
// unquoted, containers as pretty JSON, null as "null". Absent when the body is
// not JSON or the path finds nothing. Negative indexes never count from the
// end; quotes are not path syntax.
//
// The lookup reads only what lies on its way to the value and builds only the
// value it returns, so on a large body it costs little more than a scan. A body
// that is broken outside that way (a bad literal in a member it skips) may
// still give the value; one cut off before its end gives none.
[[nodiscard]] std::optional<std::string> extractJSONPath(std::string_view path, JSONBody body);

// One result per enabled rule, in rule order, each carrying its rule's id.
std::vector<AssertionEvaluationResult>
evaluateAssertions(std::span<const ResponseAssertionRule> rules, int statusCode, JSONBody bodyData,
                   std::string_view bodyText, double totalMs);

// Rows that turn the previous text's lines into the current text's lines by a
// shortest edit script; where lines are replaced, the added rows come before
// the removed ones. Lines are split at "\n" only. When the two texts differ by
// more than about 10,000 lines the search stops, and what lies between their
// common start and common end is reported as added lines, then removed lines.
std::vector<DiffLineItem> diffLines(std::string_view previous, std::string_view current);

namespace detail {

// The line diff's cost limits, adjustable so that tests can reach their edges
// with small inputs.
struct DiffLimits {
    // Edit distance past which the search gives up on a shortest script.
    std::size_t maxEditDistance = 10'000;
    // Every this many steps the search keeps a copy of its frontier, from
    // which the steps in between are computed again while the script is read
    // back. Memory grows with the distance squared over this, plus this times
    // the distance.
    std::size_t checkpointInterval = 128;
};

std::vector<DiffLineItem> diffLines(std::string_view previous, std::string_view current,
                                    const DiffLimits& limits);

// How pretty printing reads a body, adjustable so that tests can reach both
// ways with small bodies.
struct PrettyLimits {
    // Bodies from this size on are read in two passes over their bytes and
    // never parsed into a document, which for a large body would take several
    // times its size; smaller ones are parsed, quicker with the thread's warm
    // buffers. Both ways give the same text.
    std::size_t twoPassFromBytes = std::size_t{16} << 20;
};

std::string prettyPrint(JSONBody body, const PrettyLimits& limits);

} // namespace detail
} // namespace JSONInspectorEngine
} // namespace quiller
