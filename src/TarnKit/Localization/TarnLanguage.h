#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The suite's interface languages. The declaration order is the order of
// language::allCases() and the order in which tag matching tries them.
enum class TarnLanguage : std::uint8_t {
    ar,
    az,
    bg,
    ca,
    cs,
    da,
    de,
    el,
    en,
    es,
    fa,
    fi,
    fr,
    he,
    hi,
    hr,
    hu,
    id,
    it,
    ja,
    ko,
    ms,
    nb,
    nl,
    pl,
    ptBR,
    ptPT,
    ro,
    ru,
    sk,
    sv,
    th,
    tr,
    uk,
    vi,
    zhHans,
    zhHant,
};

// Pure and safe from any thread.

// The BCP 47 code ("de", "pt-BR", "zh-Hant"); also the language's identity.
std::string_view rawValue(TarnLanguage language);
std::string_view id(TarnLanguage language);
std::string_view nativeName(TarnLanguage language);
std::string_view englishName(TarnLanguage language);
// "Deutsch (German)"; just "English" where both names agree.
std::string displayName(TarnLanguage language);
// The badge text: the code in capitals, except "PT", "PT-PT", "ZH" and "ZH-TW".
std::string_view shortCode(TarnLanguage language);
bool isRTL(TarnLanguage language);
// The identifier of the locale that formats for the language: the code.
std::string_view localeIdentifier(TarnLanguage language);
// pt-PT falls back to pt-BR, zh-Hant to zh-Hans; no other language has one.
std::optional<TarnLanguage> fallbackParent(TarnLanguage language);

// Encodes the code as a JSON string. Decoding is tolerant and never fails on
// the content: see language::decode (it uses the system's languages as they
// are now).
void to_json(nlohmann::json& json, TarnLanguage language);
void from_json(const nlohmann::json& json, TarnLanguage& language);

namespace language {

inline constexpr std::size_t caseCount = 37;

std::span<const TarnLanguage, caseCount> allCases();
// allCases() in ascending order of English name, case-insensitively (a stable
// sort): Arabic, Azerbaijani, Bulgarian, Catalan, Chinese (Simplified), ...
std::span<const TarnLanguage, caseCount> sortedCases();

// The language whose code is exactly `text` (case-sensitive), else nullopt.
[[nodiscard]] std::optional<TarnLanguage> fromRaw(std::string_view text);

// Maps a free-form language tag ("en_US", " zh_TW ", "iw", "de-AT") to a
// language, or nullopt when none fits.
std::optional<TarnLanguage> match(std::string_view tag);

// The first tag of the list that match() maps to a language; English when none
// does.
TarnLanguage resolve(std::span<const std::string> tags);

// The tolerant reading of a stored language: blank text or "system" (any case)
// mean the system's language, resolve(systemLanguages); otherwise the exact
// code, else match(), else again the system's language.
[[nodiscard]] TarnLanguage decode(std::string_view text,
                                  std::span<const std::string> systemLanguages);

} // namespace language
} // namespace tarn
