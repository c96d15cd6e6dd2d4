#include "TarnKit/Localization/TarnLanguagePreference.h"

#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/Platform/PreferredLanguages.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Platform/UserDefaults.h"

namespace tarn {

TarnLanguagePreference::TarnLanguagePreference(UserDefaults& defaults,
                                               NotificationCenter& notifications,
                                               TarnLocalizationStore& store,
                                               SystemLanguages systemLanguages)
    : m_defaults(defaults), m_notifications(notifications), m_store(store),
      m_systemLanguages(std::move(systemLanguages)) {}

TarnLanguagePreference& TarnLanguagePreference::standard() {
    static auto* preference = new TarnLanguagePreference(
        UserDefaults::standard(), NotificationCenter::defaultCenter(),
        TarnLocalizationStore::shared(), [] { return preferredLanguages(); });
    return *preference;
}

std::string TarnLanguagePreference::defaultsKey() {
    return std::string(buildinfo::suitePrefix) + ".preferredLanguage";
}

std::string TarnLanguagePreference::languageDidChangeName() {
    return std::string(buildinfo::suitePrefix) + ".languageDidChange";
}

std::string TarnLanguagePreference::storedPreferenceCode() const {
    const std::optional<std::string> stored = m_defaults.string(defaultsKey());
    const std::string_view trimmed =
        stored ? text::trimmingWhitespaceAndNewlines(*stored) : std::string_view();
    return trimmed.empty() ? std::string(systemPreferenceCode) : std::string(trimmed);
}

bool TarnLanguagePreference::isFollowingSystem() const {
    return text::caseFolded(storedPreferenceCode()) == systemPreferenceCode;
}

TarnLanguage TarnLanguagePreference::current() const {
    const std::string stored = storedPreferenceCode();
    if (text::caseFolded(stored) != systemPreferenceCode) {
        if (const std::optional<TarnLanguage> language = language::match(stored))
            return *language;
    }
    return systemResolved();
}

TarnLanguage TarnLanguagePreference::systemResolved() const {
    return language::resolve(m_systemLanguages());
}

TarnLanguage TarnLanguagePreference::decode(std::string_view storedText) const {
    return language::decode(storedText, m_systemLanguages());
}

void TarnLanguagePreference::announce(TarnLanguage language) {
    m_store.preloadIfNeeded(language);
    m_notifications.post(languageDidChangeName(), language);
}

void TarnLanguagePreference::setCurrent(TarnLanguage language) {
    long depth = 0;
    {
        const std::lock_guard lock(m_guardLock);
        depth = m_suppressDepth;
    }
    if (depth < 1)
        m_defaults.setString(defaultsKey(), rawValue(language));
    announce(language);
}

void TarnLanguagePreference::setFollowSystem() {
    m_defaults.setString(defaultsKey(), systemPreferenceCode);
    announce(systemResolved());
}

void TarnLanguagePreference::applyFollowSystem(const std::function<void()>& body) {
    setFollowSystem();
    {
        const std::lock_guard lock(m_guardLock);
        ++m_suppressDepth;
    }
    // Lifts the guard however `body` ends; an explicit choice made later must
    // be stored again.
    struct Lift {
        TarnLanguagePreference& preference;
        ~Lift() {
            const std::lock_guard lock(preference.m_guardLock);
            if (preference.m_suppressDepth > 0)
                --preference.m_suppressDepth;
        }
    } lift{*this};
    body();
}

TarnLanguageSelection TarnLanguageSelection::current(const TarnLanguagePreference& preference) {
    if (preference.isFollowingSystem())
        return system();
    return explicit_(preference.current());
}

TarnLanguage
TarnLanguageSelection::resolvedLanguage(const TarnLanguagePreference& preference) const {
    return language ? *language : preference.systemResolved();
}

namespace language {

std::string storedPreferenceCode() {
    return TarnLanguagePreference::standard().storedPreferenceCode();
}
bool isFollowingSystem() {
    return TarnLanguagePreference::standard().isFollowingSystem();
}
TarnLanguage current() {
    return TarnLanguagePreference::standard().current();
}
TarnLanguage systemResolved() {
    return TarnLanguagePreference::standard().systemResolved();
}
void setCurrent(TarnLanguage language) {
    TarnLanguagePreference::standard().setCurrent(language);
}
void setFollowSystem() {
    TarnLanguagePreference::standard().setFollowSystem();
}
void applyFollowSystem(const std::function<void()>& body) {
    TarnLanguagePreference::standard().applyFollowSystem(body);
}

} // namespace language
} // namespace tarn

std::size_t std::hash<tarn::TarnLanguageSelection>::operator()(
    const tarn::TarnLanguageSelection& selection) const noexcept {
    std::size_t seed = std::hash<int>{}(selection.language ? 1 : 0);
    if (selection.language) {
        const std::size_t code = std::hash<std::string_view>{}(rawValue(*selection.language));
        seed ^= code + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    return seed;
}
