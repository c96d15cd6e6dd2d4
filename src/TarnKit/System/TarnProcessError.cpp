#include "TarnKit/System/TarnProcessError.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <array>
#include <charconv>
#include <utility>

namespace tarn {
namespace {

std::string describe(TarnProcessError::Kind kind, const std::string& name, std::int32_t exitCode,
                     const std::string& standardError, TarnLanguage language) {
    switch (kind) {
    case TarnProcessError::Kind::binaryNotFound:
        return tarnText("Required executable '" + name + "' was not found.",
                        "Gerekli '" + name + "' aracı bulunamadı.", language);
    case TarnProcessError::Kind::nonZeroExit: {
        const std::string_view trimmed = text::trimmingWhitespaceAndNewlines(standardError);
        if (!trimmed.empty())
            return std::string(trimmed);
        std::array<char, 16> digits{};
        const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), exitCode);
        return "Process exited with code " + std::string(digits.data(), result.ptr) + ".";
    }
    case TarnProcessError::Kind::cancelled:
        return tarnText("Operation cancelled.", "İşlem iptal edildi.", language);
    }
    return {};
}

} // namespace

TarnProcessError::TarnProcessError(Kind kind, std::string name, std::int32_t exitCode,
                                   std::string standardError)
    : PlatformError("TarnKit.TarnProcessError", static_cast<long>(kind),
                    describe(kind, name, exitCode, standardError, language::current())),
      m_kind(kind), m_name(std::move(name)), m_exitCode(exitCode),
      m_standardError(std::move(standardError)) {}

TarnProcessError TarnProcessError::binaryNotFound(std::string name) {
    return TarnProcessError(Kind::binaryNotFound, std::move(name), 0, {});
}

TarnProcessError TarnProcessError::nonZeroExit(std::int32_t code, std::string standardError) {
    return TarnProcessError(Kind::nonZeroExit, {}, code, std::move(standardError));
}

TarnProcessError TarnProcessError::cancelled() {
    return TarnProcessError(Kind::cancelled, {}, 0, {});
}

std::string TarnProcessError::errorDescription(TarnLanguage language) const {
    return describe(m_kind, m_name, m_exitCode, m_standardError, language);
}

std::string TarnProcessError::errorDescription() const {
    return errorDescription(language::current());
}

} // namespace tarn
