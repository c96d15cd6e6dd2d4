#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

// Finds given secret values inside a text and replaces them, each by the
// common placeholder or by a text of its own. A value is found as written and
// percent-encoded, in any mix of the two and either case of hex digit
// ("p%40ss" and "p%40SS" are "p@ss"), with "+" standing for a blank as in a
// form body, so whichever encoder put it into a URL it is still caught.
//
// Immutable once made; any thread.
class TarnSecretValueMask {
public:
    static constexpr std::string_view kReplacement = "***REDACTED***";
    // Shorter values are dropped: a value of a letter or two would turn half
    // of every line into the replacement, and tells next to nothing anyway.
    static constexpr std::size_t kMinimumValueBytes = 3;

    // A value and what replaces it.
    struct Replacement {
        std::string value;
        std::string replacement;
    };

    // Values shorter than kMinimumValueBytes are dropped; each of the others
    // is replaced by kReplacement.
    explicit TarnSecretValueMask(std::vector<std::string> values);
    // The same with a replacement per value; of equal values the first given
    // decides.
    static TarnSecretValueMask replacing(std::vector<Replacement> replacements);

    bool empty() const { return m_values.empty(); }
    // The values as given, short ones dropped, sorted, duplicates once.
    const std::vector<std::string>& values() const { return m_values; }

    // `text` with every occurrence replaced; where values overlap at one
    // place the longest occurrence wins.
    std::string apply(std::string_view text) const;
    // Whether any value occurs in `text`.
    bool occursIn(std::string_view text) const;

private:
    void setReplacements(std::vector<Replacement> replacements);

    // The end of the occurrence of `value` that starts at `start`, or 0.
    static std::size_t matchEnd(std::string_view text, std::size_t start, std::string_view value);

    // The end of the longest occurrence starting at `start` and the index of
    // its value; {0, 0} when none starts there.
    std::pair<std::size_t, std::size_t> longestMatch(std::string_view text,
                                                     std::size_t start) const;

    std::vector<std::string> m_values;
    // Parallel to m_values.
    std::vector<std::string> m_replacements;
    // Bytes an occurrence can start with, so most places are passed at once.
    std::array<bool, 256> m_canStart{};
};

} // namespace tarn
