#include "TarnKit/Utilities/TarnAppIdentity.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <utf8proc.h>
#include <utility>

namespace tarn {
namespace {

// In declaration order: the slug of case i is kSlugs[i].
constexpr std::array<std::string_view, 75> kSlugs = {
    "palvine", "murrel",   "jostra",  "wendle",  "sorvel",  "quenby",  "trelk",   "ambrel",
    "fennick", "hollin",   "brask",   "dunmere", "keswin",  "lorrow",  "mizzle",  "nabbet",
    "orrin",   "pitlow",   "rasken",  "sarnel",  "tibbet",  "umbrel",  "varrow",  "wexley",
    "yarrel",  "zennor",   "abbrin",  "belcott", "cawder",  "dimmock", "elvast",  "farrish",
    "gorran",  "hesket",   "ivrach",  "jarrow",  "kelby",   "lankin",  "morwick", "norvale",
    "ossory",  "pendle",   "quorrel", "rillet",  "heddle",  "sketto",  "tavlor",  "ulvern",
    "vessick", "wortley",  "yelvin",  "zarrow",  "aldrick", "bexton",  "corlow",  "dunstel",
    "emmerly", "fosswick", "garrick", "halvern", "quiller", "ilkett",  "jessop",  "kirvel",
    "lorcan",  "mardle",   "nimbrel", "orvell",  "pashley", "quintel", "rudwick", "selborne",
    "tollan",  "urwick",   "vantry",
};

constexpr std::array<std::pair<std::string_view, TarnAppIdentity>, 5> kFormerNames = {{
    {"pennock", TarnAppIdentity::yelvin},
    {"moxley", TarnAppIdentity::jostra},
    {"moxbury", TarnAppIdentity::jostra},
    {"sefton", TarnAppIdentity::murrel},
    {"lindow", TarnAppIdentity::hollin},
}};

constexpr std::array<TarnAppIdentity, kSlugs.size()> kAllCases = [] {
    std::array<TarnAppIdentity, kSlugs.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = static_cast<TarnAppIdentity>(i);
    return cases;
}();
static_assert(kAllCases.back() == TarnAppIdentity::vantry);

using SlugIndex = std::array<std::pair<std::string_view, TarnAppIdentity>, kSlugs.size()>;

constexpr SlugIndex kSlugIndex = [] {
    SlugIndex index{};
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = {kSlugs[i], static_cast<TarnAppIdentity>(i)};
    std::sort(index.begin(), index.end());
    return index;
}();

// The last "."-separated piece that is not empty; the whole name when there
// is none (an empty name, or only dots).
std::string_view lastPiece(std::string_view name) {
    std::size_t end = name.size();
    while (end > 0) {
        const std::size_t dot = name.rfind('.', end - 1);
        const std::size_t start = dot == std::string_view::npos ? 0 : dot + 1;
        if (start < end)
            return name.substr(start, end - start);
        end = dot;
    }
    return name;
}

// Letters, marks and numbers of any script.
bool isAlphanumeric(char32_t codePoint) {
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(codePoint))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
        return true;
    default:
        return false;
    }
}

std::string normalizedName(std::string_view piece) {
    std::string key;
    key.reserve(piece.size());
    const bool ascii = std::all_of(piece.begin(), piece.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (const char c : piece) {
            if (ascii::isAlphanumeric(c))
                key += ascii::lowercased(c);
        }
        return key;
    }
    for (const char32_t codePoint : text::decodeUTF8(text::lowercased(piece))) {
        if (isAlphanumeric(codePoint))
            text::appendUTF8(key, codePoint);
    }
    return key;
}

} // namespace

std::string_view rawValue(TarnAppIdentity identity) {
    const auto index = static_cast<std::size_t>(identity);
    return index < kSlugs.size() ? kSlugs[index] : std::string_view();
}

void to_json(nlohmann::json& json, TarnAppIdentity identity) {
    json = std::string(rawValue(identity));
}

void from_json(const nlohmann::json& json, TarnAppIdentity& identity) {
    identity = json::decodeEnum<TarnAppIdentity>(json, appidentity::fromRaw);
}

namespace appidentity {

std::string alphanumericLowercased(std::string_view name) {
    return normalizedName(name);
}

std::span<const TarnAppIdentity> allCases() {
    return kAllCases;
}

std::optional<TarnAppIdentity> fromRaw(std::string_view slug) {
    const auto found = std::lower_bound(
        kSlugIndex.begin(), kSlugIndex.end(), slug,
        [](const auto& entry, std::string_view wanted) { return entry.first < wanted; });
    if (found == kSlugIndex.end() || found->first != slug)
        return std::nullopt;
    return found->second;
}

std::optional<TarnAppIdentity> resolve(std::string_view name) {
    const std::string key = normalizedName(lastPiece(name));
    for (const auto& [formerName, identity] : kFormerNames) {
        if (key == formerName)
            return identity;
    }
    return fromRaw(key);
}

std::optional<TarnAppIdentity> current() {
    return current(TarnBundle::main(), processName());
}

std::optional<TarnAppIdentity> current(const TarnBundle& bundle, std::string_view processName) {
    if (auto identity = resolve(bundle.bundleIdentifier))
        return identity;
    if (bundle.displayName) {
        if (auto identity = resolve(*bundle.displayName))
            return identity;
    }
    if (bundle.name) {
        if (auto identity = resolve(*bundle.name))
            return identity;
    }
    return resolve(processName);
}

} // namespace appidentity

} // namespace tarn
