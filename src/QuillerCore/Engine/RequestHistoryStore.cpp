#include "QuillerCore/Engine/RequestHistoryStore.h"

#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

namespace quiller {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFileName = "history.json";
constexpr std::string_view kLogCategory = "history";

fs::path defaultFolder() {
    return tarn::files::applicationSupportDirectory() / "Corvane" / "Quiller";
}

// Unreadable covers both a file the system will not give us (no permission,
// a folder in its place) and one whose text is no history.
enum class ReadOutcome { absent, readable, unreadable };

// Reads and decodes the file; the entries go to `entries` when it is given.
ReadOutcome readEntries(const fs::path& file, std::vector<RequestHistoryEntry>* entries) {
    std::optional<std::string> text;
    try {
        text = tarn::files::readFile(file);
    } catch (const tarn::PlatformError&) {
        return ReadOutcome::unreadable;
    }
    if (!text)
        return ReadOutcome::absent;
    std::optional<std::vector<RequestHistoryEntry>> decoded = RequestHistoryStore::decode(*text);
    if (!decoded)
        return ReadOutcome::unreadable;
    if (entries != nullptr)
        *entries = std::move(*decoded);
    return ReadOutcome::readable;
}

// The code of the store's own save errors in the domain "Quiller".
constexpr long kSaveErrorCode = 1102;

// strerror follows LC_MESSAGES; the description must read the same everywhere.
std::string errorText(int code) {
    const char* text = strerrordesc_np(code);
    return text != nullptr ? text : "error " + std::to_string(code);
}

tarn::PlatformError unreadableFileStays(const fs::path& file) {
    return tarn::PlatformError("Quiller", kSaveErrorCode,
                               "The unreadable history file \"" + file.string() +
                                   "\" could not be moved aside.");
}

void logWarning(const std::string& message) {
    tarn::TarnAppLogger::shared("Quiller").warn(message, kLogCategory);
}

} // namespace

RequestHistoryStore::RequestHistoryStore(std::optional<fs::path> folder, int maxEntries,
                                         WarningSink warningSink)
    : m_fileURL((folder ? *folder : defaultFolder()) / kFileName),
      m_maxEntries(std::max(maxEntries, 1)),
      m_warn(warningSink ? std::move(warningSink) : WarningSink(logWarning)) {
    try {
        tarn::files::createDirectories(m_fileURL.parent_path());
    } catch (const tarn::PlatformError&) {
        // Saving tries again and fails quietly; loading finds no file.
    }
}

namespace {

// The file is written straight from the records rather than through a JSON
// tree: a full history is megabytes of text, and the tree would copy it all
// once more. Members are written in ascending key order, exactly as the
// records' to_json form comes out of the pretty writer.

void writeRow(tarn::json::Writer& writer, const KeyValueRow& row) {
    writer.beginObject();
    writer.key("id");
    writer.string(row.id.string());
    writer.key("isEnabled");
    writer.boolean(row.isEnabled);
    writer.key("isSecret");
    writer.boolean(row.isSecret);
    writer.key("key");
    writer.string(row.key);
    writer.key("value");
    writer.string(row.value);
    writer.endObject();
}

void writeSnapshot(tarn::json::Writer& writer, const RedactedRequestSnapshot& snapshot) {
    writer.beginObject();
    writer.key("bodyKind");
    writer.string(rawValue(snapshot.bodyKind));
    writer.key("bodyText");
    writer.string(snapshot.bodyText);
    writer.key("graphQLVariables");
    writer.string(snapshot.graphQLVariables);
    writer.key("headers");
    writer.beginArray();
    for (const KeyValueRow& row : snapshot.headers)
        writeRow(writer, row);
    writer.endArray();
    writer.key("method");
    writer.string(rawValue(snapshot.method));
    writer.key("url");
    writer.string(snapshot.url);
    writer.endObject();
}

void writeEntry(tarn::json::Writer& writer, const RequestHistoryEntry& entry) {
    writer.beginObject();
    writer.key("durationMs");
    writer.number(entry.durationMs);
    if (entry.errorMessage) {
        writer.key("errorMessage");
        writer.string(*entry.errorMessage);
    }
    writer.key("id");
    writer.string(entry.id.string());
    writer.key("method");
    writer.string(rawValue(entry.method));
    writer.key("requestName");
    writer.string(entry.requestName);
    writer.key("requestSnapshot");
    writeSnapshot(writer, entry.requestSnapshot);
    writer.key("responseBytes");
    writer.integer(entry.responseBytes);
    writer.key("responseSnippet");
    writer.string(entry.responseSnippet);
    writer.key("sanitizedURL");
    writer.string(entry.sanitizedURL);
    if (entry.sourceRequestID) {
        writer.key("sourceRequestID");
        writer.string(entry.sourceRequestID->string());
    }
    writer.key("statusCode");
    writer.integer(entry.statusCode);
    writer.key("timestamp");
    writer.string(tarn::json::formatISO8601(entry.timestamp, tarn::json::DatePrecision::seconds));
    writer.endObject();
}

// Room for the whole text up front: growing a buffer of megabytes step by
// step costs more than writing it. Escaped "/" and quotes make the text
// somewhat longer than the strings it holds.
std::size_t estimatedSize(std::span<const RequestHistoryEntry> entries) {
    std::size_t bytes = 16;
    for (const RequestHistoryEntry& entry : entries) {
        std::size_t text =
            entry.requestName.size() + entry.sanitizedURL.size() + entry.responseSnippet.size() +
            (entry.errorMessage ? entry.errorMessage->size() : 0) +
            entry.requestSnapshot.url.size() + entry.requestSnapshot.bodyText.size() +
            entry.requestSnapshot.graphQLVariables.size();
        for (const KeyValueRow& row : entry.requestSnapshot.headers)
            text += row.key.size() + row.value.size() + 160;
        bytes += text + text / 2 + 640;
    }
    return bytes;
}

} // namespace

std::string RequestHistoryStore::encode(std::span<const RequestHistoryEntry> entries) {
    tarn::json::Writer writer(tarn::json::Style::pretty);
    writer.reserve(estimatedSize(entries));
    writer.beginArray();
    for (const RequestHistoryEntry& entry : entries)
        writeEntry(writer, entry);
    writer.endArray();
    return writer.finish();
}

std::optional<std::vector<RequestHistoryEntry>> RequestHistoryStore::decode(std::string_view text) {
    std::optional<nlohmann::json> document = tarn::json::parse(text);
    if (!document || !document->is_array())
        return std::nullopt;
    try {
        return tarn::json::decode<std::vector<RequestHistoryEntry>>(*document);
    } catch (const tarn::json::DecodingError&) {
        return std::nullopt;
    }
}

std::vector<RequestHistoryEntry> RequestHistoryStore::load() {
    std::vector<RequestHistoryEntry> entries;
    {
        std::lock_guard lock(m_lock);
        switch (readEntries(m_fileURL, &entries)) {
        case ReadOutcome::absent:
        case ReadOutcome::readable:
            m_fileState = FileState::safeToReplace;
            break;
        case ReadOutcome::unreadable:
            m_fileState = FileState::unreadable;
            break;
        }
    }
    if (entries.size() > static_cast<std::size_t>(m_maxEntries))
        entries.resize(static_cast<std::size_t>(m_maxEntries));
    return entries;
}

RequestHistoryStore::Preparation RequestHistoryStore::setAsideIfUnreadableLocked() {
    if (m_fileState == FileState::unknown) {
        // Nothing has been loaded through this store: make sure what is there
        // is a history before it goes.
        m_fileState = readEntries(m_fileURL, nullptr) == ReadOutcome::unreadable
                          ? FileState::unreadable
                          : FileState::safeToReplace;
    }
    if (m_fileState != FileState::unreadable)
        return {};
    try {
        const std::optional<fs::path> aside =
            tarn::files::moveAside(m_fileURL, std::chrono::system_clock::now());
        m_fileState = FileState::safeToReplace;
        if (!aside)
            return {};
        return {.mayReplace = true,
                .warning = "The history file " + m_fileURL.string() +
                           " could not be read; it was kept as " + aside->string() +
                           " and a new one was started.",
                .keptAs = aside};
    } catch (const tarn::PlatformError& error) {
        return {.mayReplace = false,
                .warning = "The history file " + m_fileURL.string() +
                           " could not be read and could not be set aside (" + error.what() +
                           "); the history is not saved until it can be."};
    }
}

std::optional<tarn::PlatformError>
RequestHistoryStore::save(const std::vector<RequestHistoryEntry>& entries) {
    const std::size_t count = std::min(entries.size(), static_cast<std::size_t>(m_maxEntries));
    std::string warning;
    std::optional<tarn::PlatformError> failure;
    {
        std::lock_guard lock(m_lock);
        Preparation preparation = setAsideIfUnreadableLocked();
        warning = std::move(preparation.warning);
        if (!preparation.mayReplace) {
            failure = unreadableFileStays(m_fileURL);
        } else {
            std::optional<std::string> text;
            try {
                text = encode(std::span(entries).first(count));
            } catch (const std::exception&) {
                // Nothing is written rather than something partial.
                failure = tarn::PlatformError("Quiller", kSaveErrorCode,
                                              "The history could not be encoded.");
            }
            if (text) {
                try {
                    tarn::files::writeAtomically(m_fileURL, *text);
                } catch (const tarn::PlatformError& error) {
                    // The previous file, if any, is untouched; the caller's list
                    // in memory stays as it is.
                    failure = error;
                }
            }
        }
    }
    if (!warning.empty())
        m_warn(warning);
    return failure;
}

std::optional<tarn::PlatformError> RequestHistoryStore::clear() {
    std::string warning;
    std::optional<tarn::PlatformError> failure;
    {
        std::lock_guard lock(m_lock);
        // A file the user never saw as history is not theirs to clear.
        Preparation preparation = setAsideIfUnreadableLocked();
        warning = std::move(preparation.warning);
        if (!preparation.mayReplace) {
            failure = unreadableFileStays(m_fileURL);
        } else {
            std::error_code error;
            fs::remove(m_fileURL, error);
            if (error && error != std::errc::no_such_file_or_directory)
                failure = tarn::PlatformError("NSPOSIXErrorDomain", error.value(),
                                              "Could not remove \"" + m_fileURL.string() +
                                                  "\": " + errorText(error.value()));
        }
    }
    if (!warning.empty())
        m_warn(warning);
    return failure;
}

std::optional<fs::path> RequestHistoryStore::setUnreadableFileAside() {
    Preparation preparation;
    {
        std::lock_guard lock(m_lock);
        if (m_fileState != FileState::unreadable)
            return std::nullopt;
        preparation = setAsideIfUnreadableLocked();
    }
    if (!preparation.warning.empty())
        m_warn(preparation.warning);
    return preparation.keptAs;
}

} // namespace quiller
