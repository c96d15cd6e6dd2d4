#include "TarnKit/Cloud/TarnAIClient.h"

#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

namespace tarn {
namespace {

using Json = nlohmann::json;

// The transfer layer would also load file URLs; a chat endpoint is only ever
// reached over HTTP, so anything else is refused before it can be read.
bool isUsableEndpoint(std::string_view endpoint) {
    return isHTTPURLWithHost(endpoint);
}

// CR, LF and NUL would end the header line early (or, scrubbed to blanks by
// the transfer layer, change the key); every other byte goes out as given.
std::string headerSafeKey(std::string_view key) {
    std::string safe;
    safe.reserve(key.size());
    for (const char c : key)
        if (c != '\r' && c != '\n' && c != '\0')
            safe.push_back(c);
    return safe;
}

std::string requestBody(std::string_view systemPrompt, std::string_view userPrompt,
                        const TarnAIConfig& config) {
    // The writer turns invalid UTF-8 into U+FFFD, so any prompt serialises.
    json::Writer writer(json::Style::compact);
    writer.beginObject();
    writer.key("model");
    writer.string(config.model);
    writer.key("messages");
    writer.beginArray();
    const std::pair<const char*, std::string_view> messages[] = {{"system", systemPrompt},
                                                                 {"user", userPrompt}};
    for (const auto& [role, content] : messages) {
        writer.beginObject();
        writer.key("role");
        writer.string(role);
        writer.key("content");
        writer.string(content);
        writer.endObject();
    }
    writer.endArray();
    if (config.provider == TarnAIProvider::ollamaLocal) {
        // Ollama streams by default; one whole answer is what is read here.
        writer.key("stream");
        writer.boolean(false);
    }
    writer.endObject();
    return writer.finish();
}

// The start of an error answer's body, or nothing when it is not UTF-8.
std::string errorMessage(std::string_view body) {
    if (!text::isValidUTF8(body))
        return {};
    return std::string(text::prefixCharacters(body, TarnAIClient::maxErrorMessageCharacters));
}

const Json* member(const Json& object, const char* key, Json::value_t type) {
    const auto found = object.find(key);
    if (found == object.end() || found->type() != type)
        return nullptr;
    return &*found;
}

// The "content" text of a message object.
const Json* messageContent(const Json& holder) {
    const Json* message = member(holder, "message", Json::value_t::object);
    return message ? member(*message, "content", Json::value_t::string) : nullptr;
}

// One reading for every provider: the OpenAI form ("choices"), then Ollama's
// chat form ("message"), then a plain "response".
const Json* answerText(const Json& reply) {
    if (const Json* choices = member(reply, "choices", Json::value_t::array);
        choices && !choices->empty() &&
        std::all_of(choices->begin(), choices->end(), [](const Json& c) { return c.is_object(); }))
        if (const Json* content = messageContent(choices->front()))
            return content;
    if (const Json* content = messageContent(reply))
        return content;
    return member(reply, "response", Json::value_t::string);
}

} // namespace

std::string TarnAIClient::complete(std::string_view systemPrompt, std::string_view userPrompt,
                                   const TarnAIConfig& config,
                                   const std::optional<std::string>& apiKey,
                                   std::stop_token stop) const {
    if (!isUsableEndpoint(config.endpointURL))
        throw TarnAIClientError::invalidEndpoint();

    const bool sendsKey = config.provider != TarnAIProvider::ollamaLocal;
    std::string key;
    if (sendsKey) {
        // Checked after scrubbing, so a key of NULs alone cannot pass as one.
        key = headerSafeKey(apiKey.value_or(std::string()));
        if (text::trimmingWhitespaceAndNewlines(key).empty())
            throw TarnAIClientError::missingAPIKey();
    }

    HTTPTransferRequest request;
    request.url = config.endpointURL;
    request.method = "POST";
    request.headers.push_back({"Content-Type", "application/json"});
    if (sendsKey)
        request.headers.push_back({"Authorization", "Bearer " + key});
    request.body = requestBody(systemPrompt, userPrompt, config);
    request.idleTimeout = idleTimeout;

    const HTTPTransferResponse response = HTTPTransfer::perform(request, std::move(stop));
    if (!response.isHTTP)
        throw TarnAIClientError::emptyResponse();
    if (response.statusCode < 200 || response.statusCode > 299)
        throw TarnAIClientError::httpError(response.statusCode, errorMessage(response.body));

    const std::optional<Json> reply = json::parse(response.body);
    if (!reply)
        throw PlatformError(kJSONReadingErrorDomain, kJSONReadingCorruptErrorCode,
                            "The data couldn’t be read because it isn’t in the correct format.");
    if (!reply->is_object())
        throw TarnAIClientError::emptyResponse();
    const Json* answer = answerText(*reply);
    if (answer == nullptr)
        throw TarnAIClientError::emptyResponse();
    return std::string(text::trimmingWhitespaceAndNewlines(answer->get_ref<const std::string&>()));
}

} // namespace tarn
