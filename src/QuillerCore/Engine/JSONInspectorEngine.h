#pragma once

// Looking inside response bodies: pretty printing, the JSON path field,
// assertion checks and the line diff of two responses.
//
// Stateless; every function may be called from any thread at the same time.

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

// A body whose top level is an object or an array comes back as pretty JSON
// (sorted keys, two blanks per level). Anything else (not JSON, a bare scalar,
// nesting deeper than 512) comes back as its own text, with each invalid UTF-8
// sequence replaced by U+FFFD. Never fails.
std::string prettyPrint(std::string_view body);

// The text of the value the path picks out of a JSON body: "$.items[0].id",
// "items.0.id" and "$items[0]id" all pick the same value. Strings come back
// unquoted, containers as pretty JSON, null as "null". Absent when the body is
// not JSON or the path finds nothing. Negative indexes never count from the
// end; quotes are not path syntax.
std::optional<std::string> extractJSONPath(std::string_view path, std::string_view body);

// One result per enabled rule, in rule order, each carrying its rule's id.
std::vector<AssertionEvaluationResult>
evaluateAssertions(std::span<const ResponseAssertionRule> rules, int statusCode,
                   std::string_view bodyData, std::string_view bodyText, double totalMs);

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

} // namespace detail
} // namespace JSONInspectorEngine
} // namespace quiller
