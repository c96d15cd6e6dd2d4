#pragma once

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/PlatformError.h"

#include <string>

namespace tarn {

// The failures of TarnAIClient::complete that are its own (transport and JSON
// errors pass through as they are). Domain "TarnKit.TarnAIClientError"; the
// code is the kind's position in Kind. what() holds the description in the
// interface language of the moment the error was made; errorDescription()
// reads it again in the language current when it is called. Safe to copy and
// read from any thread.
class TarnAIClientError : public PlatformError {
public:
    enum class Kind { httpError, invalidEndpoint, missingAPIKey, emptyResponse };

    // `message` is kept as given; the client passes at most 300 characters.
    static TarnAIClientError httpError(int statusCode, std::string message);
    static TarnAIClientError invalidEndpoint();
    static TarnAIClientError missingAPIKey();
    static TarnAIClientError emptyResponse();

    Kind kind() const noexcept { return m_kind; }
    // httpError: the response's status code and the start of its body; 0 and
    // empty for the other kinds.
    int statusCode() const noexcept { return m_statusCode; }
    const std::string& message() const noexcept { return m_message; }

    // httpError is "HTTP <code>: <message>" in every language; the others are
    // in English or Turkish (texts of the other languages come from the packs).
    std::string errorDescription(TarnLanguage language) const;
    std::string errorDescription() const;

    friend bool operator==(const TarnAIClientError& a, const TarnAIClientError& b) {
        return a.m_kind == b.m_kind && a.m_statusCode == b.m_statusCode &&
               a.m_message == b.m_message;
    }

private:
    TarnAIClientError(Kind kind, int statusCode, std::string message);

    Kind m_kind;
    int m_statusCode = 0;
    std::string m_message;
};

} // namespace tarn
