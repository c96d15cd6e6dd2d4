#pragma once

#include "TarnKit/Localization/TarnLanguage.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// The kinds of chat-completion service TarnAIClient can address. Stored by
// raw value (the case name), so the order below is free to grow but the names
// are not free to change.
enum class TarnAIProvider : std::uint8_t {
    // An Ollama server on this machine; needs no key.
    ollamaLocal,
    // Any service that speaks the OpenAI chat-completions protocol, with the
    // user's own key.
    openAI,
    // The maker's credits service, with a credit token as the key.
    corvaneCredits,
};

// Pure lookups, safe from any thread.

// "ollamaLocal", "openAI", "corvaneCredits"; also the provider's identity.
std::string_view rawValue(TarnAIProvider provider);
std::string_view id(TarnAIProvider provider);

// The name shown to the user, in `language`.
std::string displayName(TarnAIProvider provider, TarnLanguage language);
// The same in the interface language of the moment of the call.
std::string displayName(TarnAIProvider provider);

// The full URL of the provider's chat endpoint, and the model a new
// configuration starts with.
std::string_view defaultEndpoint(TarnAIProvider provider);
std::string_view defaultModel(TarnAIProvider provider);

// Encoded as the raw value; a text that names no provider fails to decode
// (json::DecodingError, dataCorrupted).
void to_json(nlohmann::json& json, TarnAIProvider provider);
void from_json(const nlohmann::json& json, TarnAIProvider& provider);

namespace aiprovider {

// The three providers in declaration order.
std::span<const TarnAIProvider> allCases();

// Exact, case-sensitive raw-value match.
std::optional<TarnAIProvider> fromRaw(std::string_view text);

} // namespace aiprovider

} // namespace tarn
