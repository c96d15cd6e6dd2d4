#include "TarnKit/Platform/RegularExpression.h"

#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <array>
#include <pcre2.h>
#include <utility>

namespace tarn {
namespace {

constexpr const char* kDomain = "TarnKit.RegularExpression";

std::string pcre2Message(int code) {
    std::array<PCRE2_UCHAR, 256> buffer{};
    const int length = pcre2_get_error_message(code, buffer.data(), buffer.size());
    if (length < 0)
        return "PCRE2 error " + numbers::formatInteger(code);
    return std::string(reinterpret_cast<const char*>(buffer.data()),
                       static_cast<std::size_t>(length));
}

struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// One step past `offset` without landing inside a well-formed UTF-8 sequence.
std::size_t nextCharacterOffset(std::string_view subject, std::size_t offset) {
    std::size_t next = offset + 1;
    for (int i = 0; i < 3 && next < subject.size() && isContinuationByte(subject[next]); ++i)
        ++next;
    return next;
}

// A replacement template read once: literal runs and group references.
struct TemplatePiece {
    std::string literal;
    std::optional<std::size_t> group;
};

std::vector<TemplatePiece> parseTemplate(std::string_view text, std::size_t groupCount) {
    std::vector<TemplatePiece> pieces;
    std::string literal;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            literal += text[++i];
            continue;
        }
        if (c != '$' || i + 1 >= text.size() || !isDigit(text[i + 1])) {
            literal += c;
            continue;
        }
        // The first digit always belongs to the reference; more digits join it
        // only while the number still names a group, so "$10" is group 1
        // followed by "0" when there are fewer than ten groups.
        auto number = static_cast<std::size_t>(text[++i] - '0');
        while (i + 1 < text.size() && isDigit(text[i + 1])) {
            const std::size_t longer = number * 10 + static_cast<std::size_t>(text[i + 1] - '0');
            if (longer > groupCount)
                break;
            number = longer;
            ++i;
        }
        pieces.push_back({std::exchange(literal, {}), number});
    }
    if (!literal.empty())
        pieces.push_back({std::move(literal), std::nullopt});
    return pieces;
}

} // namespace

struct RegularExpression::Code {
    pcre2_code* code = nullptr;
    ~Code() { pcre2_code_free(code); }
};

std::optional<std::string_view> RegexMatch::group(std::string_view subject,
                                                  std::size_t index) const {
    if (index >= groups.size() || !groups[index])
        return std::nullopt;
    return subject.substr(groups[index]->offset, groups[index]->length);
}

RegularExpression::RegularExpression(std::string_view pattern)
    : RegularExpression(pattern, Options{}) {}

RegularExpression::RegularExpression(std::string_view pattern, Options options)
    : m_code(std::make_unique<Code>()), m_pattern(pattern) {
    // Invalid UTF-8 in a subject (text from the network, from files) must not
    // turn a search into an error.
    uint32_t flags = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    if (options.caseInsensitive)
        flags |= PCRE2_CASELESS;
    if (options.anchorsMatchLines)
        flags |= PCRE2_MULTILINE;
    if (options.dotMatchesLineSeparators)
        flags |= PCRE2_DOTALL;

    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    m_code->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                 flags, &errorCode, &errorOffset, nullptr);
    if (m_code->code == nullptr)
        throw PlatformError(kDomain, errorCode,
                            "Invalid regular expression at offset " +
                                numbers::formatInteger(static_cast<long long>(errorOffset)) + ": " +
                                pcre2Message(errorCode));
    // JIT is only a speed-up; where the system forbids executable memory the
    // interpreter gives the same results.
    pcre2_jit_compile(m_code->code, PCRE2_JIT_COMPLETE);

    uint32_t count = 0;
    pcre2_pattern_info(m_code->code, PCRE2_INFO_CAPTURECOUNT, &count);
    m_captureGroupCount = count;
}

RegularExpression::~RegularExpression() = default;
RegularExpression::RegularExpression(RegularExpression&&) noexcept = default;
RegularExpression& RegularExpression::operator=(RegularExpression&&) noexcept = default;

namespace {

// Calls `onMatch(const RegexMatch&)` for every match from `startOffset` on,
// until it returns false. The loop is the one PCRE2 documents for global
// matching: after an empty match, first look for a non-empty match at the same
// place, then move one character on.
template <typename OnMatch>
void forEachMatch(const pcre2_code* code, std::string_view subject, std::size_t startOffset,
                  OnMatch&& onMatch) {
    const MatchData data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data)
        throw PlatformError(kDomain, PCRE2_ERROR_NOMEMORY, pcre2Message(PCRE2_ERROR_NOMEMORY));
    const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject.data());
    const uint32_t pairs = pcre2_get_ovector_count(data.get());

    std::size_t offset = startOffset;
    uint32_t options = 0;
    while (offset <= subject.size()) {
        int rc = pcre2_match(code, bytes, subject.size(), offset, options, data.get(), nullptr);
        // JIT code backtracks on a small fixed stack; the interpreter keeps its
        // backtracking on the heap and gets much further on long subjects.
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
            rc = pcre2_match(code, bytes, subject.size(), offset, options | PCRE2_NO_JIT,
                             data.get(), nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (options == 0)
                return;
            offset = nextCharacterOffset(subject, offset);
            options = 0;
            continue;
        }
        if (rc < 0)
            throw PlatformError(kDomain, rc, pcre2Message(rc));

        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        // \K inside a lookaround can move a match's start behind its end or
        // behind the search position; such a match has no sensible range and
        // would stall the loop or overlap the previous one.
        if (ovector[1] < ovector[0] || ovector[0] < offset)
            throw PlatformError(kDomain, PCRE2_ERROR_BADOFFSET,
                                "A match ends before it starts (\\K in an assertion)");

        RegexMatch match;
        match.groups.reserve(pairs);
        for (uint32_t i = 0; i < pairs; ++i) {
            const PCRE2_SIZE start = ovector[2 * i];
            if (start == PCRE2_UNSET || static_cast<int>(i) >= rc)
                match.groups.emplace_back();
            else
                match.groups.emplace_back(RegexRange{start, ovector[2 * i + 1] - start});
        }
        if (!onMatch(std::as_const(match)))
            return;
        const std::size_t end = ovector[1];
        options = end == ovector[0] ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
        offset = end;
    }
}

} // namespace

bool RegularExpression::hasMatch(std::string_view subject) const {
    return firstMatch(subject).has_value();
}

std::optional<RegexMatch> RegularExpression::firstMatch(std::string_view subject,
                                                        std::size_t startOffset) const {
    std::optional<RegexMatch> found;
    if (startOffset > subject.size())
        return found;
    forEachMatch(m_code->code, subject, startOffset, [&](const RegexMatch& match) {
        found = match;
        return false;
    });
    return found;
}

std::vector<RegexMatch> RegularExpression::allMatches(std::string_view subject) const {
    std::vector<RegexMatch> matches;
    forEachMatch(m_code->code, subject, 0, [&](const RegexMatch& match) {
        matches.push_back(match);
        return true;
    });
    return matches;
}

std::string RegularExpression::replacingMatches(std::string_view subject,
                                                std::string_view replacementTemplate) const {
    const std::vector<TemplatePiece> pieces =
        parseTemplate(replacementTemplate, m_captureGroupCount);
    std::string result;
    result.reserve(subject.size());
    std::size_t copied = 0;
    forEachMatch(m_code->code, subject, 0, [&](const RegexMatch& match) {
        const RegexRange& whole = match.range();
        result.append(subject, copied, whole.offset - copied);
        for (const TemplatePiece& piece : pieces) {
            result += piece.literal;
            if (piece.group)
                if (const auto text = match.group(subject, *piece.group))
                    result += *text;
        }
        copied = whole.offset + whole.length;
        return true;
    });
    result.append(subject, copied);
    return result;
}

} // namespace tarn
