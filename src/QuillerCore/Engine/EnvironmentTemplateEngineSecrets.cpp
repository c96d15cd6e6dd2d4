// Turning secret values seen on the wire back into their templates.

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Utilities/TarnSecretValueMask.h"

#include <algorithm>

namespace quiller::EnvironmentTemplateEngine {
namespace {

void appendSecrets(const APIEnvironmentProfile& environment, std::vector<SecretVariable>& out) {
    for (const KeyValueRow& row : environment.variables) {
        if (row.isSecret && !row.key.empty() && !row.value.empty())
            out.push_back(SecretVariable{row.key, row.value});
    }
}

// The user and password of a Basic credential ("Basic dXNlcjpwYXNz"), when the
// value is one.
std::optional<std::pair<std::string, std::string>> basicCredentials(std::string_view value) {
    value = tarn::text::trimmingWhitespaceAndNewlines(value);
    constexpr std::string_view scheme = "basic";
    if (value.size() <= scheme.size() ||
        tarn::text::lowercased(value.substr(0, scheme.size())) != scheme ||
        (value[scheme.size()] != ' ' && value[scheme.size()] != '\t'))
        return std::nullopt;
    const std::optional<std::string> decoded = tarn::base64::decode(
        tarn::text::trimmingWhitespaceAndNewlines(value.substr(scheme.size())));
    if (!decoded)
        return std::nullopt;
    const std::size_t colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return std::pair{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

void templateRows(std::vector<KeyValueRow>& rows, const tarn::TarnSecretValueMask& mask) {
    for (KeyValueRow& row : rows) {
        row.key = mask.apply(row.key);
        row.value = mask.apply(row.value);
    }
}

// The URL with its secrets templated. A query item that holds one leaves the
// URL for a query row of its own, decoded: a template in the URL would be
// filled in unencoded, while a row's value is encoded when it is sent.
std::string templateURL(std::string_view url, const tarn::TarnSecretValueMask& mask,
                        std::vector<KeyValueRow>& queryRows) {
    const std::size_t hash = url.find('#');
    const std::size_t question = url.find('?');
    if (question == std::string_view::npos || question > hash)
        return mask.apply(url);
    const std::string_view query = url.substr(question + 1, hash - std::min(hash, question + 1));
    std::string kept;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view item = query.substr(start, end - start);
        start = end + 1;
        if (!mask.occursIn(item)) {
            if (!item.empty())
                kept.append(kept.empty() ? "" : "&").append(item);
            continue;
        }
        const std::size_t equals = item.find('=');
        const std::string name = tarn::percentDecoded(item.substr(0, equals));
        const std::string value =
            equals == std::string_view::npos ? "" : tarn::percentDecoded(item.substr(equals + 1));
        queryRows.push_back(KeyValueRow{.key = mask.apply(name), .value = mask.apply(value)});
    }
    std::string result = mask.apply(url.substr(0, question));
    if (!kept.empty())
        result.append("?").append(kept);
    if (hash != std::string_view::npos)
        result.append(mask.apply(url.substr(hash)));
    return result;
}

} // namespace

std::vector<SecretVariable> secretVariables(const std::vector<APIEnvironmentProfile>& environments,
                                            const std::optional<tarn::UUID>& activeEnvironmentID) {
    std::vector<SecretVariable> secrets;
    const auto active =
        std::find_if(environments.begin(), environments.end(),
                     [&](const APIEnvironmentProfile& e) { return e.id == activeEnvironmentID; });
    if (active != environments.end())
        appendSecrets(*active, secrets);
    for (auto environment = environments.begin(); environment != environments.end();
         ++environment) {
        if (environment != active)
            appendSecrets(*environment, secrets);
    }
    return secrets;
}

APIRequestSpec restoringSecretTemplates(APIRequestSpec spec,
                                        const std::vector<SecretVariable>& secrets) {
    std::vector<tarn::TarnSecretValueMask::Replacement> replacements;
    replacements.reserve(secrets.size());
    for (const SecretVariable& secret : secrets)
        replacements.push_back({secret.value, "{{" + secret.key + "}}"});
    const tarn::TarnSecretValueMask mask =
        tarn::TarnSecretValueMask::replacing(std::move(replacements));
    if (mask.empty())
        return spec;

    // Encoded credentials first: once the rows are templated they are gone.
    const auto basic = std::find_if(spec.headers.begin(), spec.headers.end(), [&](const auto& row) {
        if (tarn::text::lowercased(tarn::text::trimmingWhitespaceAndNewlines(row.key)) !=
            "authorization")
            return false;
        const auto credentials = basicCredentials(row.value);
        return credentials &&
               (mask.occursIn(credentials->first) || mask.occursIn(credentials->second));
    });
    if (basic != spec.headers.end() && spec.auth.kind == RequestAuthKind::none) {
        const auto credentials = basicCredentials(basic->value);
        spec.auth.kind = RequestAuthKind::basic;
        spec.auth.basicUsername = credentials->first;
        spec.auth.basicPassword = credentials->second;
        spec.headers.erase(basic);
    }

    spec.name = mask.apply(spec.name);
    templateRows(spec.queryParams, mask);
    spec.url = templateURL(spec.url, mask, spec.queryParams);
    templateRows(spec.headers, mask);
    for (std::string* field : {&spec.auth.bearerToken, &spec.auth.basicUsername,
                               &spec.auth.basicPassword, &spec.auth.apiKeyHeaderName,
                               &spec.auth.apiKeyValue, &spec.bodyText, &spec.graphQLVariables})
        *field = mask.apply(*field);
    for (ResponseAssertionRule& rule : spec.assertions) {
        rule.targetPath = mask.apply(rule.targetPath);
        rule.expectedValue = mask.apply(rule.expectedValue);
    }
    return spec;
}

} // namespace quiller::EnvironmentTemplateEngine
