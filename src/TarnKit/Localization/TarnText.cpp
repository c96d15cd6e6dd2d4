#include "TarnKit/Localization/TarnText.h"

#include "TarnKit/Localization/TarnLocalizationStore.h"

namespace tarn {

std::string tarnText(std::string_view en, std::string_view tr, TarnLanguage language) {
    return TarnLocalizationStore::shared().resolve(std::nullopt, en, tr, language);
}

std::string tarnText(std::string_view en, std::string_view tr, std::string_view key,
                     TarnLanguage language) {
    return TarnLocalizationStore::shared().resolve(key, en, tr, language);
}

} // namespace tarn
