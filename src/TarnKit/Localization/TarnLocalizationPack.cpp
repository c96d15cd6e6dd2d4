#include "TarnKit/Localization/TarnLocalizationPack.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace tarn {
namespace {

using StringMap = std::map<std::string, std::string>;

StringMap decodeStringMap(const nlohmann::json& value) {
    if (!value.is_object())
        json::detail::throwTypeMismatch(value, "an object");
    StringMap map;
    for (const auto& [key, member] : value.items()) {
        try {
            map.emplace(key, json::decode<std::string>(member));
        } catch (json::DecodingError& error) {
            error.prependKey(key);
            throw;
        }
    }
    return map;
}

// A member that may be missing or null; otherwise it must decode.
template <class T, class Decode>
void decodeOptional(const nlohmann::json& object, std::string_view key, T& out, Decode decode) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return;
    try {
        out = decode(*found);
    } catch (json::DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

} // namespace

void to_json(nlohmann::json& json, const TarnLocalizationPack& pack) {
    json = nlohmann::json{
        {"code", pack.code},   {"nativeName", pack.nativeName}, {"englishName", pack.englishName},
        {"isRTL", pack.isRTL}, {"strings", pack.strings},       {"templates", pack.templates},
    };
}

void from_json(const nlohmann::json& json, TarnLocalizationPack& pack) {
    const nlohmann::json& object = json::expectObject(json);
    TarnLocalizationPack result;
    const auto text = [](const nlohmann::json& value) { return json::decode<std::string>(value); };
    decodeOptional(object, "code", result.code, text);
    decodeOptional(object, "nativeName", result.nativeName, text);
    decodeOptional(object, "englishName", result.englishName, text);
    decodeOptional(object, "isRTL", result.isRTL,
                   [](const nlohmann::json& value) { return json::decode<bool>(value); });
    decodeOptional(object, "strings", result.strings, decodeStringMap);
    decodeOptional(object, "templates", result.templates, decodeStringMap);
    pack = std::move(result);
}

namespace detail {

std::optional<TarnLocalizationPack> decodePack(const nlohmann::json& document) {
    try {
        return document.get<TarnLocalizationPack>();
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

std::optional<std::map<std::string, std::string>> decodeFlatMap(const nlohmann::json& document) {
    try {
        return decodeStringMap(document);
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

} // namespace detail
} // namespace tarn
