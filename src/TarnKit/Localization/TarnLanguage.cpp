#include "TarnKit/Localization/TarnLanguage.h"

#include "TarnKit/Platform/PreferredLanguages.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

namespace tarn {
namespace {

struct LanguageInfo {
    TarnLanguage language;
    std::string_view code;
    std::string_view nativeName;
    std::string_view englishName;
    std::string_view shortCode;
    bool isRTL;
};

using L = TarnLanguage;

// Indexed by the enumeration's value.
constexpr std::array<LanguageInfo, language::caseCount> kLanguages{{
    {L::ar, "ar", "العربية", "Arabic", "AR", true},
    {L::az, "az", "Azərbaycanca", "Azerbaijani", "AZ", false},
    {L::bg, "bg", "Български", "Bulgarian", "BG", false},
    {L::ca, "ca", "Català", "Catalan", "CA", false},
    {L::cs, "cs", "Čeština", "Czech", "CS", false},
    {L::da, "da", "Dansk", "Danish", "DA", false},
    {L::de, "de", "Deutsch", "German", "DE", false},
    {L::el, "el", "Ελληνικά", "Greek", "EL", false},
    {L::en, "en", "English", "English", "EN", false},
    {L::es, "es", "Español", "Spanish", "ES", false},
    {L::fa, "fa", "فارسی", "Persian", "FA", true},
    {L::fi, "fi", "Suomi", "Finnish", "FI", false},
    {L::fr, "fr", "Français", "French", "FR", false},
    {L::he, "he", "עברית", "Hebrew", "HE", true},
    {L::hi, "hi", "हिन्दी", "Hindi", "HI", false},
    {L::hr, "hr", "Hrvatski", "Croatian", "HR", false},
    {L::hu, "hu", "Magyar", "Hungarian", "HU", false},
    {L::id, "id", "Bahasa Indonesia", "Indonesian", "ID", false},
    {L::it, "it", "Italiano", "Italian", "IT", false},
    {L::ja, "ja", "日本語", "Japanese", "JA", false},
    {L::ko, "ko", "한국어", "Korean", "KO", false},
    {L::ms, "ms", "Bahasa Melayu", "Malay", "MS", false},
    {L::nb, "nb", "Norsk Bokmål", "Norwegian Bokmål", "NB", false},
    {L::nl, "nl", "Nederlands", "Dutch", "NL", false},
    {L::pl, "pl", "Polski", "Polish", "PL", false},
    {L::ptBR, "pt-BR", "Português (Brasil)", "Portuguese (Brazil)", "PT", false},
    {L::ptPT, "pt-PT", "Português (Portugal)", "Portuguese (Portugal)", "PT-PT", false},
    {L::ro, "ro", "Română", "Romanian", "RO", false},
    {L::ru, "ru", "Русский", "Russian", "RU", false},
    {L::sk, "sk", "Slovenčina", "Slovak", "SK", false},
    {L::sv, "sv", "Svenska", "Swedish", "SV", false},
    {L::th, "th", "ไทย", "Thai", "TH", false},
    {L::tr, "tr", "Türkçe", "Turkish", "TR", false},
    {L::uk, "uk", "Українська", "Ukrainian", "UK", false},
    {L::vi, "vi", "Tiếng Việt", "Vietnamese", "VI", false},
    {L::zhHans, "zh-Hans", "简体中文", "Chinese (Simplified)", "ZH", false},
    {L::zhHant, "zh-Hant", "繁體中文", "Chinese (Traditional)", "ZH-TW", false},
}};

constexpr bool tableFollowsDeclarationOrder() {
    for (std::size_t i = 0; i < kLanguages.size(); ++i) {
        if (static_cast<std::size_t>(kLanguages[i].language) != i)
            return false;
    }
    return true;
}
static_assert(tableFollowsDeclarationOrder());

const LanguageInfo& info(TarnLanguage language) {
    return kLanguages[static_cast<std::size_t>(language)];
}

constexpr std::array<TarnLanguage, language::caseCount> makeAllCases() {
    std::array<TarnLanguage, language::caseCount> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = kLanguages[i].language;
    return cases;
}

constexpr std::array<TarnLanguage, language::caseCount> kAllCases = makeAllCases();

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

std::string_view rawValue(TarnLanguage language) {
    return info(language).code;
}
std::string_view id(TarnLanguage language) {
    return info(language).code;
}
std::string_view nativeName(TarnLanguage language) {
    return info(language).nativeName;
}
std::string_view englishName(TarnLanguage language) {
    return info(language).englishName;
}
std::string_view shortCode(TarnLanguage language) {
    return info(language).shortCode;
}
bool isRTL(TarnLanguage language) {
    return info(language).isRTL;
}
std::string_view localeIdentifier(TarnLanguage language) {
    return info(language).code;
}

std::string displayName(TarnLanguage language) {
    const LanguageInfo& entry = info(language);
    if (text::caseFolded(entry.nativeName) == text::caseFolded(entry.englishName))
        return std::string(entry.nativeName);
    std::string name(entry.nativeName);
    name += " (";
    name += entry.englishName;
    name += ')';
    return name;
}

std::optional<TarnLanguage> fallbackParent(TarnLanguage language) {
    switch (language) {
    case TarnLanguage::ptPT:
        return TarnLanguage::ptBR;
    case TarnLanguage::zhHant:
        return TarnLanguage::zhHans;
    default:
        return std::nullopt;
    }
}

void to_json(nlohmann::json& json, TarnLanguage language) {
    json = std::string(rawValue(language));
}

void from_json(const nlohmann::json& json, TarnLanguage& language) {
    const std::string text = json.is_string() ? json.get<std::string>() : std::string();
    language = language::decode(text, preferredLanguages());
}

namespace language {

std::span<const TarnLanguage, caseCount> allCases() {
    return kAllCases;
}

std::span<const TarnLanguage, caseCount> sortedCases() {
    static const std::array<TarnLanguage, caseCount> sorted = [] {
        std::array<TarnLanguage, caseCount> cases = kAllCases;
        std::stable_sort(cases.begin(), cases.end(), [](TarnLanguage a, TarnLanguage b) {
            return text::caseFolded(englishName(a)) < text::caseFolded(englishName(b));
        });
        return cases;
    }();
    return sorted;
}

std::optional<TarnLanguage> fromRaw(std::string_view text) {
    for (const LanguageInfo& entry : kLanguages) {
        if (entry.code == text)
            return entry.language;
    }
    return std::nullopt;
}

std::optional<TarnLanguage> match(std::string_view tag) {
    std::string normalized(text::trimmingWhitespaceAndNewlines(tag));
    std::replace(normalized.begin(), normalized.end(), '_', '-');
    if (normalized.empty())
        return std::nullopt;

    const std::string folded = text::caseFolded(normalized);
    for (const LanguageInfo& entry : kLanguages) {
        if (text::caseFolded(entry.code) == folded)
            return entry.language;
    }

    const std::string lower = text::lowercased(normalized);
    if (lower == "zh" || startsWith(lower, "zh-")) {
        if (contains(lower, "hant") || contains(lower, "-tw") || contains(lower, "-hk") ||
            contains(lower, "-mo"))
            return TarnLanguage::zhHant;
        return TarnLanguage::zhHans;
    }
    if (lower == "pt" || startsWith(lower, "pt-"))
        return startsWith(lower, "pt-pt") ? TarnLanguage::ptPT : TarnLanguage::ptBR;
    for (std::string_view norwegian : {"no", "nb", "nn"}) {
        if (lower == norwegian ||
            (startsWith(lower, norwegian) && lower.size() > 2 && lower[2] == '-'))
            return TarnLanguage::nb;
    }
    const std::string_view subtag = std::string_view(lower).substr(0, lower.find('-'));
    if (subtag == "iw")
        return TarnLanguage::he;
    if (subtag == "in")
        return TarnLanguage::id;
    for (const LanguageInfo& entry : kLanguages) {
        if (text::lowercased(entry.code) == subtag)
            return entry.language;
    }
    return std::nullopt;
}

TarnLanguage resolve(std::span<const std::string> tags) {
    for (const std::string& tag : tags) {
        if (const std::optional<TarnLanguage> language = match(tag))
            return *language;
    }
    return TarnLanguage::en;
}

TarnLanguage decode(std::string_view text, std::span<const std::string> systemLanguages) {
    const std::string_view trimmed = text::trimmingWhitespaceAndNewlines(text);
    if (!trimmed.empty() && text::caseFolded(trimmed) != "system") {
        if (const std::optional<TarnLanguage> exact = fromRaw(trimmed))
            return *exact;
        if (const std::optional<TarnLanguage> matched = match(trimmed))
            return *matched;
    }
    return resolve(systemLanguages);
}

} // namespace language
} // namespace tarn
