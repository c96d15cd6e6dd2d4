#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The in-memory form of one language's packs, private to the localisation
// store (exposed for its tests). Immutable once built, so one catalogue may be
// read from any number of threads at once.
namespace tarn::detail {

struct TransparentStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

template <class Value>
using StringHashMap =
    std::unordered_map<std::string, Value, TransparentStringHash, std::equal_to<>>;

// An English template such as "Imported {0} requests" with its translation
// "{0} Anfragen importiert": matching the finished English text captures the
// values that went into the placeholders and puts them into the translation.
struct CompiledTemplate {
    // The literal text around the placeholders: before {0}, between each pair, after
    // the last one; placeholderCount + 1 of them, any may be empty.
    std::vector<std::string> sourceLiterals;
    std::size_t placeholderCount = 0;
    std::string targetTemplate;
    // Characters (not bytes) of all literals together; at least 2.
    std::size_t literalWeight = 0;
    // Bytes of all literals together: a cheap first test when matching.
    std::size_t literalBytes = 0;

    // Nothing when the source has no {0}, or when its literals hold fewer than
    // 2 characters (such a template would match almost anything). Placeholders
    // count only in order: scanning stops at the first index that does not
    // follow the previous placeholder.
    static std::optional<CompiledTemplate> compile(std::string_view source,
                                                   std::string_view target);

    // The translation for `text`, or nothing when the text does not have the
    // template's shape or a placeholder would capture nothing. Captured values
    // are put in as they are: a "{1}" inside a captured value stays literal.
    std::optional<std::string> apply(std::string_view text) const;
    // The same with the text's character count already known.
    std::optional<std::string> apply(std::string_view text, std::size_t textCharacterCount) const;
};

class LoadedLanguageCatalog {
public:
    using StringMap = std::map<std::string, std::string, std::less<>>;

    LoadedLanguageCatalog() = default;
    // Template entries with an empty target, and those that do not compile,
    // are dropped. Templates of equal weight are tried in the order of their
    // source text, so the answer never depends on hashing.
    LoadedLanguageCatalog(StringMap strings, const StringMap& templates);

    // The catalogue of a language without any pack.
    static const std::shared_ptr<const LoadedLanguageCatalog>& empty();

    // strings[key], else strings[english], else the first template indexed
    // under the text's 3- and 2-character prefix, then suffix, that matches.
    // Empty translations never count.
    std::optional<std::string> lookup(std::optional<std::string_view> key,
                                      std::string_view english) const;

    bool isEmpty() const { return m_strings.empty() && m_byPrefix.empty() && m_bySuffix.empty(); }

    // The templates indexed under `key`, best first; for tests.
    std::vector<std::string> prefixBucketTargets(std::string_view key) const;
    std::vector<std::string> suffixBucketTargets(std::string_view key) const;

private:
    using Buckets = StringHashMap<std::vector<CompiledTemplate>>;

    std::optional<std::string> matchBucket(const Buckets& buckets, std::string_view key,
                                           std::string_view text,
                                           std::size_t textCharacterCount) const;

    StringHashMap<std::string> m_strings;
    Buckets m_byPrefix;
    Buckets m_bySuffix;
};

} // namespace tarn::detail
