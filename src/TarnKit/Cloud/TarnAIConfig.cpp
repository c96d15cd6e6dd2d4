#include "TarnKit/Cloud/TarnAIConfig.h"

#include "TarnKit/Platform/JSONCoding.h"

#include <utility>

namespace tarn {

TarnAIConfig::TarnAIConfig(TarnAIProvider providerValue,
                           std::optional<std::string> endpointURLValue,
                           std::optional<std::string> modelValue)
    : provider(providerValue),
      endpointURL(endpointURLValue ? std::move(*endpointURLValue)
                                   : std::string(defaultEndpoint(providerValue))),
      model(modelValue ? std::move(*modelValue) : std::string(defaultModel(providerValue))) {}

void to_json(nlohmann::json& json, const TarnAIConfig& config) {
    json = nlohmann::json{
        {"provider", config.provider},
        {"endpointURL", config.endpointURL},
        {"model", config.model},
    };
}

void from_json(const nlohmann::json& json, TarnAIConfig& config) {
    const nlohmann::json& object = json::expectObject(json);
    config =
        TarnAIConfig(json::requiredEnum<TarnAIProvider>(object, "provider", aiprovider::fromRaw),
                     json::required<std::string>(object, "endpointURL"),
                     json::required<std::string>(object, "model"));
}

} // namespace tarn
