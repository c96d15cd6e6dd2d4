#include "TarnKit/Platform/HTTPTransfer.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/HTTPTransferSupport.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/TLSTrust.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <curl/curl.h>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace tarn {
namespace {

using namespace detail;
using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 16;
// Pieces of a body of unknown length grow from the first size to the last.
constexpr std::size_t kFirstBlockBytes = 64 * 1024;
constexpr std::size_t kLargestBlockBytes = 16 * 1024 * 1024;

[[noreturn]] void throwBodyTooLarge() {
    throwURLError(URLErrorCode::dataLengthExceedsMaximum, "The response is larger than 256 MiB.");
}

// A body kept in memory, at most HTTPTransfer::kMaximumBodyBytes. It arrives
// in pieces of growing size instead of one buffer that doubles: growing would
// hold the old and the new buffer at once and copy the body again and again.
// A body whose length was announced goes into one piece of that size and is
// handed over without any copy. Every piece keeps kBodyPaddingBytes spare at
// its end, so the body handed over always has them.
class BodyCollector {
public:
    // A length announced by the server; reserving it costs address space
    // only, since untouched pages take no memory.
    void expect(curl_off_t length) {
        if (m_blocks.empty() && length > 0)
            addBlock(static_cast<std::size_t>(
                std::min<curl_off_t>(length, HTTPTransfer::kMaximumBodyBytes)));
    }

    void append(std::string_view bytes) {
        if (bytes.size() > HTTPTransfer::kMaximumBodyBytes - m_size)
            throwBodyTooLarge();
        m_size += bytes.size();
        while (!bytes.empty()) {
            if (m_blocks.empty() || room(m_blocks.back()) == 0)
                addBlock(std::clamp(m_size, kFirstBlockBytes, kLargestBlockBytes));
            std::string& block = m_blocks.back();
            const std::size_t take = std::min(bytes.size(), room(block));
            block.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
        }
    }

    bool empty() const { return m_size == 0; }

    // The body in one piece; each piece is released as soon as it is copied.
    std::string take() {
        std::string whole;
        if (m_blocks.size() == 1) {
            // Moved out of the vector: returning front() of a temporary would copy.
            whole = std::move(m_blocks.front());
            m_blocks.clear();
            return whole;
        }
        whole.reserve(m_size + HTTPTransfer::kBodyPaddingBytes);
        for (std::string& block : m_blocks)
            whole.append(std::exchange(block, {}));
        m_blocks.clear();
        return whole;
    }

private:
    void addBlock(std::size_t capacity) {
        m_blocks.emplace_back().reserve(capacity + HTTPTransfer::kBodyPaddingBytes);
    }
    static std::size_t room(const std::string& block) {
        const std::size_t spare = block.capacity() - block.size();
        return spare > HTTPTransfer::kBodyPaddingBytes ? spare - HTTPTransfer::kBodyPaddingBytes
                                                       : 0;
    }

    std::vector<std::string> m_blocks;
    std::size_t m_size = 0;
};

// --- One exchange ----------------------------------------------------------------

// What is sent on one hop of a transfer.
struct Hop {
    std::string url;
    std::string method;
    std::vector<HTTPTransferHeader> headers;
    std::optional<std::string> body;
};

// Where the body of the final response goes.
struct BodySink {
    BodyCollector* buffer = nullptr;                               // perform
    const std::function<void(std::string_view)>* stream = nullptr; // stream

    void deliver(std::string_view bytes) const {
        if (buffer != nullptr)
            buffer->append(bytes);
        else
            (*stream)(bytes);
    }
};

// A Content-Length made of digits that no 64-bit count can hold: curl then
// reads to the close of the connection, and whatever arrives is shorter than
// announced.
bool isOverflowingLength(std::string_view value) {
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::int64_t length = 0;
    return std::from_chars(value.data(), value.data() + value.size(), length).ec ==
           std::errc::result_out_of_range;
}

bool isFollowedRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// State shared with curl's callbacks during one hop; they run on the thread
// that drives the multi handle, so nothing here needs a lock.
struct HopState {
    CURL* easy = nullptr;
    BodySink sink;
    // The name the server's certificate must carry.
    std::string certificateHost;

    std::vector<HTTPTransferHeader> headers;
    int status = 0;
    bool inHead = false;
    // Set at the end of a redirect's head: its body is held back, because
    // whether it is the final body is only known once the hop is over.
    bool heldBack = false;
    BodyCollector heldBody;
    bool reserved = false;
    // Bytes of the current head, bounded by HTTPTransfer::kMaximumHeadBytes.
    std::size_t headBytes = 0;
    // The final head announced a length no body can reach.
    bool lengthOverflows = false;

    Clock::time_point lastActivity = Clock::now();
    curl_off_t downloaded = 0;
    curl_off_t uploaded = 0;

    std::exception_ptr failure;

    // Fields by their name in lower case, so that a head with very many
    // fields costs linear time.
    std::unordered_map<std::string, std::size_t> fieldIndex;
    // The field the previous line added to, for a folded continuation.
    std::optional<std::size_t> lastField;

    bool hasField(std::string_view name) const {
        return fieldIndex.contains(ascii::lowercased(std::string(name)));
    }

    void addHeaderLine(std::string_view line) {
        if (line.front() == ' ' || line.front() == '\t') {
            // An obsolete folded continuation belongs to the field before it.
            const std::string_view more = trimmingBlanks(line);
            if (lastField && !more.empty()) {
                std::string& value = headers[*lastField].value;
                value += value.empty() ? "" : " ";
                value += more;
            }
            return;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            lastField.reset();
            return;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = trimmingBlanks(line.substr(colon + 1));
        const auto [slot, isNew] =
            fieldIndex.try_emplace(ascii::lowercased(std::string(name)), headers.size());
        lastField = slot->second;
        if (isNew) {
            headers.push_back({std::string(name), std::string(value)});
        } else {
            headers[slot->second].value += ", ";
            headers[slot->second].value += value;
        }
    }

    void onHeaderLine(std::string_view line) {
        lastActivity = Clock::now();
        headBytes += line.size();
        if (headBytes > HTTPTransfer::kMaximumHeadBytes)
            throwHeadTooLarge();
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        if (line.starts_with("HTTP/")) {
            // Every head (interim 1xx, proxy CONNECT answers, the final one)
            // starts afresh: only the final head is reported.
            headers.clear();
            fieldIndex.clear();
            lastField.reset();
            inHead = true;
            heldBack = false;
            headBytes = line.size();
            lengthOverflows = false;
            const auto space = line.find(' ');
            status = 0;
            if (space != std::string_view::npos && line.size() >= space + 4) {
                const std::string_view digits = line.substr(space + 1, 3);
                if (std::all_of(digits.begin(), digits.end(),
                                [](char c) { return c >= '0' && c <= '9'; }))
                    status = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
            }
            return;
        }
        if (!inHead)
            return; // trailers after a chunked body are not part of the head
        if (line.empty()) {
            inHead = false;
            heldBack = isFollowedRedirectStatus(status) && hasField("Location");
            if (const auto field = fieldIndex.find("content-length"); field != fieldIndex.end())
                lengthOverflows = isOverflowingLength(headers[field->second].value);
            return;
        }
        addHeaderLine(line);
    }

    void onBody(std::string_view bytes) {
        lastActivity = Clock::now();
        if (heldBack) {
            heldBody.append(bytes);
            return;
        }
        if (sink.buffer != nullptr && !reserved) {
            reserved = true;
            curl_off_t length = -1;
            if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
                sink.buffer->expect(length);
        }
        sink.deliver(bytes);
    }

    void onProgress(curl_off_t downloadedNow, curl_off_t uploadedNow) {
        if (downloadedNow != downloaded || uploadedNow != uploaded) {
            downloaded = downloadedNow;
            uploaded = uploadedNow;
            lastActivity = Clock::now();
        }
    }
};

std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* context) {
    auto* state = static_cast<HopState*>(context);
    try {
        state->onHeaderLine(std::string_view(data, size * count));
        return size * count;
    } catch (...) {
        state->failure = std::current_exception();
        return CURL_WRITEFUNC_ERROR;
    }
}

std::size_t writeCallback(char* data, std::size_t size, std::size_t count, void* context) {
    auto* state = static_cast<HopState*>(context);
    try {
        state->onBody(std::string_view(data, size * count));
        return size * count;
    } catch (...) {
        state->failure = std::current_exception();
        return CURL_WRITEFUNC_ERROR;
    }
}

CURLcode sslContextCallback(CURL*, void* context, void* data) {
    const auto* state = static_cast<const HopState*>(data);
    return TLSTrust::prepareClientContext(static_cast<ssl_ctx_st*>(context), state->certificateHost)
               ? CURLE_OK
               : CURLE_SSL_CACERT_BADFILE;
}

int progressCallback(void* context, curl_off_t, curl_off_t downloaded, curl_off_t,
                     curl_off_t uploaded) {
    static_cast<HopState*>(context)->onProgress(downloaded, uploaded);
    return 0;
}

std::string userAgent() {
    return std::string(buildinfo::productName) + "/" + buildinfo::version;
}

void configureHop(CURL* easy, const Hop& hop, bool firstHop, HopState& state,
                  HeaderList& headerList, char* errorBuffer,
                  std::chrono::milliseconds idleTimeout) {
    // Every option is set again on every hop (curl_easy_reset would leak the
    // cookie engine's file list); the cookie jar lives in the easy handle and
    // connections and DNS answers in the multi handle, so hops share them.
    setOption(easy, CURLOPT_URL, hop.url.c_str());
    setOption(easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
    setOption(easy, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(easy, CURLOPT_NOSIGNAL, 1L);
    setOption(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    setOption(easy, CURLOPT_ACCEPT_ENCODING, "");
    if (firstHop)
        setOption(easy, CURLOPT_COOKIEFILE, "");
    setOption(easy, CURLOPT_USERAGENT, userAgent().c_str());
    // 0 would mean curl's own default of five minutes.
    setOption(easy, CURLOPT_CONNECTTIMEOUT_MS,
              static_cast<long>(std::max<std::chrono::milliseconds::rep>(idleTimeout.count(), 1)));
    setOption(easy, CURLOPT_HEADERFUNCTION, headerCallback);
    setOption(easy, CURLOPT_HEADERDATA, static_cast<void*>(&state));
    setOption(easy, CURLOPT_WRITEFUNCTION, writeCallback);
    setOption(easy, CURLOPT_WRITEDATA, static_cast<void*>(&state));
    setOption(easy, CURLOPT_XFERINFOFUNCTION, progressCallback);
    setOption(easy, CURLOPT_XFERINFODATA, static_cast<void*>(&state));
    setOption(easy, CURLOPT_NOPROGRESS, 0L);
    // The shared trust store replaces curl's own loading of the system
    // bundle, which would parse every certificate again for each transfer.
    setOption(easy, CURLOPT_CAINFO, static_cast<const char*>(nullptr));
    setOption(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    setOption(easy, CURLOPT_SSL_CTX_FUNCTION, sslContextCallback);
    setOption(easy, CURLOPT_SSL_CTX_DATA, static_cast<void*>(&state));

    const auto setBody = [&] {
        setOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body->size()));
        setOption(easy, CURLOPT_POSTFIELDS, hop.body->c_str());
    };
    // Back to a plain GET first: setting POSTFIELDS (even to nothing) would
    // switch to POST.
    setOption(easy, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    setOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(-1));
    setOption(easy, CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
    setOption(easy, CURLOPT_HTTPGET, 1L);
    if (hop.method == "HEAD") {
        setOption(easy, CURLOPT_NOBODY, 1L);
    } else if (hop.method == "POST") {
        setOption(easy, CURLOPT_POST, 1L);
        if (hop.body)
            setBody();
        else
            setOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
    } else if (hop.method != "GET" || hop.body) {
        setOption(easy, CURLOPT_CUSTOMREQUEST, hop.method.c_str());
        if (hop.body)
            setBody();
    }

    headerList.reset();
    bool hasContentType = false;
    for (const HTTPTransferHeader& field : hop.headers) {
        if (!isToken(field.name))
            continue;
        hasContentType = hasContentType || ascii::equalsIgnoringCase(field.name, "Content-Type");
        std::string value = field.value;
        std::replace_if(
            value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; },
            ' ');
        // curl drops "Name:" lines; "Name;" is its spelling of an empty field.
        appendHeader(headerList, value.empty() ? field.name + ";" : field.name + ": " + value);
    }
    // curl would label a POST as a form on its own; send only what was asked.
    if (!hasContentType)
        appendHeader(headerList, "Content-Type:");
    // Never sit waiting for a "100 Continue" that many servers do not send.
    appendHeader(headerList, "Expect:");
    setOption(easy, CURLOPT_HTTPHEADER, headerList.get());
}

double millisecondsOf(curl_off_t microseconds) {
    return std::max<double>(0.0, static_cast<double>(microseconds) / 1000.0);
}

curl_off_t timeInfo(CURL* easy, CURLINFO info) {
    curl_off_t value = 0;
    if (curl_easy_getinfo(easy, info, &value) != CURLE_OK)
        return 0;
    return value;
}

// The phases of the hop just finished; its total is added by the caller.
HTTPPhaseTimings phasesOf(CURL* easy) {
    const curl_off_t lookup = timeInfo(easy, CURLINFO_NAMELOOKUP_TIME_T);
    const curl_off_t connect = timeInfo(easy, CURLINFO_CONNECT_TIME_T);
    const curl_off_t appConnect = timeInfo(easy, CURLINFO_APPCONNECT_TIME_T);
    const curl_off_t preTransfer = timeInfo(easy, CURLINFO_PRETRANSFER_TIME_T);
    const curl_off_t startTransfer = timeInfo(easy, CURLINFO_STARTTRANSFER_TIME_T);
    const curl_off_t total = timeInfo(easy, CURLINFO_TOTAL_TIME_T);
    long newConnections = 0;
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &newConnections);

    HTTPPhaseTimings timings;
    if (newConnections > 0) {
        timings.dnsMs = millisecondsOf(lookup);
        timings.tcpMs = millisecondsOf(connect - lookup);
        timings.tlsMs = appConnect > 0 ? millisecondsOf(appConnect - connect) : 0.0;
    }
    timings.ttfbMs = startTransfer > 0 ? millisecondsOf(startTransfer - preTransfer) : 0.0;
    timings.downloadMs = startTransfer > 0 ? millisecondsOf(total - startTransfer) : 0.0;
    timings.totalMs = millisecondsOf(total);
    return timings;
}

// Drives one hop to its end. Returns curl's verdict; throws on a stop, an idle
// time-out or a failure of the multi interface itself.
CURLcode runHop(CURLM* multi, CURL* easy, HopState& state, const std::stop_token& stop,
                std::chrono::milliseconds idleTimeout) {
    const MultiAttachment attachment(multi, easy);
    // Wakes the poll below at once; curl_multi_wakeup may be called from any
    // thread. Destroyed (and so waited for) before the handle goes.
    const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    state.lastActivity = Clock::now();
    for (;;) {
        if (stop.stop_requested())
            throwCancelled();
        int running = 0;
        if (const CURLMcode code = curl_multi_perform(multi, &running); code != CURLM_OK)
            throwForMultiCode(code);
        if (running == 0)
            break;
        const auto idleLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
            state.lastActivity + idleTimeout - Clock::now());
        if (idleLeft.count() <= 0)
            throwTimedOut();
        const int wait = static_cast<int>(std::clamp<long long>(idleLeft.count() + 1, 1, 1000));
        if (const CURLMcode code = curl_multi_poll(multi, nullptr, 0, wait, nullptr);
            code != CURLM_OK)
            throwForMultiCode(code);
    }
    CURLcode result = CURLE_OK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            result = message->data.result;
    return result;
}

bool isBodyHeader(std::string_view name) {
    for (std::string_view bodyHeader : {"Content-Type", "Content-Length", "Content-Encoding",
                                        "Content-Language", "Content-Location"})
        if (ascii::equalsIgnoringCase(name, bodyHeader))
            return true;
    return false;
}

bool isCredentialHeader(std::string_view name) {
    return ascii::equalsIgnoringCase(name, "Authorization") ||
           ascii::equalsIgnoringCase(name, "Cookie");
}

// The next hop after a redirect from `hop` with `status` to `target`.
Hop redirectedHop(const Hop& hop, int status, std::string target) {
    Hop next{std::move(target), hop.method, {}, hop.body};
    const bool dropsBody =
        status == 303 || ((status == 301 || status == 302) && hop.method == "POST");
    if (dropsBody) {
        if (hop.method != "HEAD")
            next.method = "GET";
        next.body.reset();
    }
    const bool crossOrigin = originOf(hop.url) != originOf(next.url);
    for (const HTTPTransferHeader& field : hop.headers) {
        if (dropsBody && isBodyHeader(field.name))
            continue;
        if (crossOrigin && isCredentialHeader(field.name))
            continue;
        next.headers.push_back(field);
    }
    return next;
}

void transfer(const HTTPTransferRequest& request, const std::stop_token& stop, BodySink sink,
              HTTPTransferResponse& response) {
    if (stop.stop_requested())
        throwCancelled();
    // curl would guess "http" for a text without a scheme; we load only what
    // names one of ours.
    const std::string scheme = schemePrefix(request.url);
    if (!isHTTPScheme(scheme) && scheme != "file")
        throwURLError(URLErrorCode::unsupportedURL, "unsupported URL");
    if (!schemeOf(request.url))
        throwURLError(URLErrorCode::badURL, "bad URL");
    if (!isToken(request.method))
        throwURLError(URLErrorCode::unknown,
                      "The operation couldn’t be completed. (invalid request method)");

    ensureCurlInitialised();
    EasyHandle easy(curl_easy_init());
    // Declared after the easy handle so that it is cleaned up first, as curl
    // asks of handles that were used together.
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi)
        throw std::bad_alloc();

    Hop hop{request.url, request.method, request.headers, request.body};
    double totalMs = 0;
    for (int redirects = 0;; ++redirects) {
        HopState state;
        state.easy = easy.get();
        state.sink = sink;
        state.certificateHost = certificateHostOf(hop.url);
        HeaderList headerList;
        std::array<char, CURL_ERROR_SIZE> errorBuffer{};
        configureHop(easy.get(), hop, redirects == 0, state, headerList, errorBuffer.data(),
                     request.idleTimeout);

        const CURLcode result = runHop(multi.get(), easy.get(), state, stop, request.idleTimeout);
        if (state.failure)
            std::rethrow_exception(state.failure);
        if (result != CURLE_OK) {
            // curl words its own bounds of a head as a failed receive and as
            // running out of memory; say which bound it was.
            if (state.inHead && result == CURLE_RECV_ERROR &&
                std::string_view(errorBuffer.data()).starts_with("Too large response headers"))
                throwHeadTooLarge();
            if (state.inHead && result == CURLE_OUT_OF_MEMORY)
                throwHeaderLineTooLarge();
            long verifyResult = 0;
            curl_easy_getinfo(easy.get(), CURLINFO_SSL_VERIFYRESULT, &verifyResult);
            throwForCurlCode(result, errorBuffer.data(), verifyResult);
        }

        HTTPPhaseTimings timings = phasesOf(easy.get());
        totalMs += timings.totalMs;

        const char* schemeName = nullptr;
        curl_easy_getinfo(easy.get(), CURLINFO_SCHEME, &schemeName);
        const bool isHTTP =
            schemeName != nullptr && (ascii::equalsIgnoringCase(schemeName, "http") ||
                                      ascii::equalsIgnoringCase(schemeName, "https"));
        long status = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);

        if (isHTTP && state.heldBack) {
            const char* target = nullptr;
            curl_easy_getinfo(easy.get(), CURLINFO_REDIRECT_URL, &target);
            if (target != nullptr) {
                if (redirects == kMaxRedirects)
                    throwURLError(URLErrorCode::httpTooManyRedirects, "too many HTTP redirects");
                const std::optional<std::string> targetScheme = schemeOf(target);
                if (!targetScheme || !isHTTPScheme(*targetScheme))
                    throwURLError(URLErrorCode::unsupportedURL, "unsupported URL");
                hop = redirectedHop(hop, static_cast<int>(status), target);
                continue;
            }
        }
        if (!state.heldBody.empty())
            sink.deliver(state.heldBody.take());
        // A body shorter than announced is an error whatever the number;
        // curl finds every shortfall but this one.
        if (isHTTP && state.lengthOverflows && hop.method != "HEAD" && status != 204 &&
            status != 304)
            throwConnectionLost();

        const char* effectiveURL = nullptr;
        curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &effectiveURL);
        response.isHTTP = isHTTP;
        response.statusCode = isHTTP ? static_cast<int>(status) : 0;
        if (isHTTP)
            response.headers = std::move(state.headers);
        response.url = effectiveURL != nullptr ? effectiveURL : hop.url;
        timings.totalMs = totalMs;
        response.timings = timings;
        return;
    }
}

} // namespace

namespace HTTPTransfer {

HTTPTransferResponse perform(const HTTPTransferRequest& request, std::stop_token stop) {
    HTTPTransferResponse response;
    BodyCollector body;
    transfer(request, stop, BodySink{&body, nullptr}, response);
    response.body = body.take();
    return response;
}

void stream(const HTTPTransferRequest& request, std::stop_token stop,
            const std::function<void(std::string_view)>& onBody) {
    HTTPTransferResponse response;
    transfer(request, stop, BodySink{nullptr, &onBody}, response);
}

} // namespace HTTPTransfer
} // namespace tarn
