#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Unicode text in UTF-8, independent of the process locale. Every function here
// is pure and safe to call from any thread.
//
// Input may be invalid UTF-8. It is then read the way repairUTF8 reads it: each
// maximal invalid subpart counts as one U+FFFD. Functions that return views
// return views into the original bytes, so a view may contain the invalid bytes
// that stand for such a U+FFFD; repairing the view gives the matching part of
// the repaired text.
namespace tarn::text {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// --- UTF-8 -----------------------------------------------------------------

bool isValidUTF8(std::string_view bytes);

struct Decoded {
    char32_t codePoint;
    std::size_t length; // bytes consumed; at least 1
    bool valid;
};

// Reads one code point at `i` (which must be inside `bytes`). An invalid
// sequence yields U+FFFD and the length of its maximal subpart: the longest
// prefix that could still begin a well-formed sequence, or one byte when even
// the first byte cannot.
[[nodiscard]] Decoded decodeAt(std::string_view bytes, std::size_t i);

// The bytes with every invalid sequence replaced by U+FFFD, one per maximal
// subpart (the practice the Unicode standard recommends): surrogates, overlong
// forms and values above U+10FFFF are invalid. Valid input comes back unchanged.
std::string repairUTF8(std::string_view bytes);

// The code points of the bytes, read leniently as repairUTF8 does.
std::u32string decodeUTF8(std::string_view bytes);

// Appends the UTF-8 form of a code point; a surrogate or a value above U+10FFFF
// appends U+FFFD, so the result is always valid.
void appendUTF8(std::string& out, char32_t codePoint);

// --- Characters (extended grapheme clusters) --------------------------------

// Walks the characters of a text one at a time, in linear time:
//     CharacterScanner scanner(text);
//     while (auto character = scanner.next()) { ... }
// The scanner holds a view: the text must outlive it.
class CharacterScanner {
public:
    explicit CharacterScanner(std::string_view text);

    // The next character as a view into the text, or nullopt at the end.
    std::optional<std::string_view> next();

private:
    std::string_view m_text;
    std::size_t m_next = 0;    // start of the code point after the current character
    std::size_t m_nextEnd = 0; // end of that code point
    char32_t m_nextCodePoint = 0;
    int m_breakState = 0;
};

std::size_t characterCount(std::string_view text);

// The first `count` characters (all of them when there are fewer); never splits
// a character.
std::string_view prefixCharacters(std::string_view text, std::size_t count);

// Every character, in order. Prefer CharacterScanner for large texts.
std::vector<std::string_view> characters(std::string_view text);

// --- White space -------------------------------------------------------------

// The Unicode White_Space property: Zs, Zl, Zp, U+0009..U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t codePoint);
// Horizontal white space: the space separators (Zs) and tab.
bool isHorizontalWhitespace(char32_t codePoint);

// The text without leading and trailing code points of the set; a view into the
// input.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);
std::string_view trimmingWhitespace(std::string_view text);

// --- Case ----------------------------------------------------------------------
// Case rules are Unicode's default ones, never the process locale's: "I"
// lowercases to "i" and "i" uppercases to "I" under a Turkish locale too.

// Full Unicode case folding ("ß" folds to "ss", "İ" to "i" + U+0307), then
// canonical composition, so texts that differ only in case or in the
// canonically equivalent spelling of a letter fold to the same string.
std::string caseFolded(std::string_view text);

// Whether the case-folded haystack contains the case-folded needle. An empty
// needle is contained in every text; callers for which an empty search matches
// nothing check for it themselves.
bool containsCaseInsensitive(std::string_view haystack, std::string_view needle);
// Whether the case-folded text starts with the case-folded prefix.
bool hasPrefixCaseInsensitive(std::string_view text, std::string_view prefix);

// One-to-one Unicode case mappings as utf8proc defines them: "İ" lowercases to
// "i", and "ß" uppercases to the capital sharp s "ẞ" (utf8proc's choice, which
// the standard allows as a variant of "SS"). Each code point maps to exactly
// one code point.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

} // namespace tarn::text
