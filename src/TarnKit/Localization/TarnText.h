#pragma once

#include "TarnKit/Localization/TarnLanguage.h"

#include <string>
#include <string_view>

namespace tarn {

// The user-visible text for `language`, written in the code as its English and
// Turkish literals: a custom override first, then the literal for English and
// Turkish, the language packs for the others, and English as the last resort.
// Looks texts up by `key` before the English text when one is given. Never
// fails; safe from any thread. Uses TarnLocalizationStore::shared().
std::string tarnText(std::string_view en, std::string_view tr, TarnLanguage language);
std::string tarnText(std::string_view en, std::string_view tr, std::string_view key,
                     TarnLanguage language);

} // namespace tarn
