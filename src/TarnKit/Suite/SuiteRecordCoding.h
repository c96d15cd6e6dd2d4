#pragma once

// The machinery behind SuiteRecordCodec.h, for the sources of the suite
// records only: it pulls in the whole nlohmann header.
//
// Reading is strict unless a record asks otherwise: integers only from JSON
// integers in the range of the field's type, numbers only from JSON numbers,
// dates only as "YYYY-MM-DDTHH:MM:SSZ", and a null counts as a missing key.
// Faults throw json::DecodingError, which decodeWith turns into nothing.

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cmath>
#include <concepts>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarn::suite::detail {

using json::DecodingError;

// Thrown while encoding a value that has no JSON text (NaN, infinity).
class NotEncodable : public std::runtime_error {
public:
    NotEncodable() : std::runtime_error("a number that is not finite") {}
};

[[nodiscard]] Date decodeStrictDate(const nlohmann::json& value);
std::string encodeDate(Date date);
[[nodiscard]] double decodeNumber(const nlohmann::json& value);
double encodableNumber(double value);

template <class T> [[nodiscard]] T decodeValue(const nlohmann::json& value);

class FieldReader {
public:
    explicit FieldReader(const nlohmann::json& object) : m_object(json::expectObject(object)) {}

    template <class T> T required(std::string_view key) const {
        const nlohmann::json* value = find(key);
        if (value == nullptr) {
            DecodingError error(DecodingError::Kind::keyNotFound, "a required member is missing");
            error.prependKey(key);
            throw error;
        }
        return decodeAt<T>(*value, key);
    }

    // Missing and null give nothing; a present value must decode.
    template <class T> std::optional<T> optional(std::string_view key) const {
        const nlohmann::json* value = find(key);
        if (value == nullptr)
            return std::nullopt;
        return decodeAt<T>(*value, key);
    }

    // Missing and null give the fallback; a present value must decode.
    template <class T> T valueOr(std::string_view key, T fallback) const {
        std::optional<T> value = optional<T>(key);
        return value ? std::move(*value) : std::move(fallback);
    }

    template <class E, class FromRaw> E requiredEnum(std::string_view key, FromRaw fromRaw) const {
        const auto text = required<std::string>(key);
        if (const std::optional<E> value = fromRaw(text))
            return *value;
        DecodingError error(DecodingError::Kind::dataCorrupted,
                            "\"" + text + "\" is not one of the accepted values");
        error.prependKey(key);
        throw error;
    }

private:
    const nlohmann::json* find(std::string_view key) const {
        const auto found = m_object.find(key);
        if (found == m_object.end() || found->is_null())
            return nullptr;
        return &*found;
    }

    template <class T>
    [[nodiscard]] static T decodeAt(const nlohmann::json& value, std::string_view key) {
        try {
            return decodeValue<T>(value);
        } catch (DecodingError& error) {
            error.prependKey(key);
            throw;
        }
    }

    const nlohmann::json& m_object;
};

template <class T> T decodeValue(const nlohmann::json& value) {
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string>) {
        return json::decode<T>(value);
    } else if constexpr (std::is_integral_v<T>) {
        // Only integers written as integers: 3.0 in a count is a writer's
        // fault, not a three.
        if (!value.is_number_integer())
            json::detail::throwTypeMismatch(value, "an integer");
        return json::detail::decodeInteger<T>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<T>(decodeNumber(value));
    } else if constexpr (std::is_same_v<T, Date>) {
        return decodeStrictDate(value);
    } else if constexpr (json::detail::isVector<T>) {
        return json::detail::decodeArray<T>(value, [](const nlohmann::json& element) {
            return decodeValue<typename T::value_type>(element);
        });
    } else {
        // A nested record: its readFields overload, found by argument-dependent lookup.
        return readFields(FieldReader(value), RecordTag<T>{});
    }
}

class FieldWriter {
public:
    template <class T> void add(const char* key, const T& value) {
        m_object[key] = encodeValue(value);
    }

    // Absent values are left out, never written as null.
    template <class T> void add(const char* key, const std::optional<T>& value) {
        if (value)
            add(key, *value);
    }

    nlohmann::ordered_json take() { return std::move(m_object); }

    template <class T> static nlohmann::ordered_json encodeValue(const T& value) {
        if constexpr (std::is_same_v<T, bool> || std::is_integral_v<T> ||
                      std::is_same_v<T, std::string>) {
            return value;
        } else if constexpr (std::is_floating_point_v<T>) {
            return encodableNumber(static_cast<double>(value));
        } else if constexpr (std::is_same_v<T, Date>) {
            return encodeDate(value);
        } else if constexpr (json::detail::isVector<T>) {
            nlohmann::ordered_json array = nlohmann::ordered_json::array();
            for (const auto& element : value)
                array.push_back(encodeValue(element));
            return array;
        } else {
            FieldWriter nested;
            writeFields(nested, value);
            return nested.take();
        }
    }

private:
    nlohmann::ordered_json m_object = nlohmann::ordered_json::object();
};

template <class Record> std::optional<std::string> encodeWith(const Record& record) {
    try {
        return json::compactInOrder(FieldWriter::encodeValue(record));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

template <class Record> [[nodiscard]] std::optional<Record> decodeWith(std::string_view text) {
    const std::optional<nlohmann::json> document = json::parse(text);
    if (!document)
        return std::nullopt;
    try {
        return decodeValue<Record>(*document);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace tarn::suite::detail

// Defines the public encodeRecord / decodeRecord pair of a record whose
// writeFields and readFields are in scope.
#define TARN_SUITE_RECORD_CODEC(Type)                                                              \
    std::optional<std::string> encodeRecord(const Type& record) {                                  \
        return ::tarn::suite::detail::encodeWith(record);                                          \
    }                                                                                              \
    std::optional<Type> decodeRecord(std::string_view text, ::tarn::suite::RecordTag<Type>) {      \
        return ::tarn::suite::detail::decodeWith<Type>(text);                                      \
    }
