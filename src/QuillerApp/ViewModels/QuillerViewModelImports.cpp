// Imports, exports and the clipboard: cURL commands, OpenAPI and Postman
// documents, .env variables, and the inspector's snippet and JSON-path values.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "QuillerCore/Engine/DotEnvCodec.h"
#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "QuillerCore/Engine/SpecImporterEngine.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

namespace quiller {

namespace {

constexpr std::string_view dotEnvCategory = "dotenv";

// A .env file is a few lines of text; anything bigger is not one and would
// only stall the main thread.
constexpr std::uintmax_t maxDotEnvFileSize = 8u * 1024u * 1024u;

// Secret values live in the system keyring on this system.
constexpr std::string_view keyringLogName = "the system keyring";
constexpr std::string_view keyringSecretsEN = " system keyring secrets).";
constexpr std::string_view keyringSecretsTR = " sistem anahtarlığı gizli anahtarı).";

// Lower-cased ASCII letters and digits, every other run as one "-".
std::string exportFileName(const std::string& environmentName, bool maskSecrets) {
    const std::string lower = tarn::text::lowercased(environmentName);
    std::string slug;
    bool pendingDash = false;
    for (const char c : lower) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!keep) {
            pendingDash = true;
            continue;
        }
        if (pendingDash && !slug.empty())
            slug += '-';
        pendingDash = false;
        slug += c;
    }
    if (slug.empty())
        slug = "quiller";
    return slug + (maskSecrets ? ".env.example" : ".env");
}

// A failure to read a .env file, with a description the user can read.
tarn::PlatformError dotEnvFileError(const std::string& description) {
    return tarn::PlatformError("Quiller", 1103, description);
}

// The whole file as UTF-8 text; throws with a description the user can read.
std::string readDotEnvFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (error)
        throw dotEnvFileError(error.message());
    if (!std::filesystem::is_regular_file(status))
        throw dotEnvFileError("\"" + file.filename().string() + "\" is not a regular file.");
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        throw dotEnvFileError(error.message());
    if (size > maxDotEnvFileSize)
        throw dotEnvFileError("\"" + file.filename().string() +
                              "\" is larger than 8 MiB and is not a .env file.");
    auto contents = tarn::files::readFile(file);
    if (!contents)
        throw dotEnvFileError("\"" + file.filename().string() + "\" does not exist.");
    if (contents->size() > maxDotEnvFileSize)
        throw dotEnvFileError("\"" + file.filename().string() +
                              "\" is larger than 8 MiB and is not a .env file.");
    if (!tarn::text::isValidUTF8(*contents))
        throw dotEnvFileError("\"" + file.filename().string() + "\" is not UTF-8 text.");
    return std::move(*contents);
}

} // namespace

void QuillerViewModel::importCurl(const std::string& commandText) {
    auto parsed = CurlCodecEngine::parseCurl(commandText);
    if (!parsed) {
        showToast(text("Could not parse cURL command.", "cURL komutu ayrıştırılamadı."), true);
        return;
    }
    const auto target = selectedCollectionIndex();
    if (!target)
        return;
    const auto newID = parsed->id;
    insertRow(m_collections[*target].requests, Field::collections, 0, std::move(*parsed),
              m_collections[*target].id);
    setSelectedRequestID(newID);
    persist();
    showToast(text("Imported cURL into " + m_collections[*target].name + ".",
                   "cURL isteği içe aktarıldı."),
              false);
}

void QuillerViewModel::importOpenAPIOrPostman(const std::string& documentText) {
    std::optional<APIRequestCollection> imported =
        SpecImporterEngine::importCollection(documentText);
    if (!imported) {
        showToast(text("Could not recognize OpenAPI 3.0 or Postman v2.1 JSON.",
                       "Geçerli OpenAPI 3.0 veya Postman v2.1 JSON bulunamadı."),
                  true);
        return;
    }
    const std::string name = imported->name;
    const std::string count =
        tarn::numbers::formatInteger(static_cast<long long>(imported->requests.size()));
    setSelectedCollectionID(imported->id);
    setSelectedRequestID(imported->requests.empty()
                             ? std::nullopt
                             : std::optional<tarn::UUID>(imported->requests.front().id));
    insertRow(m_collections, Field::collections, 0, std::move(*imported));
    persist();
    showToast(text("Imported '" + name + "' (" + count + " endpoints).",
                   "'" + name + "' (" + count + " uç nokta) içe aktarıldı."),
              false);
}

QuillerViewModel::DotEnvImportCount QuillerViewModel::importDotEnv(const std::string& dotEnvText,
                                                                   const std::string& sourceLabel) {
    if (m_environments.empty())
        return {};
    // The active environment, else the first.
    const std::size_t target = activeEnvironmentIndex().value_or(0);
    const auto entries = DotEnvCodec::parse(dotEnvText);
    if (entries.empty()) {
        showToast(text("No valid KEY=VALUE variables found in .env input.",
                       ".env içeriğinde geçerli değişken bulunamadı."),
                  true);
        return {};
    }
    DotEnvImportCount count;
    const tarn::UUID environmentID = m_environments[target].id;
    auto& rows = m_environments[target].variables;
    for (const auto& entry : entries) {
        ++count.imported;
        if (entry.isLikelySecret)
            ++count.secrets;
        auto row = std::find_if(rows.begin(), rows.end(),
                                [&](const KeyValueRow& r) { return r.key == entry.key; });
        if (row != rows.end()) {
            row->value = entry.value;
            row->isEnabled = true;
            row->isSecret = row->isSecret || entry.isLikelySecret;
            announceUpdate(Field::environments, static_cast<std::size_t>(row - rows.begin()),
                           row->id, environmentID);
        } else {
            insertRow(rows, Field::environments, rows.size(),
                      KeyValueRow{.key = entry.key,
                                  .value = entry.value,
                                  .isEnabled = true,
                                  .isSecret = entry.isLikelySecret},
                      environmentID);
        }
    }
    persist();
    const std::string n = std::to_string(count.imported);
    const std::string s = std::to_string(count.secrets);
    m_logger.info("Imported " + n + " .env variables from " + sourceLabel + " into '" +
                      m_environments[target].name + "' (" + s + " routed to " +
                      std::string(keyringLogName) + ")",
                  dotEnvCategory);
    showToast(text("Imported " + n + " variables (" + s + std::string(keyringSecretsEN),
                   n + " değişken aktarıldı (" + s + std::string(keyringSecretsTR)),
              false);
    return count;
}

void QuillerViewModel::importDotEnvFromFile() {
    FilePanelsPort::OpenOptions options;
    options.title = text("Import .env File", ".env Dosyası İçe Aktar");
    options.showsHiddenFiles = true;
    m_ports.filePanels->chooseFileToOpen(options, [this, alive = std::weak_ptr<void>(m_alive)](
                                                      std::optional<std::filesystem::path> file) {
        if (!file || !alive.lock())
            return;
        std::string contents;
        try {
            contents = readDotEnvFile(*file);
        } catch (const std::exception& error) {
            m_logger.error(std::string("Failed reading .env file: ") + error.what(),
                           dotEnvCategory);
            showToast(failureDescription(error), true);
            return;
        }
        importDotEnv(contents, "file:" + file->filename().string());
    });
}

void QuillerViewModel::importDotEnvFromClipboard() {
    const auto contents = m_ports.clipboard->text();
    if (contents && !tarn::text::trimmingWhitespaceAndNewlines(*contents).empty()) {
        importDotEnv(*contents, "clipboard");
        return;
    }
    showToast(text("Clipboard is empty.", "Pano boş."), true);
}

void QuillerViewModel::exportDotEnvToClipboard(bool maskSecrets) {
    const auto environment = activeEnvironment();
    if (!environment)
        return;
    const std::string rendered = DotEnvCodec::export_(environment->variables, maskSecrets);
    if (rendered.empty()) {
        showToast(text("No enabled environment variables to export.",
                       "Dışa aktarılacak aktif değişken yok."),
                  true);
        return;
    }
    m_ports.clipboard->setText(rendered);
    m_logger.info("Exported " + std::to_string(environment->variables.size()) +
                      " .env variables from '" + environment->name + "' to clipboard (" +
                      (maskSecrets ? "masked" : "unmasked") + ")",
                  dotEnvCategory);
    if (maskSecrets)
        showToast(
            text("Copied masked .env (Git-safe).", "Maskeli .env panoya kopyalandı (Git güvenli)."),
            false);
    else
        showToast(text("Copied full .env to clipboard.", "Tam .env panoya kopyalandı."), false);
}

void QuillerViewModel::exportDotEnvToFile(bool maskSecrets) {
    const auto environment = activeEnvironment();
    if (!environment)
        return;
    std::string rendered = DotEnvCodec::export_(environment->variables, maskSecrets);
    if (rendered.empty()) {
        showToast(text("No enabled environment variables to export.",
                       "Dışa aktarılacak aktif değişken yok."),
                  true);
        return;
    }
    FilePanelsPort::SaveOptions options;
    options.title = text("Export .env File", ".env Dosyasını Dışa Aktar");
    options.proposedFileName = exportFileName(environment->name, maskSecrets);
    options.showsHiddenFiles = true;
    const std::string environmentName = environment->name;
    const std::size_t variableCount = environment->variables.size();
    m_ports.filePanels->chooseFileToSave(
        options,
        [this, alive = std::weak_ptr<void>(m_alive), rendered = std::move(rendered),
         environmentName, variableCount, maskSecrets](std::optional<std::filesystem::path> file) {
            if (!file || !alive.lock())
                return;
            try {
                // Unmasked exports carry secrets: owner-only like every file we write.
                tarn::files::writeAtomically(*file, rendered + "\n", 0600);
            } catch (const std::exception& error) {
                m_logger.error(std::string("Failed exporting .env file: ") + error.what(),
                               dotEnvCategory);
                showToast(failureDescription(error), true);
                return;
            }
            const std::string fileName = file->filename().string();
            m_logger.info("Exported " + std::to_string(variableCount) + " .env variables from '" +
                              environmentName + "' to file '" + fileName + "' (" +
                              (maskSecrets ? "masked" : "unmasked") + ")",
                          dotEnvCategory);
            showToast(text("Saved " + fileName + ".", fileName + " kaydedildi."), false);
        });
}

void QuillerViewModel::copyText(const std::string& copied, const std::string& label) {
    m_ports.clipboard->setText(copied);
    showToast(text("Copied " + label + ".", label + " kopyalandı."), false);
}

std::string QuillerViewModel::generatedCodeSnippet() const {
    const auto request = activeRequest();
    if (!request)
        return {};
    return CurlCodecEngine::generateSnippet(*request, m_snippetLanguage, activeVariables());
}

std::optional<std::string> QuillerViewModel::jsonPathResult() const {
    if (!m_jsonPathResult) {
        if (!m_latestResponse || tarn::text::trimmingWhitespace(m_jsonPathQuery).empty())
            m_jsonPathResult.emplace(std::nullopt);
        else
            m_jsonPathResult.emplace(JSONInspectorEngine::extractJSONPath(
                m_jsonPathQuery, m_latestResponse->bodyData.str()));
    }
    return *m_jsonPathResult;
}

const std::vector<DiffLineItem>& QuillerViewModel::responseDiff() const {
    if (!m_responseDiff) {
        if (m_previousResponse && m_latestResponse)
            m_responseDiff.emplace(JSONInspectorEngine::diffLines(
                m_previousResponse->prettyBodyText, m_latestResponse->prettyBodyText));
        else
            m_responseDiff.emplace();
    }
    return *m_responseDiff;
}

void QuillerViewModel::openURL(const std::string& url) {
    if (!m_ports.urlOpener->open(url))
        showToast(text("Could not open " + url + ".", url + " açılamadı."), true);
}

} // namespace quiller
