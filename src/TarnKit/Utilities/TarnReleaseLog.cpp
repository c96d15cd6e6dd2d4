#include "TarnKit/Utilities/TarnReleaseLog.h"

#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <exception>

namespace tarn {
namespace {

// A key that is missing or null takes the default; any other value must decode
// as T, else the record fails.
template <class T>
void decodeOptional(const nlohmann::json& object, std::string_view key, T& field) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return;
    try {
        field = json::decode<T>(*found);
    } catch (json::DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

template <class V> std::map<std::string, V> decodeMap(const nlohmann::json& value) {
    if (!value.is_object())
        throw json::DecodingError(json::DecodingError::Kind::typeMismatch,
                                  "expected an object of language codes");
    std::map<std::string, V> result;
    for (const auto& [key, element] : value.items()) {
        try {
            result.emplace(key, json::decode<V>(element));
        } catch (json::DecodingError& error) {
            error.prependKey(key);
            throw;
        }
    }
    return result;
}

template <class V>
void decodeOptionalMap(const nlohmann::json& object, std::string_view key,
                       std::map<std::string, V>& field) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return;
    try {
        field = decodeMap<V>(*found);
    } catch (json::DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

// The entry for `code`, if present and "not empty" by the caller's measure.
template <class V, class IsUsable>
const V* usableEntry(const std::map<std::string, V>& map, std::string_view code,
                     IsUsable isUsable) {
    if (code.empty())
        return nullptr;
    const auto found = map.find(std::string(code));
    if (found == map.end() || !isUsable(found->second))
        return nullptr;
    return &found->second;
}

template <class V, class IsUsable>
const V& localized(const std::map<std::string, V>& map, std::string_view languageCode,
                   std::string_view parentCode, const V& fallback, IsUsable isUsable) {
    for (const std::string_view code : {languageCode, parentCode, std::string_view("en")}) {
        if (const V* entry = usableEntry(map, code, isUsable))
            return *entry;
    }
    return fallback;
}

} // namespace

std::string TarnReleaseLogRecord::id() const {
    return timestamp + "-" + app + "-" + toVersion + "-" + numbers::formatInteger(toBuild);
}

std::string TarnReleaseLogRecord::shortDate() const {
    return std::string(text::prefixCharacters(timestamp, 10));
}

std::string TarnReleaseLogRecord::localizedSummary(std::string_view languageCode,
                                                   std::string_view parentCode) const {
    return localized(summaryI18n, languageCode, parentCode, summary,
                     [](const std::string& entry) { return !entry.empty(); });
}

std::vector<std::string> TarnReleaseLogRecord::localizedDetails(std::string_view languageCode,
                                                                std::string_view parentCode) const {
    return localized(detailsI18n, languageCode, parentCode, details,
                     [](const std::vector<std::string>& entry) { return !entry.empty(); });
}

void to_json(nlohmann::json& json, const TarnReleaseLogRecord& record) {
    json = nlohmann::json{
        {"timestamp", record.timestamp},      {"app", record.app},
        {"fromVersion", record.fromVersion},  {"toVersion", record.toVersion},
        {"fromBuild", record.fromBuild},      {"toBuild", record.toBuild},
        {"bumpKind", record.bumpKind},        {"section", record.section},
        {"summary", record.summary},          {"details", record.details},
        {"summary_i18n", record.summaryI18n}, {"details_i18n", record.detailsI18n},
        {"gitCommit", record.gitCommit},
    };
}

void from_json(const nlohmann::json& json, TarnReleaseLogRecord& record) {
    const nlohmann::json& object = json::expectObject(json);
    TarnReleaseLogRecord result;
    decodeOptional(object, "timestamp", result.timestamp);
    decodeOptional(object, "app", result.app);
    decodeOptional(object, "fromVersion", result.fromVersion);
    decodeOptional(object, "toVersion", result.toVersion);
    decodeOptional(object, "fromBuild", result.fromBuild);
    decodeOptional(object, "toBuild", result.toBuild);
    decodeOptional(object, "bumpKind", result.bumpKind);
    decodeOptional(object, "section", result.section);
    decodeOptional(object, "summary", result.summary);
    decodeOptional(object, "details", result.details);
    decodeOptionalMap(object, "summary_i18n", result.summaryI18n);
    decodeOptionalMap(object, "details_i18n", result.detailsI18n);
    decodeOptional(object, "gitCommit", result.gitCommit);
    record = std::move(result);
}

namespace TarnReleaseLogReader {

std::vector<TarnReleaseLogRecord> load(const std::filesystem::path& file,
                                       const std::optional<std::string>& app) {
    std::optional<std::string> content;
    try {
        content = files::readFile(file);
    } catch (const std::exception&) {
        return {};
    }
    if (!content || content->empty() || !text::isValidUTF8(*content))
        return {};

    const std::optional<std::string> filter =
        app ? std::optional<std::string>(text::lowercased(*app)) : std::nullopt;
    std::vector<TarnReleaseLogRecord> records;
    std::string_view rest = *content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        // A CR before the line feed is white space to the JSON parser.
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty())
            continue;
        const std::optional<nlohmann::json> document = json::parse(line);
        if (!document)
            continue;
        TarnReleaseLogRecord record;
        try {
            from_json(*document, record);
        } catch (const json::DecodingError&) {
            continue;
        }
        if (filter && text::lowercased(record.app) != *filter)
            continue;
        records.push_back(std::move(record));
    }
    std::reverse(records.begin(), records.end());
    return records;
}

std::vector<TarnReleaseLogRecord> loadBundled(const std::optional<std::string>& app,
                                              const TarnBundle& bundle) {
    const auto file = bundle.resourcePath("release-log", "jsonl");
    if (!file)
        return {};
    return load(*file, app);
}

} // namespace TarnReleaseLogReader

} // namespace tarn
