#include "TarnKit/Localization/LanguageCatalog.h"

#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>

namespace tarn::detail {
namespace {

std::string placeholder(std::size_t index) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), index);
    std::string text = "{";
    text.append(digits.data(), result.ptr);
    text += '}';
    return text;
}

// The index keys of a text: its first and last 2 and 3 characters, and its
// length in characters, from one walk over it.
struct TextKeys {
    std::size_t characterCount = 0;
    std::string_view prefix2, prefix3, suffix2, suffix3;
};

TextKeys textKeys(std::string_view text) {
    TextKeys keys;
    // Start offsets of the last three characters seen, oldest first.
    std::array<std::size_t, 3> recentStarts{};
    text::CharacterScanner scanner(text);
    while (const std::optional<std::string_view> character = scanner.next()) {
        const auto start = static_cast<std::size_t>(character->data() - text.data());
        const std::size_t end = start + character->size();
        ++keys.characterCount;
        if (keys.characterCount == 2)
            keys.prefix2 = text.substr(0, end);
        else if (keys.characterCount == 3)
            keys.prefix3 = text.substr(0, end);
        recentStarts = {recentStarts[1], recentStarts[2], start};
    }
    if (keys.characterCount >= 2)
        keys.suffix2 = text.substr(recentStarts[1]);
    if (keys.characterCount >= 3)
        keys.suffix3 = text.substr(recentStarts[0]);
    return keys;
}

// The first (or last) 3 characters of a literal of at least 2 characters, the
// whole literal when it has exactly 2; empty when it is too short to index.
std::string_view literalPrefixKey(std::string_view literal) {
    const TextKeys keys = textKeys(literal);
    if (keys.characterCount < 2)
        return {};
    return keys.characterCount == 2 ? literal : keys.prefix3;
}

std::string_view literalSuffixKey(std::string_view literal) {
    const TextKeys keys = textKeys(literal);
    if (keys.characterCount < 2)
        return {};
    return keys.characterCount == 2 ? literal : keys.suffix3;
}

// "{<index>}" at `position` with the index written without leading zeros, as
// compile() searches for it; the index and the placeholder's length.
std::optional<std::pair<std::size_t, std::size_t>> placeholderAt(std::string_view text,
                                                                 std::size_t position) {
    if (text[position] != '{')
        return std::nullopt;
    const std::size_t digitsStart = position + 1;
    std::size_t digitsEnd = digitsStart;
    while (digitsEnd < text.size() && text[digitsEnd] >= '0' && text[digitsEnd] <= '9')
        ++digitsEnd;
    if (digitsEnd == digitsStart || digitsEnd >= text.size() || text[digitsEnd] != '}')
        return std::nullopt;
    if (text[digitsStart] == '0' && digitsEnd - digitsStart > 1)
        return std::nullopt;
    std::size_t index = 0;
    const auto result = std::from_chars(text.data() + digitsStart, text.data() + digitsEnd, index);
    if (result.ec != std::errc())
        return std::nullopt;
    return std::pair{index, digitsEnd + 1 - position};
}

} // namespace

std::optional<CompiledTemplate> CompiledTemplate::compile(std::string_view source,
                                                          std::string_view target) {
    CompiledTemplate compiled;
    std::size_t cursor = 0;
    std::size_t index = 0;
    for (;;) {
        const std::string marker = placeholder(index);
        const std::size_t found = source.find(marker, cursor);
        if (found == std::string_view::npos)
            break;
        compiled.sourceLiterals.emplace_back(source.substr(cursor, found - cursor));
        cursor = found + marker.size();
        ++index;
    }
    if (index == 0)
        return std::nullopt;
    compiled.sourceLiterals.emplace_back(source.substr(cursor));
    compiled.placeholderCount = index;
    for (const std::string& literal : compiled.sourceLiterals) {
        compiled.literalWeight += text::characterCount(literal);
        compiled.literalBytes += literal.size();
    }
    if (compiled.literalWeight < 2)
        return std::nullopt;
    compiled.targetTemplate = target;
    return compiled;
}

std::optional<std::string> CompiledTemplate::apply(std::string_view text) const {
    return apply(text, text::characterCount(text));
}

std::optional<std::string> CompiledTemplate::apply(std::string_view text,
                                                   std::size_t textCharacterCount) const {
    if (textCharacterCount < literalWeight || text.size() < literalBytes)
        return std::nullopt;
    const std::string& first = sourceLiterals.front();
    const std::string& last = sourceLiterals.back();
    if (!text.starts_with(first) || !text.ends_with(last))
        return std::nullopt;
    const std::size_t regionStart = first.size();
    const std::size_t regionEnd = text.size() - last.size();
    if (regionStart > regionEnd)
        return std::nullopt;
    std::string_view region = text.substr(regionStart, regionEnd - regionStart);

    // Most templates of a bucket are rejected here, so the usual few captures
    // live on the stack and a failed match allocates nothing.
    std::array<std::string_view, 8> inlineCaptures;
    std::vector<std::string_view> manyCaptures;
    if (placeholderCount > inlineCaptures.size())
        manyCaptures.resize(placeholderCount);
    const std::span<std::string_view> captures =
        manyCaptures.empty() ? std::span<std::string_view>(inlineCaptures.data(), placeholderCount)
                             : std::span<std::string_view>(manyCaptures);
    for (std::size_t i = 1; i < placeholderCount; ++i) {
        const std::string& middle = sourceLiterals[i];
        if (middle.empty())
            return std::nullopt;
        const std::size_t found = region.find(middle);
        if (found == 0 || found == std::string_view::npos)
            return std::nullopt; // no such literal, or an empty capture before it
        captures[i - 1] = region.substr(0, found);
        region.remove_prefix(found + middle.size());
    }
    if (region.empty())
        return std::nullopt;
    captures[placeholderCount - 1] = region;

    // One pass over the target: a captured value is never searched for
    // placeholders again, so a URL or name holding "{1}" comes through intact.
    std::string result;
    result.reserve(targetTemplate.size() + text.size());
    std::size_t position = 0;
    while (position < targetTemplate.size()) {
        const std::size_t brace = targetTemplate.find('{', position);
        if (brace == std::string::npos) {
            result.append(targetTemplate, position);
            break;
        }
        result.append(targetTemplate, position, brace - position);
        const auto found = placeholderAt(targetTemplate, brace);
        if (found && found->first < captures.size()) {
            result += captures[found->first];
            position = brace + found->second;
        } else {
            result += '{';
            position = brace + 1;
        }
    }
    return result;
}

LoadedLanguageCatalog::LoadedLanguageCatalog(StringMap strings, const StringMap& templates) {
    m_strings.reserve(strings.size());
    for (auto& [source, translation] : strings)
        m_strings.emplace(source, std::move(translation));
    for (const auto& [source, target] : templates) {
        if (target.empty())
            continue;
        std::optional<CompiledTemplate> compiled = CompiledTemplate::compile(source, target);
        if (!compiled)
            continue;
        if (const std::string_view key = literalPrefixKey(compiled->sourceLiterals.front());
            !key.empty()) {
            m_byPrefix[std::string(key)].push_back(std::move(*compiled));
        } else if (const std::string_view suffix =
                       literalSuffixKey(compiled->sourceLiterals.back());
                   !suffix.empty()) {
            m_bySuffix[std::string(suffix)].push_back(std::move(*compiled));
        }
        // Neither end has 2 characters to index by: such a template can never
        // be reached, as with the lookup that built these packs.
    }
    const auto heaviestFirst = [](const CompiledTemplate& a, const CompiledTemplate& b) {
        return a.literalWeight > b.literalWeight;
    };
    for (auto* buckets : {&m_byPrefix, &m_bySuffix}) {
        for (auto& [key, bucket] : *buckets)
            std::stable_sort(bucket.begin(), bucket.end(), heaviestFirst);
    }
}

const std::shared_ptr<const LoadedLanguageCatalog>& LoadedLanguageCatalog::empty() {
    static const auto* catalogue =
        new std::shared_ptr<const LoadedLanguageCatalog>(std::make_shared<LoadedLanguageCatalog>());
    return *catalogue;
}

std::optional<std::string>
LoadedLanguageCatalog::matchBucket(const Buckets& buckets, std::string_view key,
                                   std::string_view text, std::size_t textCharacterCount) const {
    if (key.empty())
        return std::nullopt;
    const auto found = buckets.find(key);
    if (found == buckets.end())
        return std::nullopt;
    for (const CompiledTemplate& compiled : found->second) {
        if (std::optional<std::string> translated = compiled.apply(text, textCharacterCount))
            return translated;
    }
    return std::nullopt;
}

std::optional<std::string> LoadedLanguageCatalog::lookup(std::optional<std::string_view> key,
                                                         std::string_view english) const {
    if (key) {
        const auto found = m_strings.find(*key);
        if (found != m_strings.end() && !found->second.empty())
            return found->second;
    }
    if (const auto found = m_strings.find(english);
        found != m_strings.end() && !found->second.empty())
        return found->second;

    if (m_byPrefix.empty() && m_bySuffix.empty())
        return std::nullopt;
    const TextKeys keys = textKeys(english);
    if (keys.characterCount <= 2)
        return std::nullopt;
    if (!m_byPrefix.empty()) {
        for (const std::string_view prefix : {keys.prefix3, keys.prefix2}) {
            if (auto translated = matchBucket(m_byPrefix, prefix, english, keys.characterCount))
                return translated;
        }
    }
    if (!m_bySuffix.empty()) {
        for (const std::string_view suffix : {keys.suffix3, keys.suffix2}) {
            if (auto translated = matchBucket(m_bySuffix, suffix, english, keys.characterCount))
                return translated;
        }
    }
    return std::nullopt;
}

std::vector<std::string> LoadedLanguageCatalog::prefixBucketTargets(std::string_view key) const {
    std::vector<std::string> targets;
    if (const auto found = m_byPrefix.find(key); found != m_byPrefix.end()) {
        for (const CompiledTemplate& compiled : found->second)
            targets.push_back(compiled.targetTemplate);
    }
    return targets;
}

std::vector<std::string> LoadedLanguageCatalog::suffixBucketTargets(std::string_view key) const {
    std::vector<std::string> targets;
    if (const auto found = m_bySuffix.find(key); found != m_bySuffix.end()) {
        for (const CompiledTemplate& compiled : found->second)
            targets.push_back(compiled.targetTemplate);
    }
    return targets;
}

} // namespace tarn::detail
