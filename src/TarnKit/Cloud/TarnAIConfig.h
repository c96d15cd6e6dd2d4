#pragma once

#include "TarnKit/Cloud/TarnAIProvider.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace tarn {

// Which AI provider to ask, at which endpoint, with which model: the choice an
// application stores for its user. The API key is deliberately not part of
// it, so a stored configuration never holds a secret. A plain value.
struct TarnAIConfig {
    TarnAIProvider provider = TarnAIProvider::ollamaLocal;
    // The full URL of the chat endpoint.
    std::string endpointURL;
    // The model name sent in the request body.
    std::string model;

    // The local provider with its default endpoint and model.
    TarnAIConfig() : TarnAIConfig(TarnAIProvider::ollamaLocal) {}
    // An absent endpoint or model is the provider's default; a present one is
    // kept exactly, also when empty.
    explicit TarnAIConfig(TarnAIProvider providerValue,
                          std::optional<std::string> endpointURLValue = std::nullopt,
                          std::optional<std::string> modelValue = std::nullopt);

    friend bool operator==(const TarnAIConfig&, const TarnAIConfig&) = default;
};

// {"endpointURL": ..., "model": ..., "provider": <raw value>}. Decoding is
// strict: all three members are required and must be texts, and the provider
// must name a case (json::DecodingError otherwise).
void to_json(nlohmann::json& json, const TarnAIConfig& config);
void from_json(const nlohmann::json& json, TarnAIConfig& config);

} // namespace tarn
