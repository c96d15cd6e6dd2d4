#pragma once

#include "TarnKit/Cloud/TarnAIClientError.h"
#include "TarnKit/Cloud/TarnAIConfig.h"
#include "TarnKit/Cloud/TarnAIProvider.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tarn {

// The error a reply that is not JSON at all raises: tarn::PlatformError in
// this domain with this code, as the platform's JSON reader reports it.
inline constexpr const char* kJSONReadingErrorDomain = "NSCocoaErrorDomain";
inline constexpr long kJSONReadingCorruptErrorCode = 3840;

// Asks an AI provider for one chat completion: one system and one user prompt
// in, the provider's answer out. No conversation is kept and nothing streams;
// every call is one JSON POST and one JSON answer, so calls are independent
// and may run on any number of threads at once.
struct TarnAIClient {
    // The longest the provider may stay silent (while connecting, sending or
    // answering) before the call fails as timed out. A model that answers
    // slowly but steadily is never cut off.
    static constexpr std::chrono::seconds idleTimeout{90};
    // How much of an error answer's body an httpError keeps, in characters
    // (user-perceived characters, so no letter or accent is ever split).
    static constexpr std::size_t maxErrorMessageCharacters = 300;

    // Blocks the calling thread (never the main one) for the exchange and
    // returns the answer trimmed of white space and newlines, possibly empty.
    //
    // Before any connection: the endpoint must be an absolute http or https
    // URL with a host (else TarnAIClientError::invalidEndpoint), and, for
    // every provider but the local one, `apiKey` must hold more than white
    // space and newlines (else missingAPIKey). The key is sent as
    // "Authorization: Bearer <key>" exactly as given, except that CR, LF and
    // NUL are left out so it can never split the request's head; the local
    // provider never receives it.
    //
    // Throws TarnAIClientError::httpError for a status outside 200..299 (with
    // the first maxErrorMessageCharacters of the body, or nothing when the
    // body is not UTF-8), tarn::PlatformError in kJSONReadingErrorDomain for a
    // body that is not JSON, emptyResponse for JSON that holds no answer text,
    // and the URL loading system's errors (kURLErrorDomain) unchanged,
    // `cancelled` among them when `stop` is requested.
    std::string complete(std::string_view systemPrompt, std::string_view userPrompt,
                         const TarnAIConfig& config, const std::optional<std::string>& apiKey,
                         std::stop_token stop = {}) const;
};

} // namespace tarn
