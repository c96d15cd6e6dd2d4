#pragma once

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace tarn {

// One language pack as stored in "<code>.json": plain translations keyed by
// English text (or by key), and templates keyed by English templates with
// numbered placeholders ("Imported {0} requests"). Only `strings` and
// `templates` take part in lookups; the other fields describe the pack.
struct TarnLocalizationPack {
    std::string code;
    std::string nativeName;
    std::string englishName;
    bool isRTL = false;
    std::map<std::string, std::string> strings;
    std::map<std::string, std::string> templates;

    bool operator==(const TarnLocalizationPack&) const = default;
};

// Writes all six members. Reading accepts any of them missing (or null): empty
// text, false, an empty map. A member present with another type, and anything
// but an object, throws json::DecodingError; unknown members are ignored.
void to_json(nlohmann::json& json, const TarnLocalizationPack& pack);
void from_json(const nlohmann::json& json, TarnLocalizationPack& pack);

namespace detail {

// A pack's JSON document read as a pack, or nothing when it is not one.
[[nodiscard]] std::optional<TarnLocalizationPack> decodePack(const nlohmann::json& document);
// The other pack shape: an object whose every value is a string.
[[nodiscard]] std::optional<std::map<std::string, std::string>>
decodeFlatMap(const nlohmann::json& document);

} // namespace detail
} // namespace tarn
