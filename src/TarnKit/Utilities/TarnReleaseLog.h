#pragma once

#include "TarnKit/Utilities/TarnBundle.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One version transition of an application's release history, as one line of
// the "release-log.jsonl" resource. A value; every field has the default that a
// line without that key (or with null) decodes to.
struct TarnReleaseLogRecord {
    std::string timestamp; // ISO 8601 text, never parsed
    std::string app;       // the application the line belongs to
    std::string fromVersion = "0.0.0";
    std::string toVersion = "1.0.0";
    std::int64_t fromBuild = 0;
    std::int64_t toBuild = 100;
    std::string bumpKind = "patch";  // free text
    std::string section = "Changed"; // free text
    std::string summary;
    std::vector<std::string> details;
    std::map<std::string, std::string> summaryI18n;              // language code -> text
    std::map<std::string, std::vector<std::string>> detailsI18n; // language code -> lines
    std::string gitCommit;

    // timestamp + "-" + app + "-" + toVersion + "-" + toBuild.
    std::string id() const;
    // The first ten characters of the timestamp (all of it when shorter).
    std::string shortDate() const;

    // The summary in an interface language, given by its code ("pt-PT"), with
    // the code of its fallback parent ("pt-BR" for "pt-PT", "zh-Hans" for
    // "zh-Hant"; empty for the others). Tried in order: the language, the
    // parent, English; an empty text counts as missing. Otherwise `summary`.
    std::string localizedSummary(std::string_view languageCode,
                                 std::string_view parentCode = {}) const;
    // The same over `detailsI18n`, where an empty list counts as missing;
    // otherwise `details`.
    std::vector<std::string> localizedDetails(std::string_view languageCode,
                                              std::string_view parentCode = {}) const;

    friend bool operator==(const TarnReleaseLogRecord&, const TarnReleaseLogRecord&) = default;
};

// Encoding writes all thirteen keys ("summary_i18n" and "details_i18n" for the
// maps). Decoding takes a missing key or null as the field's default, but a key
// whose value has another type fails the whole record (json::DecodingError).
void to_json(nlohmann::json& json, const TarnReleaseLogRecord& record);
void from_json(const nlohmann::json& json, TarnReleaseLogRecord& record);

// Reads release logs tolerantly: nothing is reported, bad lines are skipped.
// Safe to call from any thread.
namespace TarnReleaseLogReader {

// The records of the file, last line first (newest first for a file kept in
// time order; records are not sorted by their time stamps). With an
// application name, only the records whose `app` equals it ignoring case. An
// unreadable, empty or non-UTF-8 file gives no records, and so does every line
// that is not a JSON object of the record. Lines may end in CR LF.
std::vector<TarnReleaseLogRecord> load(const std::filesystem::path& file,
                                       const std::optional<std::string>& app);

// `load` on the bundle's resource "release-log" of type "jsonl"; no records
// when the bundle has none.
std::vector<TarnReleaseLogRecord> loadBundled(const std::optional<std::string>& app,
                                              const TarnBundle& bundle = TarnBundle::main());

} // namespace TarnReleaseLogReader

} // namespace tarn
