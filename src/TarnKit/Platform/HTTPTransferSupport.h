#pragma once

// Internals of HTTPTransfer: owners of libcurl's handles, the mapping of its
// failures to URL errors, and small text and URL helpers. Included by the
// transfer's sources only, so curl's headers stay out of every other file.
// Everything here may be used from any thread; a handle belongs to one thread
// at a time.

#include <curl/curl.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::detail {

// --- Errors ------------------------------------------------------------------------

// Each throws tarn::PlatformError in kURLErrorDomain.
[[noreturn]] void throwURLError(long code, const std::string& description);
[[noreturn]] void throwCancelled();
[[noreturn]] void throwTimedOut();
[[noreturn]] void throwConnectionLost();
// Past the bounds of a response head: the whole head, one line of it.
[[noreturn]] void throwHeadTooLarge();
[[noreturn]] void throwHeaderLineTooLarge();
// The URL error of a failed transfer; `detail` (curl's error buffer, may be
// null or empty) only words the errors that have no URL error of their own.
// `verifyResult`, OpenSSL's verdict on the server's certificate, gives the
// reason of a certificate that was not accepted.
[[noreturn]] void throwForCurlCode(CURLcode code, const char* detail, long verifyResult = 0);
[[noreturn]] void throwForMultiCode(CURLMcode code);

// --- Handles -----------------------------------------------------------------------

// Initialises libcurl once per process; throws when that failed.
void ensureCurlInitialised();

struct EasyCleanup {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct MultiCleanup {
    void operator()(CURLM* handle) const noexcept { curl_multi_cleanup(handle); }
};
struct SlistCleanup {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using MultiHandle = std::unique_ptr<CURLM, MultiCleanup>;
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;

// Keeps an easy handle in a multi handle for one scope.
class MultiAttachment {
public:
    MultiAttachment(CURLM* multi, CURL* easy) : m_multi(multi), m_easy(easy) {
        if (const CURLMcode code = curl_multi_add_handle(multi, easy); code != CURLM_OK)
            throwForMultiCode(code);
    }
    ~MultiAttachment() { curl_multi_remove_handle(m_multi, m_easy); }
    MultiAttachment(const MultiAttachment&) = delete;
    MultiAttachment& operator=(const MultiAttachment&) = delete;

private:
    CURLM* m_multi;
    CURL* m_easy;
};

template <typename Value> void setOption(CURL* easy, CURLoption option, Value value) {
    if (const CURLcode code = curl_easy_setopt(easy, option, value); code != CURLE_OK)
        throwForCurlCode(code, nullptr);
}

// Appends one line to a header list.
void appendHeader(HeaderList& list, const std::string& line);

// --- Text --------------------------------------------------------------------------

// An HTTP token (RFC 9110): one or more of letters, digits and
// "!#$%&'*+-.^_`|~".
bool isToken(std::string_view text);
// Without blanks and tabs at either end.
std::string_view trimmingBlanks(std::string_view text);

// --- URLs --------------------------------------------------------------------------

// The scheme the text starts with (RFC 3986: a letter, then letters, digits,
// "+", "-" and "."; then ":"), in lower case; "" when it starts with none.
std::string schemePrefix(std::string_view text);
// The scheme in lower case when curl reads the text as an absolute URL.
std::optional<std::string> schemeOf(const std::string& text);
bool isHTTPScheme(std::string_view scheme);
// The host a server's certificate must name: an IDN name in its ASCII form,
// an IPv6 address without brackets; "" when the URL has none.
std::string certificateHostOf(const std::string& text);

// Scheme, host and port (the scheme's default when none is written), in
// lower case: two URLs of equal origins may share credentials.
struct Origin {
    std::string scheme;
    std::string host;
    std::string port;

    friend bool operator==(const Origin&, const Origin&) = default;
};
Origin originOf(const std::string& text);

} // namespace tarn::detail
