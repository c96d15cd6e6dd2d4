#include "TarnKit/Platform/HTTPTransferSupport.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/TLSTrust.h"

#include <algorithm>
#include <array>
#include <new>

namespace tarn::detail {
namespace {

struct CurlErrorMapping {
    CURLcode curlCode;
    long urlCode;
    const char* description;
};

constexpr const char* kConnectionLost = "The network connection was lost.";
constexpr const char* kSecureConnectionFailed =
    "An SSL error has occurred and a secure connection to the server cannot be made.";

constexpr std::array kCurlErrorMappings{
    CurlErrorMapping{CURLE_UNSUPPORTED_PROTOCOL, URLErrorCode::unsupportedURL, "unsupported URL"},
    CurlErrorMapping{CURLE_URL_MALFORMAT, URLErrorCode::badURL, "bad URL"},
    CurlErrorMapping{CURLE_COULDNT_RESOLVE_HOST, URLErrorCode::cannotFindHost,
                     "A server with the specified hostname could not be found."},
    CurlErrorMapping{CURLE_COULDNT_RESOLVE_PROXY, URLErrorCode::cannotFindHost,
                     "A server with the specified hostname could not be found."},
    CurlErrorMapping{CURLE_COULDNT_CONNECT, URLErrorCode::cannotConnectToHost,
                     "Could not connect to the server."},
    CurlErrorMapping{CURLE_OPERATION_TIMEDOUT, URLErrorCode::timedOut, "The request timed out."},
    CurlErrorMapping{CURLE_TOO_MANY_REDIRECTS, URLErrorCode::httpTooManyRedirects,
                     "too many HTTP redirects"},
    CurlErrorMapping{CURLE_GOT_NOTHING, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_RECV_ERROR, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_SEND_ERROR, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_PARTIAL_FILE, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_HTTP2, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_HTTP2_STREAM, URLErrorCode::networkConnectionLost, kConnectionLost},
    CurlErrorMapping{CURLE_WEIRD_SERVER_REPLY, URLErrorCode::badServerResponse,
                     "bad server response"},
    CurlErrorMapping{CURLE_BAD_CONTENT_ENCODING, URLErrorCode::cannotDecodeContentData,
                     "cannot decode content data"},
    CurlErrorMapping{CURLE_FILE_COULDNT_READ_FILE, URLErrorCode::fileDoesNotExist,
                     "The requested URL was not found on this server."},
    CurlErrorMapping{CURLE_SSL_CONNECT_ERROR, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_SSL_CIPHER, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_SSL_ENGINE_NOTFOUND, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_SSL_ENGINE_SETFAILED, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_SSL_CACERT_BADFILE, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_SSL_SHUTDOWN_FAILED, URLErrorCode::secureConnectionFailed,
                     kSecureConnectionFailed},
    CurlErrorMapping{CURLE_PEER_FAILED_VERIFICATION, URLErrorCode::serverCertificateUntrusted,
                     nullptr},
    CurlErrorMapping{CURLE_SSL_ISSUER_ERROR, URLErrorCode::serverCertificateUntrusted, nullptr},
    CurlErrorMapping{CURLE_SSL_PINNEDPUBKEYNOTMATCH, URLErrorCode::serverCertificateUntrusted,
                     nullptr},
    CurlErrorMapping{CURLE_SSL_INVALIDCERTSTATUS, URLErrorCode::serverCertificateUntrusted,
                     nullptr},
    CurlErrorMapping{CURLE_SSL_CERTPROBLEM, URLErrorCode::clientCertificateRejected,
                     "The server did not accept the certificate."},
    CurlErrorMapping{CURLE_SSL_CLIENTCERT, URLErrorCode::clientCertificateRejected,
                     "The server did not accept the certificate."},
};

struct URLCleanup {
    void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
struct CurlFree {
    void operator()(char* text) const noexcept { curl_free(text); }
};
using URLHandle = std::unique_ptr<CURLU, URLCleanup>;
using CurlString = std::unique_ptr<char, CurlFree>;

std::optional<std::string> urlPart(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK)
        return std::nullopt;
    CurlString owned(raw);
    return std::string(owned.get());
}

URLHandle parseURL(const std::string& text) {
    URLHandle url(curl_url());
    if (!url)
        throw std::bad_alloc();
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return nullptr;
    return url;
}

} // namespace

// --- Errors ------------------------------------------------------------------------

[[noreturn]] void throwURLError(long code, const std::string& description) {
    throw PlatformError(kURLErrorDomain, code, description);
}

[[noreturn]] void throwCancelled() {
    throwURLError(URLErrorCode::cancelled, "cancelled");
}
[[noreturn]] void throwTimedOut() {
    throwURLError(URLErrorCode::timedOut, "The request timed out.");
}

[[noreturn]] void throwConnectionLost() {
    throwURLError(URLErrorCode::networkConnectionLost, kConnectionLost);
}

[[noreturn]] void throwHeadTooLarge() {
    throwURLError(URLErrorCode::dataLengthExceedsMaximum,
                  "The response head is larger than 300 KiB.");
}

[[noreturn]] void throwHeaderLineTooLarge() {
    throwURLError(URLErrorCode::dataLengthExceedsMaximum,
                  "A header line of the response is larger than 100 KiB.");
}

[[noreturn]] void throwForCurlCode(CURLcode code, const char* detail, long verifyResult) {
    if (code == CURLE_OUT_OF_MEMORY)
        throwURLError(URLErrorCode::unknown, "There is not enough memory to complete the request.");
    for (const CurlErrorMapping& mapping : kCurlErrorMappings) {
        if (mapping.curlCode != code)
            continue;
        if (mapping.urlCode == URLErrorCode::serverCertificateUntrusted)
            throwURLError(mapping.urlCode, TLSTrust::invalidCertificateDescription(verifyResult));
        throwURLError(mapping.urlCode, mapping.description);
    }
    const std::string reason =
        detail != nullptr && *detail != '\0' ? detail : curl_easy_strerror(code);
    throwURLError(URLErrorCode::unknown, "The operation couldn’t be completed. (" + reason + ")");
}

[[noreturn]] void throwForMultiCode(CURLMcode code) {
    if (code == CURLM_OUT_OF_MEMORY)
        throw std::bad_alloc();
    throwURLError(URLErrorCode::unknown, std::string("The operation couldn’t be completed. (") +
                                             curl_multi_strerror(code) + ")");
}

// --- Handles -----------------------------------------------------------------------

void ensureCurlInitialised() {
    // curl_global_init is not safe to race with itself or with handle creation.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throwForCurlCode(result, nullptr);
}

void appendHeader(HeaderList& list, const std::string& line) {
    curl_slist* extended = curl_slist_append(list.get(), line.c_str());
    if (extended == nullptr)
        throw std::bad_alloc();
    (void)list.release(); // curl_slist_append returns the same head it extended
    list.reset(extended);
}

// --- Text --------------------------------------------------------------------------

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), ascii::isTokenCharacter);
}

std::string_view trimmingBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// --- URLs --------------------------------------------------------------------------

std::string schemePrefix(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    const std::string_view scheme = text.substr(0, colon);
    if (!ascii::isLetter(scheme.front()))
        return {};
    for (char c : scheme)
        if (!ascii::isAlphanumeric(c) && c != '+' && c != '-' && c != '.')
            return {};
    return ascii::lowercased(std::string(scheme));
}

std::optional<std::string> schemeOf(const std::string& text) {
    URLHandle url = parseURL(text);
    if (!url)
        return std::nullopt;
    auto scheme = urlPart(url.get(), CURLUPART_SCHEME);
    return scheme ? std::optional(ascii::lowercased(*scheme)) : std::nullopt;
}

Origin originOf(const std::string& text) {
    Origin origin;
    if (URLHandle url = parseURL(text)) {
        origin.scheme = ascii::lowercased(urlPart(url.get(), CURLUPART_SCHEME).value_or(""));
        origin.host = ascii::lowercased(urlPart(url.get(), CURLUPART_HOST).value_or(""));
        origin.port = urlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or("");
    }
    return origin;
}

bool isHTTPScheme(std::string_view scheme) {
    return scheme == "http" || scheme == "https";
}

std::string certificateHostOf(const std::string& text) {
    URLHandle url = parseURL(text);
    if (!url)
        return {};
    std::string host = urlPart(url.get(), CURLUPART_HOST, CURLU_PUNYCODE).value_or("");
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host;
}

} // namespace tarn::detail
