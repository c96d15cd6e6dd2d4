#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Finds given secret values inside a text and replaces them. A value is found
// as written and percent-encoded, in any mix of the two and either case of hex
// digit ("p%40ss" and "p%40SS" are "p@ss"), with "+" standing for a blank as in
// a form body, so whichever encoder put it into a URL it is still caught.
//
// Immutable once made; any thread.
class TarnSecretValueMask {
public:
    static constexpr std::string_view kReplacement = "***REDACTED***";
    // Shorter values are dropped: a value of a letter or two would turn half
    // of every line into the replacement, and tells next to nothing anyway.
    static constexpr std::size_t kMinimumValueBytes = 3;

    // Values shorter than kMinimumValueBytes are dropped.
    explicit TarnSecretValueMask(std::vector<std::string> values);

    bool empty() const { return m_values.empty(); }
    // The values as given, short ones dropped, sorted, duplicates once.
    const std::vector<std::string>& values() const { return m_values; }

    // `text` with every occurrence replaced by kReplacement; where values
    // overlap at one place the longest occurrence wins.
    std::string apply(std::string_view text) const;

private:
    // The end of the occurrence of `value` that starts at `start`, or 0.
    static std::size_t matchEnd(std::string_view text, std::size_t start, std::string_view value);

    std::vector<std::string> m_values;
    // Bytes an occurrence can start with, so most places are passed at once.
    std::array<bool, 256> m_canStart{};
};

} // namespace tarn
