#include "TarnKit/Localization/TarnLocalizationStore.h"

#include "TarnKit/Localization/TarnLocalizationPack.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/LZFSE.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Utilities/TarnBundle.h"

#include <algorithm>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <utility>

namespace tarn {
namespace {

namespace fs = std::filesystem;

bool hasLZFSEExtension(const fs::path& file) {
    return text::lowercased(file.extension().string()) == ".lzfse";
}

// The file's JSON text, decompressed when needed; nullopt when it is missing,
// unreadable or damaged, which for a catalogue all mean "no pack here".
std::optional<std::string> readPackText(const fs::path& file,
                                        const TarnLocalizationStore::Decompressor& decompress) {
    std::optional<std::string> bytes;
    try {
        bytes = files::readFile(file);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!bytes || !hasLZFSEExtension(file))
        return bytes;
    return decompress(*bytes, TarnLocalizationStore::maxDecompressedPackBytes);
}

void mergeNonEmpty(const std::map<std::string, std::string>& from,
                   detail::LoadedLanguageCatalog::StringMap& into) {
    for (const auto& [key, value] : from) {
        if (!value.empty())
            into.insert_or_assign(key, value);
    }
}

// Merges the first usable pack of `directory` for `code` into the maps;
// false when the directory has none.
bool mergePack(const fs::path& directory, std::string_view code,
               const TarnLocalizationStore::Decompressor& decompress,
               detail::LoadedLanguageCatalog::StringMap& strings,
               detail::LoadedLanguageCatalog::StringMap& templates) {
    for (const char* extension : {".json.lzfse", ".json"}) {
        const std::optional<std::string> text =
            readPackText(directory / (std::string(code) + extension), decompress);
        if (!text)
            continue;
        const std::optional<nlohmann::json> document = json::parse(*text);
        if (!document)
            continue;
        if (const auto pack = detail::decodePack(*document);
            pack && (!pack->strings.empty() || !pack->templates.empty())) {
            mergeNonEmpty(pack->strings, strings);
            mergeNonEmpty(pack->templates, templates);
            return true;
        }
        if (const auto flat = detail::decodeFlatMap(*document)) {
            mergeNonEmpty(*flat, strings);
            return true;
        }
    }
    return false;
}

} // namespace

TarnLocalizationStore& TarnLocalizationStore::shared() {
    // Never destroyed: detached threads may still look texts up at exit.
    static auto* store = new TarnLocalizationStore();
    return *store;
}

TarnLocalizationStore::TarnLocalizationStore(std::vector<fs::path> searchDirectories)
    : TarnLocalizationStore(std::move(searchDirectories), &TarnLocalizationStore::standardFolders) {
}

TarnLocalizationStore::TarnLocalizationStore(std::vector<fs::path> searchDirectories,
                                             StandardFoldersProvider standardFolders,
                                             Decompressor decompressor)
    : m_standardFolders(std::move(standardFolders)),
      m_decompressor(decompressor ? std::move(decompressor) : Decompressor(&lzfse::decompress)),
      m_extraSearchDirectories(std::move(searchDirectories)) {}

TarnLocalizationStore::~TarnLocalizationStore() = default;

fs::path TarnLocalizationStore::sharedSuiteLocalizationsDirectory() {
    return files::applicationSupportDirectory() / "Corvane" / "Localizations";
}

fs::path TarnLocalizationStore::customLanguagePacksDirectory() {
    return sharedSuiteLocalizationsDirectory() / "Custom";
}

std::optional<fs::path> TarnLocalizationStore::bundleLocalizationsDirectory() {
    const fs::path& resources = TarnBundle::main().resourceDirectory;
    if (resources.empty())
        return std::nullopt;
    return resources / "Localizations";
}

std::optional<fs::path> TarnLocalizationStore::developmentLocalizationsDirectory() {
    // This file is <root>/src/TarnKit/Localization/TarnLocalizationStore.cpp.
    const fs::path source(__FILE__);
    if (!source.is_absolute())
        return std::nullopt;
    return source.parent_path().parent_path().parent_path().parent_path() / "resources" /
           "Localizations";
}

TarnLocalizationStore::StandardFolders TarnLocalizationStore::standardFolders() {
    return StandardFolders{customLanguagePacksDirectory(), bundleLocalizationsDirectory(),
                           sharedSuiteLocalizationsDirectory(),
                           developmentLocalizationsDirectory()};
}

std::vector<fs::path>
TarnLocalizationStore::candidateDirectories(const std::vector<fs::path>& extraDirectories) const {
    std::vector<fs::path> directories = extraDirectories;
    StandardFolders standard = m_standardFolders();
    directories.push_back(std::move(standard.custom));
    if (standard.bundle)
        directories.push_back(std::move(*standard.bundle));
    directories.push_back(std::move(standard.sharedSuite));
    if (standard.development)
        directories.push_back(std::move(*standard.development));
    return directories;
}

std::vector<fs::path> TarnLocalizationStore::candidateDirectories() const {
    std::vector<fs::path> extra;
    {
        const std::lock_guard lock(m_lock);
        extra = m_extraSearchDirectories;
    }
    return candidateDirectories(extra);
}

TarnLocalizationStore::CatalogPointer
TarnLocalizationStore::loadCatalog(TarnLanguage language,
                                   const std::vector<fs::path>& extraDirectories) const {
    const std::string_view code = rawValue(language);
    const std::vector<fs::path> directories = candidateDirectories(extraDirectories);
    detail::LoadedLanguageCatalog::StringMap strings;
    detail::LoadedLanguageCatalog::StringMap templates;
    // Lowest precedence first, so a higher folder overrides entry by entry
    // while the entries it lacks still come from below.
    for (auto directory = directories.rbegin(); directory != directories.rend(); ++directory)
        mergePack(*directory, code, m_decompressor, strings, templates);
    if (strings.empty() && templates.empty())
        return detail::LoadedLanguageCatalog::empty();
    return std::make_shared<const detail::LoadedLanguageCatalog>(std::move(strings), templates);
}

TarnLocalizationStore::CatalogPointer TarnLocalizationStore::catalog(TarnLanguage language) const {
    const auto slot = static_cast<std::size_t>(language);
    std::vector<fs::path> extraDirectories;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(m_lock);
        if (m_loadedCatalogs[slot])
            return m_loadedCatalogs[slot];
        extraDirectories = m_extraSearchDirectories;
        generation = m_catalogGeneration;
    }
    CatalogPointer loaded = loadCatalog(language, extraDirectories);
    CatalogPointer replaced; // a twin loaded meanwhile, released after the lock
    {
        const std::lock_guard lock(m_lock);
        if (generation == m_catalogGeneration)
            replaced = std::exchange(m_loadedCatalogs[slot], loaded);
    }
    return loaded;
}

std::string TarnLocalizationStore::resolve(std::optional<std::string_view> key, std::string_view en,
                                           std::string_view tr, TarnLanguage language) const {
    {
        const std::lock_guard lock(m_lock);
        if (!m_customOverrides.empty()) {
            if (key) {
                const auto found = m_customOverrides.find(*key);
                if (found != m_customOverrides.end() && !found->second.empty())
                    return found->second;
            }
            const auto found = m_customOverrides.find(en);
            if (found != m_customOverrides.end() && !found->second.empty())
                return found->second;
        }
    }
    if (language == TarnLanguage::en)
        return std::string(en);
    if (language == TarnLanguage::tr)
        return std::string(tr.empty() ? en : tr);
    if (std::optional<std::string> text = catalog(language)->lookup(key, en))
        return std::move(*text);
    if (const std::optional<TarnLanguage> parent = fallbackParent(language)) {
        if (std::optional<std::string> text = catalog(*parent)->lookup(key, en))
            return std::move(*text);
    }
    return std::string(en);
}

void TarnLocalizationStore::preloadIfNeeded(TarnLanguage language) const {
    if (language != TarnLanguage::en && language != TarnLanguage::tr)
        catalog(language);
}

void TarnLocalizationStore::registerSearchDirectory(const fs::path& directory) {
    decltype(m_loadedCatalogs) forgotten; // released after the lock
    const std::lock_guard lock(m_lock);
    if (std::find(m_extraSearchDirectories.begin(), m_extraSearchDirectories.end(), directory) ==
        m_extraSearchDirectories.end())
        m_extraSearchDirectories.insert(m_extraSearchDirectories.begin(), directory);
    forgotten.swap(m_loadedCatalogs);
    ++m_catalogGeneration;
}

void TarnLocalizationStore::loadJSONPack(const fs::path& file) {
    std::optional<std::string> text = files::readFile(file);
    if (!text)
        throw PlatformError(kPOSIXErrorDomain, ENOENT,
                            "Could not read \"" + file.string() + "\": No such file or directory");
    if (hasLZFSEExtension(file)) {
        text = m_decompressor(*text, maxDecompressedPackBytes);
        if (!text)
            throw PlatformError("Quiller", 1,
                                "Could not decompress the language pack \"" + file.string() + "\"");
    }
    const std::optional<nlohmann::json> document = json::parse(*text);
    if (!document)
        throw json::DecodingError(json::DecodingError::Kind::dataCorrupted,
                                  "the language pack \"" + file.string() + "\" is not JSON");
    std::optional<std::map<std::string, std::string>> entries = detail::decodeFlatMap(*document);
    if (!entries)
        entries = document->get<TarnLocalizationPack>().strings; // throws when not a pack either

    detail::StringHashMap<std::string> overrides;
    overrides.reserve(entries->size());
    for (auto& [source, translation] : *entries)
        overrides.emplace(source, std::move(translation));
    {
        const std::lock_guard lock(m_lock);
        m_customOverrides.swap(overrides);
    }
    // The previous overrides are destroyed here, outside the lock.
}

void TarnLocalizationStore::clearCustomPack() {
    detail::StringHashMap<std::string> previous; // released after the lock
    const std::lock_guard lock(m_lock);
    m_customOverrides.swap(previous);
}

void TarnLocalizationStore::reloadCatalogs() {
    decltype(m_loadedCatalogs) forgotten; // released after the lock
    const std::lock_guard lock(m_lock);
    forgotten.swap(m_loadedCatalogs);
    ++m_catalogGeneration;
}

} // namespace tarn
