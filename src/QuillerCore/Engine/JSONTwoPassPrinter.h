#pragma once

// Pretty printing of large response bodies without a parsed document.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quiller::JSONInspectorEngine::detail {

// Bodies this long or longer are beyond the offsets the printer below keeps.
inline constexpr std::size_t kTwoPassMaxBytes = std::size_t{1} << 31;

// The pretty JSON of a body whose top level is an object or an array, byte for
// byte as the parsed document's printer writes it, made in two passes over the
// body: the first checks that it is JSON and notes where each container ends,
// the second writes. Beside the output it keeps eight bytes per container and
// the member list of the objects being written. Absent when the body is
// anything else, or not shorter than kTwoPassMaxBytes.
[[nodiscard]] std::optional<std::string> prettyPrintInTwoPasses(std::string_view body);

} // namespace quiller::JSONInspectorEngine::detail
