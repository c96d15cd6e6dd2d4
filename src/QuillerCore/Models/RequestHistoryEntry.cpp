#include "QuillerCore/Models/RequestHistoryEntry.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace quiller {
namespace {

using Date = std::chrono::system_clock::time_point;
using tarn::json::DecodingError;

// The member decoded strictly, or nothing when it is missing or null: the
// history file fills in what an older or hand-edited file leaves out, but
// never guesses at a value it cannot read.
template <class T>
std::optional<T> optionalMember(const nlohmann::json& object, std::string_view key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    try {
        return tarn::json::decode<T>(*found);
    } catch (DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

template <class T> T memberOr(const nlohmann::json& object, std::string_view key, T fallback) {
    std::optional<T> value = optionalMember<T>(object, key);
    return value ? std::move(*value) : std::move(fallback);
}

// Only the internet date-time form without a fraction of a second, which is
// what the file is written with.
std::optional<Date> optionalDate(const nlohmann::json& object, std::string_view key) {
    std::optional<std::string> text = optionalMember<std::string>(object, key);
    if (!text)
        return std::nullopt;
    if (text->find_first_of(".,") == std::string::npos) {
        if (const std::optional<Date> date = tarn::json::parseISO8601(*text))
            return date;
    }
    DecodingError error(DecodingError::Kind::dataCorrupted,
                        "\"" + *text + "\" is not an ISO 8601 date-time in whole seconds");
    error.prependKey(key);
    throw error;
}

Date nowInWholeSeconds() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

} // namespace

void to_json(nlohmann::json& json, const RedactedRequestSnapshot& snapshot) {
    json = nlohmann::json::object();
    json["url"] = snapshot.url;
    json["method"] = snapshot.method;
    json["headers"] = snapshot.headers;
    json["bodyKind"] = snapshot.bodyKind;
    json["bodyText"] = snapshot.bodyText;
    json["graphQLVariables"] = snapshot.graphQLVariables;
}

// Records are built in one braced initialiser, whose elements are evaluated
// left to right: keys are read in field order and the first failure leaves the
// target untouched.
void from_json(const nlohmann::json& json, RedactedRequestSnapshot& snapshot) {
    tarn::json::expectObject(json);
    snapshot = RedactedRequestSnapshot{
        .url = memberOr<std::string>(json, "url", ""),
        .method = memberOr(json, "method", TarnHTTPMethod::get),
        .headers = memberOr<std::vector<KeyValueRow>>(json, "headers", {}),
        .bodyKind = memberOr(json, "bodyKind", RequestBodyKind::none),
        .bodyText = memberOr<std::string>(json, "bodyText", ""),
        .graphQLVariables = memberOr<std::string>(json, "graphQLVariables", "{}"),
    };
}

void to_json(nlohmann::json& json, const RequestHistoryEntry& entry) {
    json = nlohmann::json::object();
    json["id"] = entry.id;
    json["timestamp"] =
        tarn::json::formatISO8601(entry.timestamp, tarn::json::DatePrecision::seconds);
    json["requestName"] = entry.requestName;
    json["method"] = entry.method;
    json["sanitizedURL"] = entry.sanitizedURL;
    json["statusCode"] = entry.statusCode;
    json["durationMs"] = entry.durationMs;
    json["responseBytes"] = entry.responseBytes;
    json["responseSnippet"] = entry.responseSnippet;
    if (entry.errorMessage)
        json["errorMessage"] = *entry.errorMessage;
    if (entry.sourceRequestID)
        json["sourceRequestID"] = *entry.sourceRequestID;
    json["requestSnapshot"] = entry.requestSnapshot;
}

void from_json(const nlohmann::json& json, RequestHistoryEntry& entry) {
    tarn::json::expectObject(json);
    RequestHistoryEntry decoded{
        .id = memberOr(json, "id", tarn::UUID::random()),
        .timestamp = optionalDate(json, "timestamp").value_or(nowInWholeSeconds()),
        .requestName = memberOr<std::string>(json, "requestName", "Request"),
        .method = memberOr(json, "method", TarnHTTPMethod::get),
        .sanitizedURL = memberOr<std::string>(json, "sanitizedURL", ""),
        .statusCode = memberOr(json, "statusCode", 0),
        .durationMs = memberOr(json, "durationMs", 0.0),
        .responseBytes = memberOr<std::int64_t>(json, "responseBytes", 0),
        .responseSnippet = memberOr<std::string>(json, "responseSnippet", ""),
        .errorMessage = optionalMember<std::string>(json, "errorMessage"),
        .sourceRequestID = optionalMember<tarn::UUID>(json, "sourceRequestID"),
        .requestSnapshot = {},
    };
    if (std::optional<RedactedRequestSnapshot> snapshot =
            optionalMember<RedactedRequestSnapshot>(json, "requestSnapshot")) {
        decoded.requestSnapshot = std::move(*snapshot);
    } else {
        // An entry from before snapshots were kept can still be replayed as a
        // bare request to the same place.
        decoded.requestSnapshot.url = decoded.sanitizedURL;
        decoded.requestSnapshot.method = decoded.method;
    }
    entry = std::move(decoded);
}

} // namespace quiller
