#include "LocalizationTestSupport.h"
#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/PlatformError.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using tarn::TarnLanguage;
using tarn::TarnLocalizationStore;
using tarn::testing::writeFile;

// A stand-in codec: "LZ:" followed by the plain text. Enough to tell which file
// was read and what the store asked for.
struct FakeDecompressor {
    std::shared_ptr<std::vector<std::size_t>> limits = std::make_shared<std::vector<std::size_t>>();

    std::optional<std::string> operator()(std::string_view compressed, std::size_t limit) const {
        limits->push_back(limit);
        if (!compressed.starts_with("LZ:"))
            return std::nullopt;
        return std::string(compressed.substr(3));
    }
};

// Every folder the store searches, in a temporary tree.
class StoreTest : public ::testing::Test {
protected:
    fs::path dir(const char* name) const { return root.path() / name; }

    TarnLocalizationStore::StandardFolders standard() const {
        return {dir("custom"), dir("bundle"), dir("shared"), dir("development")};
    }
    std::unique_ptr<TarnLocalizationStore> makeStore(std::vector<fs::path> extra = {}) {
        return std::make_unique<TarnLocalizationStore>(
            std::move(extra), [this] { return standard(); }, decompressor);
    }
    std::string lookup(const TarnLocalizationStore& store, std::string_view en,
                       TarnLanguage language, std::optional<std::string_view> key = std::nullopt,
                       std::string_view tr = "Türkçe metin") const {
        return store.resolve(key, en, tr, language);
    }

    tarn::testing::TemporaryFolder root;
    FakeDecompressor decompressor;
};

TEST_F(StoreTest, HigherFoldersWinEntryByEntry) {
    // Each folder names itself under "Level" and adds one key of its own.
    const std::vector<const char*> lowestFirst = {"development", "shared", "bundle",
                                                  "custom",      "extra1", "extra2"};
    for (const char* name : lowestFirst) {
        writeFile(dir(name) / "de.json",
                  nlohmann::json{{"Level", name}, {std::string("Only ") + name, name}}.dump());
    }
    auto store = makeStore({dir("extra1")});
    store->registerSearchDirectory(dir("extra2"));
    EXPECT_EQ(store->candidateDirectories(),
              (std::vector<fs::path>{dir("extra2"), dir("extra1"), dir("custom"), dir("bundle"),
                                     dir("shared"), dir("development")}));
    EXPECT_EQ(lookup(*store, "Level", TarnLanguage::de), "extra2");
    for (const char* name : lowestFirst)
        EXPECT_EQ(lookup(*store, std::string("Only ") + name, TarnLanguage::de), name);

    // Registering a folder again does not move it; the cache is dropped anyway.
    writeFile(dir("extra1") / "de.json", R"js({"Level":"extra1 changed"})js");
    store->registerSearchDirectory(dir("extra1"));
    EXPECT_EQ(store->candidateDirectories().front(), dir("extra2"));
    fs::remove(dir("extra2") / "de.json");
    store->reloadCatalogs();
    EXPECT_EQ(lookup(*store, "Level", TarnLanguage::de), "extra1 changed");
}

TEST_F(StoreTest, CustomFolderBeatsTheBundleWhoseOtherKeysStillCount) {
    writeFile(dir("bundle") / "fr.json", R"js({"Save":"Enregistrer","Open":"Ouvrir"})js");
    writeFile(dir("custom") / "fr.json",
              R"js({"code":"fr","strings":{"Save":"Sauver"},"templates":{}})js");
    auto store = makeStore();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::fr), "Sauver");
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::fr), "Ouvrir");
}

TEST_F(StoreTest, ReadsTheCompressedPackFirstAndFallsBackToThePlainOne) {
    struct Case {
        const char* name;
        std::optional<std::string> compressed;
        std::string expected;
    };
    const std::string plain = R"js({"Save":"Salvar (json)"})js";
    const std::vector<Case> cases = {
        {"compressed pack wins", R"js(LZ:{"strings":{"Save":"Salvar (lzfse)"}})js",
         "Salvar (lzfse)"},
        {"compressed flat map wins", R"js(LZ:{"Save":"Salvar (lzfse)"})js", "Salvar (lzfse)"},
        {"damaged stream", "garbage", "Salvar (json)"},
        {"not JSON inside", "LZ:{", "Salvar (json)"},
        {"pack without entries", R"js(LZ:{"code":"pt-BR","isRTL":false})js", "Salvar (json)"},
        {"no compressed file", std::nullopt, "Salvar (json)"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir("shared"));
        writeFile(dir("shared") / "pt-BR.json", plain);
        if (c.compressed)
            writeFile(dir("shared") / "pt-BR.json.lzfse", *c.compressed);
        auto store = makeStore();
        EXPECT_EQ(lookup(*store, "Save", TarnLanguage::ptBR), c.expected) << c.name;
    }
    ASSERT_FALSE(decompressor.limits->empty());
    for (const std::size_t limit : *decompressor.limits)
        EXPECT_EQ(limit, 64u * 1024 * 1024);
}

TEST_F(StoreTest, WithoutADecoderCompressedPacksAreSkipped) {
    writeFile(dir("shared") / "de.json.lzfse", "bvx2 not really");
    writeFile(dir("shared") / "de.json", R"js({"Save":"Speichern"})js");
    TarnLocalizationStore store({}, [this] { return standard(); });
    EXPECT_EQ(lookup(store, "Save", TarnLanguage::de), "Speichern");
}

TEST_F(StoreTest, UnusableFilesFallThroughToEnglish) {
    fs::create_directories(dir("custom") / "de.json"); // a folder, not a file
    writeFile(dir("bundle") / "de.json", "{ not json");
    writeFile(dir("shared") / "de.json", R"js({"Save":"","Open":"Öffnen","Count":3})js");
    auto store = makeStore();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::de), "Save");
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::de), "Open");
    EXPECT_EQ(lookup(*store, "Close", TarnLanguage::ja), "Close");
}

TEST_F(StoreTest, EnglishAndTurkishComeFromTheLiterals) {
    writeFile(dir("shared") / "tr.json", R"js({"Save":"Kaydet (pack)"})js");
    writeFile(dir("shared") / "en.json", R"js({"Save":"Store (pack)"})js");
    auto store = makeStore();
    EXPECT_EQ(store->resolve(std::nullopt, "Save", "Kaydet", TarnLanguage::tr), "Kaydet");
    EXPECT_EQ(store->resolve(std::nullopt, "Save", "", TarnLanguage::tr), "Save");
    EXPECT_EQ(store->resolve(std::nullopt, "Save", "Kaydet", TarnLanguage::en), "Save");
}

TEST_F(StoreTest, RegionalVariantsFallBackToTheirParent) {
    writeFile(dir("shared") / "pt-BR.json", R"js({"Save":"Salvar","Open":"Abrir"})js");
    writeFile(dir("shared") / "pt-PT.json", R"js({"Save":"Guardar"})js");
    auto store = makeStore();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::ptPT), "Guardar");
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::ptPT), "Abrir");
    EXPECT_EQ(lookup(*store, "Close", TarnLanguage::ptPT), "Close");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::zhHant), "Save");

    fs::remove(dir("shared") / "pt-PT.json");
    store->reloadCatalogs();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::ptPT), "Salvar");
}

TEST_F(StoreTest, TemplatesTranslateFinishedTexts) {
    writeFile(dir("shared") / "de.json", R"js({
        "strings": {"Imported 1 requests": "Eine Anfrage importiert"},
        "templates": {"Imported {0} requests": "{0} Anfragen importiert",
                      "{0} of {1} done": "{0} von {1} erledigt"}})js");
    auto store = makeStore();
    EXPECT_EQ(lookup(*store, "Imported 12 requests", TarnLanguage::de), "12 Anfragen importiert");
    EXPECT_EQ(lookup(*store, "Imported 1 requests", TarnLanguage::de), "Eine Anfrage importiert");
    EXPECT_EQ(lookup(*store, "3 of 10 done", TarnLanguage::de), "3 von 10 erledigt");
    EXPECT_EQ(lookup(*store, "Saved 3 items", TarnLanguage::de), "Saved 3 items");
}

TEST_F(StoreTest, CataloguesAreKeptUntilReloaded) {
    writeFile(dir("shared") / "de.json", R"js({"Save":"Speichern"})js");
    auto store = makeStore();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::de), "Speichern");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::it), "Save"); // a miss is kept too

    writeFile(dir("shared") / "de.json", R"js({"Save":"Sichern"})js");
    writeFile(dir("shared") / "it.json", R"js({"Save":"Salva"})js");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::de), "Speichern");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::it), "Save");

    store->reloadCatalogs();
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::de), "Sichern");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::it), "Salva");
}

TEST_F(StoreTest, OverridesApplyToEveryLanguageUntilCleared) {
    writeFile(dir("shared") / "de.json", R"js({"Save":"Sichern","Open":"Öffnen"})js");
    writeFile(dir("packs") / "override.json",
              R"js({"Save":"Speichern","menu.quit":"Beenden","Blank":""})js");
    auto store = makeStore();
    store->loadJSONPack(dir("packs") / "override.json");
    for (const TarnLanguage language : {TarnLanguage::en, TarnLanguage::tr, TarnLanguage::de})
        EXPECT_EQ(store->resolve(std::nullopt, "Save", "Kaydet", language), "Speichern");
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::de), "Öffnen");
    EXPECT_EQ(lookup(*store, "Quit", TarnLanguage::en, "menu.quit"), "Beenden");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::en, "unknown.key"), "Speichern");
    EXPECT_EQ(lookup(*store, "Blank", TarnLanguage::en), "Blank");

    // A pack-shaped file gives its strings; its templates are not used.
    writeFile(dir("packs") / "pack.json", R"js({"code":"de","isRTL":false,
        "strings":{"Open":"Aufmachen"},"templates":{"Saved {0}":"{0} gesichert"}})js");
    store->loadJSONPack(dir("packs") / "pack.json");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::en), "Save"); // replaced as a whole
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::tr), "Aufmachen");
    EXPECT_EQ(lookup(*store, "Saved 3", TarnLanguage::en), "Saved 3");

    store->clearCustomPack();
    EXPECT_EQ(lookup(*store, "Open", TarnLanguage::de), "Öffnen");
}

TEST_F(StoreTest, AFailedOverrideLoadKeepsThePreviousOverrides) {
    writeFile(dir("packs") / "good.json", R"js({"Save":"Speichern"})js");
    writeFile(dir("packs") / "broken.json", R"js({"Save":)js");
    writeFile(dir("packs") / "wrong.json", R"js({"strings":{"Save":1}})js");
    writeFile(dir("packs") / "damaged.json.LZFSE", "garbage");
    writeFile(dir("packs") / "packed.json.lzfse", R"js(LZ:{"Save":"Gepackt"})js");
    auto store = makeStore();
    store->loadJSONPack(dir("packs") / "good.json");

    EXPECT_THROW(store->loadJSONPack(dir("packs") / "missing.json"), tarn::PlatformError);
    EXPECT_THROW(store->loadJSONPack(dir("packs") / "broken.json"), tarn::json::DecodingError);
    EXPECT_THROW(store->loadJSONPack(dir("packs") / "wrong.json"), tarn::json::DecodingError);
    EXPECT_THROW(store->loadJSONPack(dir("packs") / "damaged.json.LZFSE"), tarn::PlatformError);
    EXPECT_THROW(store->loadJSONPack(dir("packs")), tarn::PlatformError);
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::en), "Speichern");

    store->loadJSONPack(dir("packs") / "packed.json.lzfse");
    EXPECT_EQ(lookup(*store, "Save", TarnLanguage::en), "Gepackt");
}

TEST_F(StoreTest, ALoadStartedBeforeARegistrationDoesNotHideTheNewFolder) {
    // The first read of the standard folders blocks until the test lets it go,
    // so the registration happens while that load is under way.
    std::mutex mutex;
    std::condition_variable changed;
    bool loadStarted = false;
    bool released = false;
    std::atomic<int> calls{0};
    TarnLocalizationStore store(
        {},
        [&] {
            if (calls++ == 0) {
                std::unique_lock lock(mutex);
                loadStarted = true;
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
            }
            return standard();
        },
        decompressor);
    writeFile(dir("late") / "de.json", R"js({"Save":"Speichern"})js");

    std::string early;
    std::thread reader([&] { early = lookup(store, "Save", TarnLanguage::de); });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return loadStarted; });
    }
    store.registerSearchDirectory(dir("late"));
    {
        const std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    reader.join();

    EXPECT_EQ(early, "Save");
    EXPECT_EQ(lookup(store, "Save", TarnLanguage::de), "Speichern");
}

TEST(SharedStore, LookupsOnManyThreadsWhileAFolderIsRegistered) {
    tarn::testing::TemporaryFolder root;
    tarn::testing::EnvironmentScope environment;
    environment.set("XDG_DATA_HOME", (root.path() / "data").string());
    const fs::path folder = root.path() / "registered";
    const std::string english = "Imported 7 quiller-thread-test requests";
    writeFile(folder / "de.json", R"js({"templates":{
        "Imported {0} quiller-thread-test requests": "{0} Anfragen importiert"}})js");
    writeFile(folder / "pt-BR.json", R"js({"Save (quiller-thread-test)":"Salvar"})js");

    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    readers.reserve(8);
    for (int i = 0; i < 8; ++i) {
        readers.emplace_back([&, i] {
            while (!stop.load()) {
                const std::string german = tarn::tarnText(english, "tr", TarnLanguage::de);
                if (german != english && german != "7 Anfragen importiert")
                    ++unexpected;
                const std::string portuguese =
                    tarn::tarnText("Save (quiller-thread-test)", "Kaydet",
                                   i % 2 ? TarnLanguage::ptPT : TarnLanguage::ptBR);
                if (portuguese != "Save (quiller-thread-test)" && portuguese != "Salvar")
                    ++unexpected;
                if (tarn::tarnText("Save", "Kaydet", TarnLanguage::tr) != "Kaydet")
                    ++unexpected;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    TarnLocalizationStore::shared().registerSearchDirectory(folder);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    for (std::thread& reader : readers)
        reader.join();

    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(tarn::tarnText(english, "tr", TarnLanguage::de), "7 Anfragen importiert");
    EXPECT_EQ(tarn::tarnText("Save (quiller-thread-test)", "Kaydet", TarnLanguage::ptPT), "Salvar");
}

TEST(SharedStore, StandardFoldersFollowTheEnvironment) {
    tarn::testing::EnvironmentScope environment;
    environment.set("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(TarnLocalizationStore::sharedSuiteLocalizationsDirectory(),
              fs::path("/srv/data/Corvane/Localizations"));
    EXPECT_EQ(TarnLocalizationStore::customLanguagePacksDirectory(),
              fs::path("/srv/data/Corvane/Localizations/Custom"));
    // The test binary is not installed, so it has no data folder beside it.
    EXPECT_FALSE(TarnLocalizationStore::bundleLocalizationsDirectory().has_value());
}

} // namespace
