#pragma once

#include "QuillerCore/Models/ComposedRequest.h"
#include "QuillerCore/Models/RequestModel.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// Variable name to value, as the active environment defines them.
using VariableMap = std::map<std::string, std::string, std::less<>>;

// A composed request and the URL it goes to (the same text as request.url).
struct RequestComposition {
    ComposedRequest request{};
    std::string resolvedURL{};

    friend bool operator==(const RequestComposition&, const RequestComposition&) = default;
};

// Fills "{{name}}" templates and composes requests. Stateless; every function
// may be called from any thread at the same time.
namespace EnvironmentTemplateEngine {

// Errors of buildURLRequest, thrown as tarn::PlatformError in the domain
// "Quiller".
inline constexpr long invalidURLErrorCode = 1001;
inline constexpr long unableToComposeURLErrorCode = 1002;

// The enabled variables with a non-empty key; a later row wins over an earlier
// one with the same key. No environment gives an empty map.
VariableMap variableMap(const std::optional<APIEnvironmentProfile>& environment);
VariableMap variableMap(const APIEnvironmentProfile* environment);

// Replaces every "{{name}}" of a known variable with its value. The entries
// are applied one after another in name order, each on the text the previous
// one produced; references to unknown names stay as typed.
std::string interpolate(std::string_view text, const VariableMap& variables);

// The body a request sends and the Content-Type its kind brings.
struct ComposedBody {
    // Absent when the request carries no body at all.
    std::optional<std::string> body{};
    // Empty when the kind brings none.
    std::string_view contentType{};
    // Whether the kind's type replaces a Content-Type the rows give (GraphQL
    // always goes as JSON) or only stands in for a missing one.
    bool replacesGivenContentType = false;
};

// The body of `spec` with its templates filled, as buildURLRequest sends it:
// the text for the JSON, raw and form kinds, the {"query", "variables"}
// document for GraphQL, nothing for none. Code snippets use it to send the
// same bytes.
ComposedBody composeBody(const APIRequestSpec& spec, const VariableMap& variables);

// The request `spec` describes, with every template filled from `variables`:
// the URL (trimmed, then filled) with the enabled query rows appended, the
// method, the enabled header rows, the authentication header and the body with
// its content type. Rows count as enabled when switched on and their stored key
// is not empty; header rows and authentication whose filled-in name is not an
// HTTP token are left out. Throws tarn::PlatformError 1001 "Invalid URL: <url>"
// when the filled-in URL is not a URI reference, and 1002 "Unable to compose
// URL from components." when it makes no URL at all (it is empty).
RequestComposition buildURLRequest(const APIRequestSpec& spec, const VariableMap& variables);

// A secret variable: the key its template names and its value.
struct SecretVariable {
    std::string key;
    std::string value;

    friend bool operator==(const SecretVariable&, const SecretVariable&) = default;
};

// The secret variables with a key and a value, enabled or not, of every
// environment: those of `activeEnvironmentID` first, the others in order, so
// that a value two variables share comes back as the active one's.
std::vector<SecretVariable> secretVariables(const std::vector<APIEnvironmentProfile>& environments,
                                            const std::optional<tarn::UUID>& activeEnvironmentID);

// `spec` as the user would have written it with templates: every occurrence of
// a secret value, as written or percent-encoded, in its name, URL, query and
// header rows, authentication, body, GraphQL variables and assertions becomes
// the "{{key}}" template of its variable. A query item of the URL holding one
// moves, decoded, to a query row of its own, which is encoded again when sent. An Authorization
// header whose Basic credentials hold a secret becomes Basic authentication with templated user and
// password, since the encoded credentials hide the value from the search. For requests made from
// what was seen on the wire (captures, history), so that the secret never reaches the workspace
// file. Values shorter than three bytes are left alone: a template for every "ab" would wreck the
// request.
APIRequestSpec restoringSecretTemplates(APIRequestSpec spec,
                                        const std::vector<SecretVariable>& secrets);

} // namespace EnvironmentTemplateEngine
} // namespace quiller
