#include "LocalizationTestSupport.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/Platform/UserDefaults.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace {

using tarn::TarnLanguage;
using tarn::TarnLanguagePreference;
using tarn::TarnLanguageSelection;
namespace fs = std::filesystem;

class LanguagePreferenceTest : public ::testing::Test {
protected:
    LanguagePreferenceTest()
        : defaults(folder.path() / "defaults"), store({}, [this] { return standardFolders(); }),
          preference(defaults, notifications, store, [this] { return systemLanguages; }) {
        token = notifications.addObserver(TarnLanguagePreference::languageDidChangeName(),
                                          [this](const tarn::Notification& note) {
                                              announced.push_back(
                                                  std::any_cast<TarnLanguage>(note.object));
                                          });
    }
    ~LanguagePreferenceTest() override { notifications.removeObserver(token); }

    tarn::TarnLocalizationStore::StandardFolders standardFolders() const {
        return {folder.path() / "custom", std::nullopt, folder.path() / "shared", std::nullopt};
    }
    void storeValue(std::optional<std::string> value) {
        if (value)
            defaults.setString(TarnLanguagePreference::defaultsKey(), *value);
        else
            defaults.removeObject(TarnLanguagePreference::defaultsKey());
    }
    std::optional<std::string> stored() const {
        // A fresh reader sees what reached the disk.
        return tarn::UserDefaults(folder.path() / "defaults")
            .string(TarnLanguagePreference::defaultsKey());
    }

    tarn::testing::TemporaryFolder folder;
    tarn::UserDefaults defaults;
    tarn::NotificationCenter notifications;
    tarn::TarnLocalizationStore store;
    std::vector<std::string> systemLanguages;
    TarnLanguagePreference preference;
    tarn::NotificationCenter::ObserverToken token{};
    std::vector<TarnLanguage> announced;
};

TEST_F(LanguagePreferenceTest, CurrentFollowsTheStoredValueElseTheSystem) {
    struct Case {
        std::optional<std::string> stored;
        std::vector<std::string> system;
        TarnLanguage current;
        std::string storedCode;
        bool followsSystem;
    };
    const std::vector<Case> cases = {
        {std::nullopt, {"xx-YY", "fr-CA"}, TarnLanguage::fr, "system", true},
        {std::nullopt, {"xx"}, TarnLanguage::en, "system", true},
        {std::nullopt, {}, TarnLanguage::en, "system", true},
        {"", {"ja"}, TarnLanguage::ja, "system", true},
        {" \n\t", {"ja"}, TarnLanguage::ja, "system", true},
        {"system", {"de-DE"}, TarnLanguage::de, "system", true},
        {"  SYSTEM\n", {"de-DE"}, TarnLanguage::de, "SYSTEM", true},
        {"de", {"fr"}, TarnLanguage::de, "de", false},
        {" pt_PT ", {"fr"}, TarnLanguage::ptPT, "pt_PT", false},
        {"de-CH", {"fr"}, TarnLanguage::de, "de-CH", false},
        {"klingon", {"fr"}, TarnLanguage::fr, "klingon", false},
    };
    for (const Case& c : cases) {
        storeValue(c.stored);
        systemLanguages = c.system;
        const std::string label = c.stored ? "\"" + *c.stored + "\"" : "absent";
        EXPECT_EQ(preference.current(), c.current) << label;
        EXPECT_EQ(preference.storedPreferenceCode(), c.storedCode) << label;
        EXPECT_EQ(preference.isFollowingSystem(), c.followsSystem) << label;
        EXPECT_EQ(TarnLanguageSelection::current(preference),
                  c.followsSystem ? TarnLanguageSelection::system()
                                  : TarnLanguageSelection::explicit_(c.current))
            << label;
    }
}

TEST_F(LanguagePreferenceTest, AWrongTypedStoredValueCountsAsFollowingTheSystem) {
    defaults.setObject(TarnLanguagePreference::defaultsKey(), 7);
    systemLanguages = {"it"};
    EXPECT_TRUE(preference.isFollowingSystem());
    EXPECT_EQ(preference.current(), TarnLanguage::it);
}

TEST_F(LanguagePreferenceTest, SetCurrentStoresPreloadsAndAnnounces) {
    tarn::testing::writeFile(folder.path() / "shared" / "de.json", R"({"Save":"Speichern"})");
    preference.setCurrent(TarnLanguage::de);
    EXPECT_EQ(stored(), "de");
    EXPECT_EQ(announced, std::vector<TarnLanguage>{TarnLanguage::de});
    // Preloaded: the pack is no longer needed on disk.
    fs::remove(folder.path() / "shared" / "de.json");
    EXPECT_EQ(store.resolve(std::nullopt, "Save", "Kaydet", TarnLanguage::de), "Speichern");
    EXPECT_EQ(preference.current(), TarnLanguage::de);
}

TEST_F(LanguagePreferenceTest, SetFollowSystemStoresSystemAndAnnouncesTheSystemLanguage) {
    storeValue("de");
    systemLanguages = {"xx", "nb-NO"};
    preference.setFollowSystem();
    EXPECT_EQ(stored(), "system");
    EXPECT_EQ(announced, std::vector<TarnLanguage>{TarnLanguage::nb});
    EXPECT_EQ(preference.current(), TarnLanguage::nb);
    EXPECT_EQ(TarnLanguageSelection::system().resolvedLanguage(preference), TarnLanguage::nb);
    EXPECT_EQ(TarnLanguageSelection::explicit_(TarnLanguage::ko).resolvedLanguage(preference),
              TarnLanguage::ko);
}

TEST_F(LanguagePreferenceTest, ExplicitChoicesInsideApplyFollowSystemAreAnnouncedNotStored) {
    storeValue("fr");
    systemLanguages = {"sv"};
    preference.applyFollowSystem([&] {
        preference.setCurrent(TarnLanguage::de);
        EXPECT_EQ(stored(), "system");
    });
    EXPECT_EQ(stored(), "system");
    EXPECT_EQ(announced, (std::vector<TarnLanguage>{TarnLanguage::sv, TarnLanguage::de}));
    EXPECT_EQ(preference.current(), TarnLanguage::sv);

    // The guard is gone afterwards.
    preference.setCurrent(TarnLanguage::it);
    EXPECT_EQ(stored(), "it");
}

TEST_F(LanguagePreferenceTest, TheGuardIsLiftedWhenTheBodyThrowsAndNests) {
    systemLanguages = {"sv"};
    EXPECT_THROW(preference.applyFollowSystem([&] {
        preference.applyFollowSystem([&] { preference.setCurrent(TarnLanguage::de); });
        // Still inside the outer body: suppressed.
        preference.setCurrent(TarnLanguage::fr);
        throw std::runtime_error("picker failed");
    }),
                 std::runtime_error);
    EXPECT_EQ(stored(), "system");
    preference.setCurrent(TarnLanguage::ja);
    EXPECT_EQ(stored(), "ja");
}

} // namespace
