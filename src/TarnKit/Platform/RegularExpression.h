#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// A byte range in the subject of a match.
struct RegexRange {
    std::size_t offset = 0;
    std::size_t length = 0;

    friend bool operator==(const RegexRange&, const RegexRange&) = default;
};

// One match: element 0 is the whole match, element n the capture group n; a
// group that took no part in the match is empty.
struct RegexMatch {
    std::vector<std::optional<RegexRange>> groups;

    const RegexRange& range() const { return *groups.front(); }
    // The text of group `index` in `subject` (the text that was searched), or
    // nullopt when that group took no part or does not exist.
    std::optional<std::string_view> group(std::string_view subject, std::size_t index) const;
};

// A regular expression compiled once with PCRE2 in UTF mode with Unicode
// properties, so \w, \b, \s and (?i) follow Unicode rather than ASCII or the
// process locale. Subjects may hold invalid UTF-8: invalid bytes never match
// anything but do not stop the search.
//
// A compiled expression is immutable: every const function may be called from
// any number of threads at once.
class RegularExpression {
public:
    struct Options {
        bool caseInsensitive = false;
        bool anchorsMatchLines = false;        // ^ and $ at every line
        bool dotMatchesLineSeparators = false; // . matches \n too
    };

    // Throws tarn::PlatformError (domain "TarnKit.RegularExpression", the PCRE2
    // error code) when the pattern does not compile; the description names the
    // offset of the fault.
    explicit RegularExpression(std::string_view pattern);
    RegularExpression(std::string_view pattern, Options options);
    ~RegularExpression();
    RegularExpression(RegularExpression&&) noexcept;
    RegularExpression& operator=(RegularExpression&&) noexcept;
    RegularExpression(const RegularExpression&) = delete;
    RegularExpression& operator=(const RegularExpression&) = delete;

    const std::string& pattern() const { return m_pattern; }
    std::size_t captureGroupCount() const { return m_captureGroupCount; }

    // The matching functions throw tarn::PlatformError when PCRE2 gives up on
    // a subject (its match or memory limit); "no match" is never an error.

    bool hasMatch(std::string_view subject) const;
    // The first match that starts at or after `startOffset` (a byte offset).
    std::optional<RegexMatch> firstMatch(std::string_view subject,
                                         std::size_t startOffset = 0) const;
    // Every match from left to right, without overlaps. An empty match is
    // followed by a search one character further on, so this always ends.
    std::vector<RegexMatch> allMatches(std::string_view subject) const;

    // The subject with every match replaced by the template. In the template,
    // "$n" stands for capture group n (the longest run of digits that names an
    // existing group; an absent group gives the empty text), "\" takes the
    // next character literally ("\$", "\\"), and any other "$" is itself.
    std::string replacingMatches(std::string_view subject,
                                 std::string_view replacementTemplate) const;

private:
    struct Code;
    std::unique_ptr<Code> m_code;
    std::string m_pattern;
    std::size_t m_captureGroupCount = 0;
};

} // namespace tarn
