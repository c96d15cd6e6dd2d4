#include "TarnKit/Cloud/TarnAIClientError.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"

#include <array>
#include <charconv>
#include <utility>

namespace tarn {
namespace {

std::string describe(TarnAIClientError::Kind kind, int statusCode, const std::string& message,
                     TarnLanguage language) {
    switch (kind) {
    case TarnAIClientError::Kind::httpError: {
        std::array<char, 16> digits{};
        const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), statusCode);
        return "HTTP " + std::string(digits.data(), result.ptr) + ": " + message;
    }
    case TarnAIClientError::Kind::invalidEndpoint:
        return tarnText("Invalid AI endpoint URL.", "Geçersiz AI uç noktası adresi.", language);
    case TarnAIClientError::Kind::missingAPIKey:
        return tarnText("API key or Corvane credit token is required for this provider.",
                        "Bu sağlayıcı için API anahtarı veya Corvane kredi jetonu gereklidir.",
                        language);
    case TarnAIClientError::Kind::emptyResponse:
        return tarnText("Provider returned an empty response.", "Sağlayıcı boş yanıt döndürdü.",
                        language);
    }
    return {};
}

} // namespace

TarnAIClientError::TarnAIClientError(Kind kind, int statusCode, std::string message)
    : PlatformError("TarnKit.TarnAIClientError", static_cast<long>(kind),
                    describe(kind, statusCode, message, language::current())),
      m_kind(kind), m_statusCode(statusCode), m_message(std::move(message)) {}

TarnAIClientError TarnAIClientError::httpError(int statusCode, std::string message) {
    return TarnAIClientError(Kind::httpError, statusCode, std::move(message));
}

TarnAIClientError TarnAIClientError::invalidEndpoint() {
    return TarnAIClientError(Kind::invalidEndpoint, 0, {});
}

TarnAIClientError TarnAIClientError::missingAPIKey() {
    return TarnAIClientError(Kind::missingAPIKey, 0, {});
}

TarnAIClientError TarnAIClientError::emptyResponse() {
    return TarnAIClientError(Kind::emptyResponse, 0, {});
}

std::string TarnAIClientError::errorDescription(TarnLanguage language) const {
    return describe(m_kind, m_statusCode, m_message, language);
}

std::string TarnAIClientError::errorDescription() const {
    return errorDescription(language::current());
}

} // namespace tarn
