#pragma once

#include "TarnKit/Localization/LanguageCatalog.h"
#include "TarnKit/Localization/TarnLanguage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The process-wide holder of the custom override pack and of the language
// catalogues behind tarnText. Catalogues are read from language packs
// ("<code>.json.lzfse" or "<code>.json") on first use per language and kept;
// English and Turkish never need one, their texts are in the code.
//
// Every member may be called from any thread. The lock guards only the three
// members of state (overrides, loaded catalogues, extra folders) and is held for
// one map access at a time, never while a pack is read or a template matched;
// two threads that miss the same language at once both read it. Packs are never
// written and nothing is created on disk.
class TarnLocalizationStore {
public:
    // The folders below the extra search folders, given by the installation
    // and the user's home.
    struct StandardFolders {
        std::filesystem::path custom;                     // customLanguagePacksDirectory
        std::optional<std::filesystem::path> bundle;      // bundleLocalizationsDirectory
        std::filesystem::path sharedSuite;                // sharedSuiteLocalizationsDirectory
        std::optional<std::filesystem::path> development; // developmentLocalizationsDirectory
    };
    // Called (outside the lock) each time a catalogue is read from disk.
    using StandardFoldersProvider = std::function<StandardFolders()>;
    // Decompresses an LZFSE stream: nullopt for a damaged stream or one whose
    // output would pass maxOutputBytes.
    using Decompressor = std::function<std::optional<std::string>(std::string_view compressed,
                                                                  std::size_t maxOutputBytes)>;

    // No pack expands beyond this, however small its compressed form.
    static constexpr std::size_t maxDecompressedPackBytes = std::size_t{64} * 1024 * 1024;

    // The store behind tarnText, with no extra folders; never destroyed.
    static TarnLocalizationStore& shared();

    explicit TarnLocalizationStore(std::vector<std::filesystem::path> searchDirectories = {});
    // For tests: fixed standard folders and decompressor (nullptr: the default).
    TarnLocalizationStore(std::vector<std::filesystem::path> searchDirectories,
                          StandardFoldersProvider standardFolders,
                          Decompressor decompressor = nullptr);
    TarnLocalizationStore(const TarnLocalizationStore&) = delete;
    TarnLocalizationStore& operator=(const TarnLocalizationStore&) = delete;
    ~TarnLocalizationStore();

    // The text to show, in this order: the override for `key`, else for `en`;
    // `en` for English; `tr` (or `en` when `tr` is empty) for Turkish; the
    // language's catalogue; its fallback parent's catalogue; `en`. Empty
    // translations never count. Never fails.
    std::string resolve(std::optional<std::string_view> key, std::string_view en,
                        std::string_view tr, TarnLanguage language) const;
    std::string string(std::string_view key, std::string_view en, std::string_view tr,
                       TarnLanguage language) const {
        return resolve(key, en, tr, language);
    }

    // Reads the language's catalogue now unless it is loaded (nothing for
    // English and Turkish), so that the next screen does not wait for the disk.
    void preloadIfNeeded(TarnLanguage language) const;

    // Puts `directory` first among the extra folders (unless listed already)
    // and forgets every loaded catalogue.
    void registerSearchDirectory(const std::filesystem::path& directory);

    // Replaces the override pack as a whole with the file's translations: a
    // flat map, or else a pack's `strings` (its templates are not used). A file
    // whose extension is "lzfse" (any case) is decompressed first. Throws
    // PlatformError when the file cannot be read or decompressed and
    // json::DecodingError when it is neither shape; the overrides then stay.
    void loadJSONPack(const std::filesystem::path& file);
    void clearCustomPack();
    void reloadCatalogs();

    // Every folder searched for packs, highest precedence first: the extra
    // folders (latest registered first), Custom, the bundle's, the shared
    // suite folder, the development folder.
    std::vector<std::filesystem::path> candidateDirectories() const;

    // "<Application Support>/Corvane/Localizations"; computed on each call,
    // never created.
    static std::filesystem::path sharedSuiteLocalizationsDirectory();
    // sharedSuiteLocalizationsDirectory() + "Custom".
    static std::filesystem::path customLanguagePacksDirectory();
    // "<executable's folder>/../share/quiller/Localizations", where the
    // installation puts the packs it ships; nullopt when the executable's path
    // is unknown.
    static std::optional<std::filesystem::path> bundleLocalizationsDirectory();
    // "resources/Localizations" in the source tree this file was built from,
    // so a developer's packs are found without installing; nullopt when the
    // build recorded no absolute source path.
    static std::optional<std::filesystem::path> developmentLocalizationsDirectory();
    static StandardFolders standardFolders();

private:
    using CatalogPointer = std::shared_ptr<const detail::LoadedLanguageCatalog>;

    CatalogPointer catalog(TarnLanguage language) const;
    CatalogPointer loadCatalog(TarnLanguage language,
                               const std::vector<std::filesystem::path>& extraDirectories) const;
    std::vector<std::filesystem::path>
    candidateDirectories(const std::vector<std::filesystem::path>& extraDirectories) const;

    StandardFoldersProvider m_standardFolders;
    Decompressor m_decompressor;

    mutable std::mutex m_lock;
    detail::StringHashMap<std::string> m_customOverrides;
    mutable std::array<CatalogPointer, language::caseCount> m_loadedCatalogs;
    std::vector<std::filesystem::path> m_extraSearchDirectories;
    // Advanced whenever the loaded catalogues are forgotten, so that a load
    // that began before never stores its outdated result afterwards.
    std::uint64_t m_catalogGeneration = 0;
};

} // namespace tarn
