#pragma once

#include "QuillerCore/Models/RequestModel.h"

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// One assignment read from .env text. Its identity is `key`.
struct DotEnvEntry {
    std::string key{};
    std::string value{};
    bool isLikelySecret = false;

    // An enabled environment row with a fresh identifier, kept secret when the
    // name looks like one.
    KeyValueRow toKeyValueRow() const;

    friend bool operator==(const DotEnvEntry&, const DotEnvEntry&) = default;
};

// JSON form: {"key", "value", "isLikelySecret"}, all required when read.
void to_json(nlohmann::json& json, const DotEnvEntry& entry);
void from_json(const nlohmann::json& json, DotEnvEntry& entry);

// Reads and writes ".env" text (KEY=value lines). Stateless; every function may
// be called from any thread at the same time.
namespace DotEnvCodec {

// What a masked export writes in place of a secret value.
inline constexpr std::string_view redactedValue = "***REDACTED***";

// The assignments of the text, one entry per key in order of first appearance;
// a later assignment replaces the value in place. Lines that are not
// assignments are skipped; there are no errors.
[[nodiscard]] std::vector<DotEnvEntry> parse(std::string_view text);

// The enabled rows with a non-blank key as KEY=value lines joined by LF, with
// the values of secret rows replaced by `redactedValue` when `maskSecrets`.
// Every value written reads back unchanged through parse. (`export` is a
// keyword, hence the underscore.)
std::string export_(const std::vector<KeyValueRow>& variables, bool maskSecrets);

// Whether a variable name suggests a secret: it contains, in any letter case,
// a marker such as "TOKEN", "PASSWORD" or "AUTH".
bool isLikelySecretKey(std::string_view key);

} // namespace DotEnvCodec
} // namespace quiller
