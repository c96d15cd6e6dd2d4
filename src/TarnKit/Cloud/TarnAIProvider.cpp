#include "TarnKit/Cloud/TarnAIProvider.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <array>

namespace tarn {
namespace {

constexpr std::array kAllCases = {
    TarnAIProvider::ollamaLocal,
    TarnAIProvider::openAI,
    TarnAIProvider::corvaneCredits,
};

} // namespace

std::string_view rawValue(TarnAIProvider provider) {
    switch (provider) {
    case TarnAIProvider::ollamaLocal:
        return "ollamaLocal";
    case TarnAIProvider::openAI:
        return "openAI";
    case TarnAIProvider::corvaneCredits:
        return "corvaneCredits";
    }
    return "ollamaLocal";
}

std::string_view id(TarnAIProvider provider) {
    return rawValue(provider);
}

std::string displayName(TarnAIProvider provider, TarnLanguage language) {
    switch (provider) {
    case TarnAIProvider::ollamaLocal:
        return tarnText("Local Ollama (100% Offline)", "Yerel Ollama (%100 Çevrimdışı)", language);
    case TarnAIProvider::openAI:
        return tarnText("OpenAI-Compatible (BYO Key)", "OpenAI Uyumlu (Kendi Anahtarın)", language);
    case TarnAIProvider::corvaneCredits:
        return tarnText("Corvane Credits (account.corvane.com)",
                        "Corvane Kredisi (account.corvane.com)", language);
    }
    return {};
}

std::string displayName(TarnAIProvider provider) {
    return displayName(provider, language::current());
}

std::string_view defaultEndpoint(TarnAIProvider provider) {
    switch (provider) {
    case TarnAIProvider::ollamaLocal:
        return "http://127.0.0.1:11434/api/chat";
    case TarnAIProvider::openAI:
        return "https://api.openai.com/v1/chat/completions";
    case TarnAIProvider::corvaneCredits:
        return "https://api.corvane.com/v1/ai/chat";
    }
    return {};
}

std::string_view defaultModel(TarnAIProvider provider) {
    switch (provider) {
    case TarnAIProvider::ollamaLocal:
        return "llama3.2";
    case TarnAIProvider::openAI:
        return "gpt-4o-mini";
    case TarnAIProvider::corvaneCredits:
        return "corvane-doc-fast";
    }
    return {};
}

void to_json(nlohmann::json& json, TarnAIProvider provider) {
    json = std::string(rawValue(provider));
}

void from_json(const nlohmann::json& json, TarnAIProvider& provider) {
    provider = json::decodeEnum<TarnAIProvider>(json, aiprovider::fromRaw);
}

namespace aiprovider {

std::span<const TarnAIProvider> allCases() {
    return kAllCases;
}

std::optional<TarnAIProvider> fromRaw(std::string_view text) {
    for (const TarnAIProvider provider : kAllCases)
        if (rawValue(provider) == text)
            return provider;
    return std::nullopt;
}

} // namespace aiprovider

} // namespace tarn
