#pragma once

// The suite's channel to the maker's feedback service: one note (kind, e-mail,
// name, subject, message, up to five screenshots) goes out as one multipart
// form POST and comes back as a receipt; when that is impossible the caller
// offers the web feedback page, whose URL is built here too.
//
// Everything here is stateless. submit() blocks (run it off the main thread);
// the rest are pure or read only the environment and the user defaults, and
// may be called from any thread.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Utilities/TarnAppVersion.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class URLOpenerPort;
class UserDefaults;

enum class TarnFeedbackKind { bug, feature, newApp, general };

namespace feedbackkind {
// bug, feature, newApp, general: the order the composer offers them in.
inline constexpr std::array<TarnFeedbackKind, 4> allCases = {
    TarnFeedbackKind::bug, TarnFeedbackKind::feature, TarnFeedbackKind::newApp,
    TarnFeedbackKind::general};
// The wire value: "bug", "feature", "new_app", "general".
std::string_view rawValue(TarnFeedbackKind kind);
// Exactly one of the wire values.
std::optional<TarnFeedbackKind> fromRaw(std::string_view text);
// "Bug Report", "Feature & Improvement", ... in `language`.
std::string title(TarnFeedbackKind kind, TarnLanguage language);
std::string_view symbolName(TarnFeedbackKind kind);
} // namespace feedbackkind

// One attachment. `data` holds the image bytes, sent as they are.
struct TarnFeedbackScreenshot {
    UUID id;
    std::string filename;
    std::string mimeType;
    std::string data;

    // The byte count as a short file-size text ("2.4 MB").
    std::string formattedSize() const;

    friend bool operator==(const TarnFeedbackScreenshot&, const TarnFeedbackScreenshot&) = default;
};

struct TarnFeedbackReceipt {
    std::string referenceCode;
    std::int64_t attachmentsCount = 0;
    std::string message;

    friend bool operator==(const TarnFeedbackReceipt&, const TarnFeedbackReceipt&) = default;
};

// Why a note was not sent. Domain "TarnKit.TarnFeedbackError", the code is the
// kind's position. errorDescription() words it in the interface language
// current when it is asked; what() holds the text of the moment it was made.
class TarnFeedbackError : public PlatformError {
public:
    enum class Kind {
        tooManyScreenshots,
        screenshotTooLarge,
        serverRejected,
        networkFailure,
        invalidEndpoint,
        invalidEmail,
        messageTooShort
    };

    static TarnFeedbackError tooManyScreenshots(int max);
    static TarnFeedbackError screenshotTooLarge(int maxMB);
    static TarnFeedbackError serverRejected(std::string message);
    static TarnFeedbackError networkFailure(std::string detail);
    static TarnFeedbackError invalidEndpoint();
    static TarnFeedbackError invalidEmail();
    static TarnFeedbackError messageTooShort();

    Kind kind() const noexcept { return m_kind; }
    // The limit of the two screenshot kinds, else 0.
    int limit() const noexcept { return m_limit; }
    // The server's message or the transfer's description, else empty.
    const std::string& detail() const noexcept { return m_detail; }

    std::string errorDescription(TarnLanguage language) const;
    std::string errorDescription() const;

    friend bool operator==(const TarnFeedbackError& a, const TarnFeedbackError& b) {
        return a.m_kind == b.m_kind && a.m_limit == b.m_limit && a.m_detail == b.m_detail;
    }

private:
    TarnFeedbackError(Kind kind, int limit, std::string detail);
    Kind m_kind;
    int m_limit = 0;
    std::string m_detail;
};

// Everything one note carries; `baseURL` overrides the resolved base address.
struct TarnFeedbackSubmission {
    std::string appName;
    TarnAppVersion version;
    TarnFeedbackKind kind = TarnFeedbackKind::feature;
    std::string email;
    std::string senderName;
    std::string subject;
    std::string message;
    std::vector<TarnFeedbackScreenshot> screenshots;
    TarnLanguage language = TarnLanguage::en;
    std::optional<std::string> baseURL;
};

namespace TarnFeedbackService {

inline constexpr const char* defaultBaseURL = "https://www.corvane.com";
// The maker's site as the network error names it.
inline constexpr const char* siteHostName = "corvane.com";
inline constexpr const char* baseURLDefaultsKey = "com.corvane.feedbackBaseURL";
inline constexpr const char* baseURLEnvironmentVariable = "CORVANE_FEEDBACK_BASE_URL";
inline constexpr std::size_t maxScreenshots = 5;
inline constexpr std::size_t maxScreenshotBytes = 5'242'880;
// The longest silence while connecting, uploading or waiting for the answer.
// There is no bound on the whole exchange: 25 MiB on a slow line may take long.
inline constexpr std::chrono::milliseconds idleTimeout{25'000};

// The override, else $CORVANE_FEEDBACK_BASE_URL, else the user default, each
// taken only when it holds more than white space, trimmed of white space and
// then of every "/" at either end; else defaultBaseURL.
std::string resolvedBaseURL(const std::optional<std::string>& override);
std::string resolvedBaseURL(const std::optional<std::string>& override,
                            const UserDefaults& defaults);

// The name lower-cased with everything but letters, marks and digits removed
// ("Quiller Pro 2" gives "quillerpro2"); may be empty.
std::string normalizedAppSlug(std::string_view appName);

// The running kernel as "Linux <major>.<minor>.<patch> (<machine>)", e.g.
// "Linux 6.1.0 (x86_64)"; the patch is 0 when the release names none.
std::string currentOSDescription();

// The form body: one part per field with a non-empty value, in order, then
// one "screenshots[]" part per screenshot, then the closing line. Every line
// ends in CR LF. Quotes, CR, LF and NUL are removed from file names and CR,
// LF and NUL from MIME types, so no value can start a header of its own.
std::string buildMultipartBody(std::string_view boundary,
                               const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::vector<TarnFeedbackScreenshot>& screenshots);

// The fields of a note, in the order they are sent (empty ones included; the
// body leaves them out). Expects a note that passed validate().
std::vector<std::pair<std::string, std::string>> formFields(const TarnFeedbackSubmission& note);

// The checks submit() makes before any I/O, in its order: e-mail, message,
// screenshot count, screenshot sizes, endpoint. Returns the endpoint URL.
std::string validate(const TarnFeedbackSubmission& note);

// Sends the note and reads the answer. Blocks the calling thread; a stop on
// `stop` ends the exchange within a few milliseconds as networkFailure.
// Throws TarnFeedbackError only.
TarnFeedbackReceipt submit(const TarnFeedbackSubmission& note, std::stop_token stop,
                           std::chrono::milliseconds idle = idleTimeout);

// The answer of the service turned into a receipt, or the error it means.
// `screenshotsSent` is the default attachment count.
TarnFeedbackReceipt readReply(int statusCode, std::string_view body, std::size_t screenshotsSent,
                              TarnLanguage language);

// The web feedback page: base + "/tr/geri-bildirim" for Turkish, else
// "/<code>/feedback", with type, source, os, app (when its slug is not empty)
// and version (when not empty), every value percent-encoded except letters,
// digits and "-._~". Nothing when the base does not make an absolute http(s)
// URL with a host.
std::optional<std::string> webFeedbackURL(std::string_view appName, const TarnAppVersion& version,
                                          TarnFeedbackKind kind, TarnLanguage language,
                                          const std::optional<std::string>& baseURL);

// Opens webFeedbackURL through `opener`; nothing happens when there is none.
// Main thread (the opener's).
void openInBrowser(URLOpenerPort& opener, std::string_view appName, const TarnAppVersion& version,
                   TarnFeedbackKind kind, TarnLanguage language,
                   const std::optional<std::string>& baseURL);

// The MIME type a picked file is sent with, from its extension in any case:
// jpg/jpeg, webp, gif; everything else is sent as PNG.
std::string mimeTypeForFile(const std::filesystem::path& file);

// A picked file as an attachment, or why not. The file is looked at with
// stat(2) first: only a regular file is read, and one over maxScreenshotBytes
// is refused without being read.
struct ScreenshotFileResult {
    enum class Outcome { added, skipped, tooLarge };
    Outcome outcome = Outcome::skipped;
    std::optional<TarnFeedbackScreenshot> screenshot;
};
ScreenshotFileResult readScreenshotFile(const std::filesystem::path& file);

// The clipboard's image (PNG bytes) as an attachment: a fresh identity, the
// name "clipboard-<whole seconds since 1970>.png" taken at `now`, "image/png".
// Nothing when `png` is empty.
std::optional<TarnFeedbackScreenshot>
clipboardScreenshot(std::string png, std::chrono::system_clock::time_point now);

} // namespace TarnFeedbackService
} // namespace tarn
