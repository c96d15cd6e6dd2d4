#pragma once

// Strict and lenient reading of JSON documents into model records, for the
// .cpp files that implement `to_json` / `from_json`. This header pulls in the
// whole of nlohmann/json.hpp: include it from sources, never from headers that
// many files see.
//
// Strict reading: every member is required and typed; the first failure throws
// DecodingError and passes up through the enclosing records, each adding its
// key (or array index) to the error's path. Lenient reading: valueOr() gives
// the caller's default for a member that is missing, null or of another type.

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UUID.h"

#include <chrono>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarn::json {

class DecodingError : public std::runtime_error {
public:
    enum class Kind {
        keyNotFound,   // a required member is missing
        valueNotFound, // a required value is null
        typeMismatch,  // a value of another JSON type
        dataCorrupted, // right JSON type, unusable content (bad UUID, unknown raw value, ...)
    };

    DecodingError(Kind kind, std::string detail);

    Kind kind() const noexcept { return m_kind; }
    // Where it failed, e.g. "requests[2].graphQLVariables"; empty at the top.
    const std::string& path() const noexcept { return m_path; }
    const std::string& detail() const noexcept { return m_detail; }
    // "<kind> at <path>: <detail>".
    const char* what() const noexcept override { return m_message.c_str(); }

    // Used by the decoders as the error passes up through enclosing values.
    void prependKey(std::string_view key);
    void prependIndex(std::size_t index);

private:
    void rebuildMessage();

    Kind m_kind;
    std::string m_detail;
    std::string m_path;
    std::string m_message;
};

std::string_view kindName(DecodingError::Kind kind);

namespace detail {

[[noreturn]] void throwTypeMismatch(const nlohmann::json& found, std::string_view expected);
[[noreturn]] void throwNotAnInteger(const nlohmann::json& found);
// The member `key` of `object`; typeMismatch when `object` is no object,
// keyNotFound (with `key` as the path) when the member is missing.
const nlohmann::json& member(const nlohmann::json& object, std::string_view key);

[[nodiscard]] std::string decodeString(const nlohmann::json& value);
[[nodiscard]] bool decodeBool(const nlohmann::json& value);
[[nodiscard]] double decodeDouble(const nlohmann::json& value);
[[nodiscard]] UUID decodeUUID(const nlohmann::json& value);
[[nodiscard]] std::chrono::system_clock::time_point decodeDate(const nlohmann::json& value);

// An integer that fits T. Integral numbers written with a fraction or exponent
// (200.0, 2e2) are accepted; 200.5, strings and booleans are not.
template <std::integral T> [[nodiscard]] T decodeInteger(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (std::in_range<T>(number))
            return static_cast<T>(number);
    } else if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (std::in_range<T>(number))
            return static_cast<T>(number);
    } else if (value.is_number_float()) {
        const double number = value.get<double>();
        // [-2^63, 2^63) is exactly the doubles that convert to int64 safely.
        if (number == std::trunc(number) && number >= -9223372036854775808.0 &&
            number < 9223372036854775808.0) {
            const auto integral = static_cast<std::int64_t>(number);
            if (std::in_range<T>(integral))
                return static_cast<T>(integral);
        }
    } else {
        throwTypeMismatch(value, "an integer");
    }
    throwNotAnInteger(value);
}

template <class T> inline constexpr bool isVector = false;
template <class U, class A> inline constexpr bool isVector<std::vector<U, A>> = true;

// A JSON array as the vector V, each element through `decodeElement`; a
// failing element adds its index to the error's path.
template <class V, class DecodeElement>
[[nodiscard]] V decodeArray(const nlohmann::json& value, DecodeElement&& decodeElement) {
    if (!value.is_array())
        throwTypeMismatch(value, "an array");
    V result;
    result.reserve(value.size());
    std::size_t index = 0;
    for (const nlohmann::json& element : value) {
        try {
            result.push_back(decodeElement(element));
        } catch (DecodingError& error) {
            error.prependIndex(index);
            throw;
        }
        ++index;
    }
    return result;
}

} // namespace detail

// The value is an object, or DecodingError (valueNotFound for null,
// typeMismatch otherwise). Records call it first in their from_json.
const nlohmann::json& expectObject(const nlohmann::json& value);

// One value of type T, strictly. Handles std::string, bool, integers, floating
// point, UUID (either case), system_clock::time_point (ISO 8601 text),
// std::vector of any of these, and every other type through its `from_json`
// found by argument-dependent lookup. A null is always valueNotFound.
template <class T> [[nodiscard]] T decode(const nlohmann::json& value) {
    using Date = std::chrono::system_clock::time_point;
    if (value.is_null())
        throw DecodingError(DecodingError::Kind::valueNotFound, "expected a value, found null");
    if constexpr (std::is_same_v<T, std::string>) {
        return detail::decodeString(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return detail::decodeBool(value);
    } else if constexpr (std::is_integral_v<T>) {
        return detail::decodeInteger<T>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<T>(detail::decodeDouble(value));
    } else if constexpr (std::is_same_v<T, UUID>) {
        return detail::decodeUUID(value);
    } else if constexpr (std::is_same_v<T, Date>) {
        return detail::decodeDate(value);
    } else if constexpr (detail::isVector<T>) {
        return detail::decodeArray<T>(value, [](const nlohmann::json& element) {
            return decode<typename T::value_type>(element);
        });
    } else {
        T result{};
        from_json(value, result);
        return result;
    }
}

// The member `key` of `object`, strictly: it must be present and decode as T.
template <class T> T required(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json& value = detail::member(object, key);
    try {
        return decode<T>(value);
    } catch (DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

// A JSON string mapped through `fromRaw` (text -> std::optional<E>); a text it
// does not know is dataCorrupted. Enumerations' own from_json use this.
template <class E, class FromRaw>
[[nodiscard]] E decodeEnum(const nlohmann::json& value, FromRaw&& fromRaw) {
    const auto text = decode<std::string>(value);
    if (const std::optional<E> result = std::forward<FromRaw>(fromRaw)(text))
        return *result;
    throw DecodingError(DecodingError::Kind::dataCorrupted,
                        "\"" + text + "\" is not one of the accepted values");
}

template <class E, class FromRaw>
E requiredEnum(const nlohmann::json& object, std::string_view key, FromRaw&& fromRaw) {
    const nlohmann::json& value = detail::member(object, key);
    try {
        return decodeEnum<E>(value, std::forward<FromRaw>(fromRaw));
    } catch (DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

// Lenient: the member decoded as T, or `fallback` when `object` is no object or
// the member is missing, null or does not decode.
template <class T> T valueOr(const nlohmann::json& object, std::string_view key, T fallback) {
    if (!object.is_object())
        return fallback;
    const auto found = object.find(key);
    if (found == object.end())
        return fallback;
    try {
        return decode<T>(*found);
    } catch (const DecodingError&) {
        return fallback;
    }
}

} // namespace tarn::json

namespace tarn {

// A UUID's JSON form is its upper-case text; found by argument-dependent
// lookup, so `json["id"] = uuid` works.
void to_json(nlohmann::json& json, const UUID& id);
void from_json(const nlohmann::json& json, UUID& id);

} // namespace tarn
