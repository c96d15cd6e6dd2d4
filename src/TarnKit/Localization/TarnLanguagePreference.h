#pragma once

#include "TarnKit/Localization/TarnLanguage.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class NotificationCenter;
class TarnLocalizationStore;
class UserDefaults;

// The user's interface-language preference: an explicit language or "follow
// the system", kept in the user defaults under defaultsKey(). Nothing is
// cached, so a change made elsewhere in the suite shows at the next read.
//
// The readers may be called from any thread. The setters are meant for the
// main thread (the interface calls them); they read the chosen language's
// packs on the calling thread and post languageDidChangeName() synchronously
// on it, with the new TarnLanguage as the notification's object.
class TarnLanguagePreference {
public:
    using SystemLanguages = std::function<std::vector<std::string>()>;

    // The word stored for following the system.
    static constexpr std::string_view systemPreferenceCode = "system";

    TarnLanguagePreference(UserDefaults& defaults, NotificationCenter& notifications,
                           TarnLocalizationStore& store, SystemLanguages systemLanguages);
    TarnLanguagePreference(const TarnLanguagePreference&) = delete;
    TarnLanguagePreference& operator=(const TarnLanguagePreference&) = delete;

    // The standard defaults, default notification centre, shared localisation
    // store and the system's preferred languages; never destroyed.
    static TarnLanguagePreference& standard();

    // "<suite prefix>.preferredLanguage".
    static std::string defaultsKey();
    // "<suite prefix>.languageDidChange".
    static std::string languageDidChangeName();

    // The stored value trimmed of white space; "system" when absent or blank.
    std::string storedPreferenceCode() const;
    // Whether the stored value is "system", ignoring case.
    bool isFollowingSystem() const;
    // The stored language when there is one that matches, else systemResolved().
    TarnLanguage current() const;
    // The first of the system's preferred languages that matches; English when
    // none does.
    TarnLanguage systemResolved() const;
    // language::decode with this preference's system languages.
    [[nodiscard]] TarnLanguage decode(std::string_view storedText) const;

    // Stores the language (unless inside applyFollowSystem's body), preloads
    // its catalogue and announces it.
    void setCurrent(TarnLanguage language);
    // Stores "system", preloads the system language's catalogue and announces
    // that language.
    void setFollowSystem();
    // setFollowSystem(), then runs `body` while explicit choices are announced
    // but not stored, so that controls bound to the language can update
    // without undoing the choice. The guard is lifted also when `body` throws.
    void applyFollowSystem(const std::function<void()>& body);

private:
    void announce(TarnLanguage language);

    UserDefaults& m_defaults;
    NotificationCenter& m_notifications;
    TarnLocalizationStore& m_store;
    SystemLanguages m_systemLanguages;

    std::mutex m_guardLock;
    long m_suppressDepth = 0; // never below 0
};

// What the user chose: follow the system (no language) or a language.
struct TarnLanguageSelection {
    std::optional<TarnLanguage> language;

    static TarnLanguageSelection system() { return {}; }
    static TarnLanguageSelection explicit_(TarnLanguage chosen) { return {chosen}; }
    bool isSystem() const { return !language; }

    // System when the preference follows it, else the current language.
    static TarnLanguageSelection current(const TarnLanguagePreference& preference);
    static TarnLanguageSelection current() { return current(TarnLanguagePreference::standard()); }
    // The chosen language, or the system's resolved one.
    TarnLanguage resolvedLanguage(const TarnLanguagePreference& preference) const;
    TarnLanguage resolvedLanguage() const {
        return resolvedLanguage(TarnLanguagePreference::standard());
    }

    bool operator==(const TarnLanguageSelection&) const = default;
};

// The language API as the rest of the suite calls it, on the standard
// preference.
namespace language {

std::string storedPreferenceCode();
bool isFollowingSystem();
TarnLanguage current();
TarnLanguage systemResolved();
void setCurrent(TarnLanguage language);
void setFollowSystem();
void applyFollowSystem(const std::function<void()>& body);

} // namespace language
} // namespace tarn

template <> struct std::hash<tarn::TarnLanguageSelection> {
    std::size_t operator()(const tarn::TarnLanguageSelection& selection) const noexcept;
};
