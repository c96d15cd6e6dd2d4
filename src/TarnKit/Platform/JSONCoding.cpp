#include "TarnKit/Platform/JSONCoding.h"

#include <charconv>

namespace tarn::json {
namespace {

std::string_view typeName(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::object:
        return "an object";
    case nlohmann::json::value_t::array:
        return "an array";
    case nlohmann::json::value_t::string:
        return "a string";
    case nlohmann::json::value_t::boolean:
        return "a boolean";
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float:
        return "a number";
    case nlohmann::json::value_t::null:
        return "null";
    case nlohmann::json::value_t::binary:
    case nlohmann::json::value_t::discarded:
        break;
    }
    return "a value that is not JSON";
}

} // namespace

DecodingError::DecodingError(Kind kind, std::string detail)
    : std::runtime_error(detail), m_kind(kind), m_detail(std::move(detail)) {
    rebuildMessage();
}

void DecodingError::prependKey(std::string_view key) {
    if (m_path.empty() || m_path.front() == '[')
        m_path.insert(0, key);
    else
        m_path.insert(0, std::string(key) + ".");
    rebuildMessage();
}

void DecodingError::prependIndex(std::size_t index) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
    std::string step = "[";
    step.append(digits, end);
    step.push_back(']');
    if (!m_path.empty() && m_path.front() != '[')
        step.push_back('.');
    m_path.insert(0, step);
    rebuildMessage();
}

void DecodingError::rebuildMessage() {
    m_message = kindName(m_kind);
    if (!m_path.empty()) {
        m_message.append(" at ");
        m_message.append(m_path);
    }
    m_message.append(": ");
    m_message.append(m_detail);
}

std::string_view kindName(DecodingError::Kind kind) {
    switch (kind) {
    case DecodingError::Kind::keyNotFound:
        return "keyNotFound";
    case DecodingError::Kind::valueNotFound:
        return "valueNotFound";
    case DecodingError::Kind::typeMismatch:
        return "typeMismatch";
    case DecodingError::Kind::dataCorrupted:
        return "dataCorrupted";
    }
    return "decodingError";
}

namespace detail {

void throwTypeMismatch(const nlohmann::json& found, std::string_view expected) {
    if (found.is_null())
        throw DecodingError(DecodingError::Kind::valueNotFound, "expected a value, found null");
    std::string detail = "expected ";
    detail.append(expected);
    detail.append(", found ");
    detail.append(typeName(found));
    throw DecodingError(DecodingError::Kind::typeMismatch, std::move(detail));
}

void throwNotAnInteger(const nlohmann::json& found) {
    throw DecodingError(DecodingError::Kind::dataCorrupted,
                        "the number " + compact(found) + " is not an integer in range");
}

const nlohmann::json& member(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object())
        throwTypeMismatch(object, "an object");
    const auto found = object.find(key);
    if (found == object.end()) {
        DecodingError error(DecodingError::Kind::keyNotFound, "a required member is missing");
        error.prependKey(key);
        throw error;
    }
    return *found;
}

std::string decodeString(const nlohmann::json& value) {
    if (!value.is_string())
        throwTypeMismatch(value, "a string");
    return value.get_ref<const std::string&>();
}

bool decodeBool(const nlohmann::json& value) {
    if (!value.is_boolean())
        throwTypeMismatch(value, "true or false");
    return value.get<bool>();
}

double decodeDouble(const nlohmann::json& value) {
    if (!value.is_number())
        throwTypeMismatch(value, "a number");
    return value.get<double>();
}

UUID decodeUUID(const nlohmann::json& value) {
    const std::string text = decodeString(value);
    if (const std::optional<UUID> id = UUID::fromString(text))
        return *id;
    throw DecodingError(DecodingError::Kind::dataCorrupted, "\"" + text + "\" is not a UUID");
}

std::chrono::system_clock::time_point decodeDate(const nlohmann::json& value) {
    const std::string text = decodeString(value);
    if (const auto time = parseISO8601(text))
        return *time;
    throw DecodingError(DecodingError::Kind::dataCorrupted,
                        "\"" + text + "\" is not an ISO 8601 date");
}

} // namespace detail

const nlohmann::json& expectObject(const nlohmann::json& value) {
    if (!value.is_object())
        detail::throwTypeMismatch(value, "an object");
    return value;
}

} // namespace tarn::json

namespace tarn {

void to_json(nlohmann::json& json, const UUID& id) {
    json = id.string();
}

void from_json(const nlohmann::json& json, UUID& id) {
    id = json::detail::decodeUUID(json);
}

} // namespace tarn
