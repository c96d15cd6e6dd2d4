#pragma once

// The URL loading system: one HTTP(S) or file exchange at a time, on libcurl.
//
// Every transfer is "ephemeral": it gets its own handles, connection cache,
// DNS cache and in-memory cookie jar, so nothing of one transfer (connections,
// cookies, cached answers) is ever seen by another. Redirects are followed by
// hand, which is what lets the phase timings describe the exchange that
// produced the final response.
//
// Servers are verified against the process's shared trust store (TLSTrust.h):
// the system's certificates plus SSL_CERT_FILE and SSL_CERT_DIR. Only the
// certificates are shared; TLS sessions stay with their transfer.
//
// What a response may hold in memory is bounded (see the limits below); past
// a bound the transfer stops with an error that names it.
//
// The functions block the calling thread and may run on many threads at once.
// A stop requested on the token ends a transfer within a few milliseconds;
// the stop callback runs on the requesting thread and only wakes the waiting
// one. Callbacks given to a transfer run on the calling thread.

#include "TarnKit/Platform/HTTPPhaseTimings.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Errors of the URL loading system, thrown as tarn::PlatformError.
inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";

namespace URLErrorCode {
inline constexpr long unknown = -1;
inline constexpr long cancelled = -999;
inline constexpr long badURL = -1000;
inline constexpr long timedOut = -1001;
inline constexpr long unsupportedURL = -1002;
inline constexpr long cannotFindHost = -1003;
inline constexpr long cannotConnectToHost = -1004;
inline constexpr long networkConnectionLost = -1005;
inline constexpr long httpTooManyRedirects = -1007;
inline constexpr long badServerResponse = -1011;
inline constexpr long cannotDecodeContentData = -1016;
inline constexpr long fileDoesNotExist = -1100;
inline constexpr long dataLengthExceedsMaximum = -1103;
inline constexpr long noPermissionsToReadFile = -1102;
inline constexpr long secureConnectionFailed = -1200;
inline constexpr long serverCertificateUntrusted = -1202;
inline constexpr long clientCertificateRejected = -1205;
} // namespace URLErrorCode

struct HTTPTransferHeader {
    std::string name;
    std::string value;

    friend bool operator==(const HTTPTransferHeader&, const HTTPTransferHeader&) = default;
};

struct HTTPTransferRequest {
    // An absolute http, https or file URL.
    std::string url{};
    // Sent as given; "HEAD" asks for the head alone.
    std::string method = "GET";
    // Sent in this order. An empty value is sent as an empty field. Names that
    // are not HTTP tokens are left out and CR, LF and NUL in values become
    // blanks, so no header can split a request.
    std::vector<HTTPTransferHeader> headers{};
    // Absent: no body at all. Present (even empty): sent with its length.
    std::optional<std::string> body{};
    // The longest wait for the connection or for the next bytes in either
    // direction; a slow but steady transfer is never cut off.
    std::chrono::milliseconds idleTimeout{30'000};
};

struct HTTPTransferResponse {
    // False for a file URL: no status and no headers then.
    bool isHTTP = false;
    int statusCode = 0;
    // The head of the final response only: fields with the same name in any
    // letter case merged into the first one's, values joined by ", ", in the
    // order they first appeared.
    std::vector<HTTPTransferHeader> headers{};
    // Decoded as the Content-Encoding says (gzip, deflate, br, zstd).
    std::string body{};
    // The URL of the final response, after redirects.
    std::string url{};
    HTTPPhaseTimings timings{};
};

namespace HTTPTransfer {

// The decoded body that perform() keeps.
inline constexpr std::size_t kMaximumBodyBytes = std::size_t{256} * 1024 * 1024;
// Spare capacity perform() leaves behind every body it keeps, so that a parser
// that reads a little past the end of its input (a JSON parser's padding) can
// read the body where it lies instead of copying it.
inline constexpr std::size_t kBodyPaddingBytes = 64;
// One response head, status line and fields, and one line of it: curl's own
// bounds, which no head gets past.
inline constexpr std::size_t kMaximumHeadBytes = std::size_t{300} * 1024;
inline constexpr std::size_t kMaximumHeaderLineBytes = std::size_t{100} * 1024;

// Performs the request and returns the final response, whatever its status.
// Follows up to 16 redirects (301, 302, 303, 307 and 308 with a Location) to
// http and https only: 303 turns into a body-less GET (HEAD stays HEAD), 301
// and 302 turn a POST into a body-less GET, 307 and 308 keep method and body;
// a body that is dropped takes its Content-* fields with it, and a move to
// another origin drops Authorization and Cookie. Cookies set along the way are
// sent on later hops of the same transfer only.
//
// Throws tarn::PlatformError in kURLErrorDomain: cancelled when `stop` is
// requested, timedOut when idle too long, dataLengthExceedsMaximum past a
// limit ("The response is larger than 256 MiB."), networkConnectionLost for a
// body shorter than its Content-Length, serverCertificateUntrusted with the
// reason ("The certificate for this server is invalid: certificate has
// expired."), and the other URLErrorCode values for transport failures, each
// with a plain English description.
HTTPTransferResponse perform(const HTTPTransferRequest& request, std::stop_token stop);

// The same exchange, but the body of the final response goes to `onBody`
// piece by piece as it arrives instead of being kept; the head is not
// reported. Returns when the body has ended. An exception thrown by `onBody`
// ends the transfer and propagates unchanged.
void stream(const HTTPTransferRequest& request, std::stop_token stop,
            const std::function<void(std::string_view)>& onBody);

} // namespace HTTPTransfer
} // namespace tarn
