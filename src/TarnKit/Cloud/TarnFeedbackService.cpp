#include "TarnKit/Cloud/TarnFeedbackService.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/DesktopPorts.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "TarnKit/Utilities/TarnAppIdentity.h"
#include "TarnKit/Utilities/TarnByteFormatter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace tarn {
namespace {

std::string decimal(long long value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return {digits.data(), result.ptr};
}

std::string trimmed(std::string_view text) {
    return std::string(text::trimmingWhitespaceAndNewlines(text));
}

// Bytes that would end a header line (or, inside quotes, the quoted value).
std::string without(std::string_view text, std::string_view removed) {
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text)
        if (removed.find(c) == std::string_view::npos)
            kept.push_back(c);
    return kept;
}

constexpr std::string_view kLineBreaksAndNUL{"\r\n\0", 3};
constexpr std::string_view kQuoteLineBreaksAndNUL{"\"\r\n\0", 4};

std::string describe(TarnFeedbackError::Kind kind, int limit, const std::string& detail,
                     TarnLanguage language) {
    using Kind = TarnFeedbackError::Kind;
    switch (kind) {
    case Kind::tooManyScreenshots:
        return tarnText("You can attach up to " + decimal(limit) + " screenshots.",
                        "En fazla " + decimal(limit) + " ekran görüntüsü ekleyebilirsiniz.",
                        language);
    case Kind::screenshotTooLarge:
        return tarnText("Each screenshot must be smaller than " + decimal(limit) + " MB.",
                        "Her ekran görüntüsü en fazla " + decimal(limit) + " MB olabilir.",
                        language);
    case Kind::serverRejected:
        return detail;
    case Kind::networkFailure: {
        const std::string host = TarnFeedbackService::siteHostName;
        return tarnText("Could not reach " + host + " (" + detail +
                            "). You can open the feedback page in your browser instead.",
                        host + " adresine ulaşılamadı (" + detail +
                            "). Dilerseniz tarayıcıdan göndermeyi deneyebilirsiniz.",
                        language);
    }
    case Kind::invalidEndpoint:
        return tarnText("Feedback server address could not be resolved.",
                        "Geri bildirim sunucu adresi çözümlenemedi.", language);
    case Kind::invalidEmail:
        return tarnText("Please enter a valid email address.",
                        "Lütfen geçerli bir e-posta adresi girin.", language);
    case Kind::messageTooShort:
        return tarnText("Please write a bit more detail (at least 10 characters).",
                        "Lütfen en az 10 karakterlik kısa bir açıklama yazın.", language);
    }
    return {};
}

// A base taken from a setting: trimmed of white space, then of "/" at both ends.
std::optional<std::string> usableBase(const std::optional<std::string>& value) {
    if (!value)
        return std::nullopt;
    std::string_view text = text::trimmingWhitespaceAndNewlines(*value);
    if (text.empty())
        return std::nullopt;
    while (!text.empty() && text.front() == '/')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    return std::string(text);
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name); // NOLINT(concurrency-mt-unsafe): read only
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

// Leading decimal digits of `text` from `position`, advancing past them.
std::string digitsAt(std::string_view text, std::size_t& position) {
    const std::size_t start = position;
    while (position < text.size() && ascii::isDigit(text[position]))
        ++position;
    return std::string(text.substr(start, position - start));
}

} // namespace

// --- Kinds ---------------------------------------------------------------------------

namespace feedbackkind {

std::string_view rawValue(TarnFeedbackKind kind) {
    switch (kind) {
    case TarnFeedbackKind::bug:
        return "bug";
    case TarnFeedbackKind::feature:
        return "feature";
    case TarnFeedbackKind::newApp:
        return "new_app";
    case TarnFeedbackKind::general:
        return "general";
    }
    return {};
}

std::optional<TarnFeedbackKind> fromRaw(std::string_view text) {
    for (const TarnFeedbackKind kind : allCases)
        if (rawValue(kind) == text)
            return kind;
    return std::nullopt;
}

std::string title(TarnFeedbackKind kind, TarnLanguage language) {
    switch (kind) {
    case TarnFeedbackKind::bug:
        return tarnText("Bug Report", "Hata Bildirimi", language);
    case TarnFeedbackKind::feature:
        return tarnText("Feature & Improvement", "Özellik & İyileştirme", language);
    case TarnFeedbackKind::newApp:
        return tarnText("New App Idea", "Yeni Program Fikri", language);
    case TarnFeedbackKind::general:
        return tarnText("General Feedback", "Genel Görüş", language);
    }
    return {};
}

std::string_view symbolName(TarnFeedbackKind kind) {
    switch (kind) {
    case TarnFeedbackKind::bug:
        return "ladybug.fill";
    case TarnFeedbackKind::feature:
        return "sparkles";
    case TarnFeedbackKind::newApp:
        return "lightbulb.fill";
    case TarnFeedbackKind::general:
        return "bubble.left.and.bubble.right.fill";
    }
    return {};
}

} // namespace feedbackkind

std::string TarnFeedbackScreenshot::formattedSize() const {
    return TarnByteFormatter::format(static_cast<std::int64_t>(data.size()));
}

// --- Errors --------------------------------------------------------------------------

TarnFeedbackError::TarnFeedbackError(Kind kind, int limit, std::string detail)
    : PlatformError("TarnKit.TarnFeedbackError", static_cast<long>(kind),
                    describe(kind, limit, detail, language::current())),
      m_kind(kind), m_limit(limit), m_detail(std::move(detail)) {}

TarnFeedbackError TarnFeedbackError::tooManyScreenshots(int max) {
    return {Kind::tooManyScreenshots, max, {}};
}
TarnFeedbackError TarnFeedbackError::screenshotTooLarge(int maxMB) {
    return {Kind::screenshotTooLarge, maxMB, {}};
}
TarnFeedbackError TarnFeedbackError::serverRejected(std::string message) {
    return {Kind::serverRejected, 0, std::move(message)};
}
TarnFeedbackError TarnFeedbackError::networkFailure(std::string detail) {
    return {Kind::networkFailure, 0, std::move(detail)};
}
TarnFeedbackError TarnFeedbackError::invalidEndpoint() {
    return {Kind::invalidEndpoint, 0, {}};
}
TarnFeedbackError TarnFeedbackError::invalidEmail() {
    return {Kind::invalidEmail, 0, {}};
}
TarnFeedbackError TarnFeedbackError::messageTooShort() {
    return {Kind::messageTooShort, 0, {}};
}

std::string TarnFeedbackError::errorDescription(TarnLanguage language) const {
    return describe(m_kind, m_limit, m_detail, language);
}

std::string TarnFeedbackError::errorDescription() const {
    return errorDescription(language::current());
}

// --- Service -------------------------------------------------------------------------

namespace TarnFeedbackService {

std::string resolvedBaseURL(const std::optional<std::string>& override,
                            const UserDefaults& defaults) {
    if (auto base = usableBase(override))
        return *base;
    if (auto base = usableBase(environmentValue(baseURLEnvironmentVariable)))
        return *base;
    if (auto base = usableBase(defaults.string(baseURLDefaultsKey)))
        return *base;
    return defaultBaseURL;
}

std::string resolvedBaseURL(const std::optional<std::string>& override) {
    return resolvedBaseURL(override, UserDefaults::standard());
}

std::string normalizedAppSlug(std::string_view appName) {
    return appidentity::alphanumericLowercased(appName);
}

std::string currentOSDescription() {
    struct utsname system {};
    if (::uname(&system) != 0)
        return "Linux";
    const std::string_view release = system.release;
    std::size_t position = 0;
    std::array<std::string, 3> numbers;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (position >= release.size() || release[position] != '.')
                break;
            ++position;
        }
        numbers[i] = digitsAt(release, position);
        if (numbers[i].empty())
            break;
    }
    for (std::string& number : numbers)
        if (number.empty())
            number = "0";
    return std::string(system.sysname) + " " + numbers[0] + "." + numbers[1] + "." + numbers[2] +
           " (" + system.machine + ")";
}

std::string buildMultipartBody(std::string_view boundary,
                               const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::vector<TarnFeedbackScreenshot>& screenshots) {
    std::size_t capacity = 64;
    for (const auto& [name, value] : fields)
        capacity += boundary.size() + name.size() + value.size() + 64;
    for (const TarnFeedbackScreenshot& screenshot : screenshots)
        capacity += boundary.size() + screenshot.filename.size() + screenshot.mimeType.size() +
                    screenshot.data.size() + 128;
    std::string body;
    body.reserve(capacity);
    const auto openPart = [&] {
        body += "--";
        body += boundary;
        body += "\r\n";
    };
    for (const auto& [name, value] : fields) {
        if (value.empty())
            continue;
        openPart();
        body += "Content-Disposition: form-data; name=\"";
        body += name;
        body += "\"\r\n\r\n";
        body += value;
        body += "\r\n";
    }
    for (const TarnFeedbackScreenshot& screenshot : screenshots) {
        openPart();
        body += "Content-Disposition: form-data; name=\"screenshots[]\"; filename=\"";
        body += without(screenshot.filename, kQuoteLineBreaksAndNUL);
        body += "\"\r\nContent-Type: ";
        body += without(screenshot.mimeType, kLineBreaksAndNUL);
        body += "\r\n\r\n";
        body += screenshot.data;
        body += "\r\n";
    }
    body += "--";
    body += boundary;
    body += "--\r\n";
    return body;
}

std::string validate(const TarnFeedbackSubmission& note) {
    const std::string email = trimmed(note.email);
    if (email.find('@') == std::string::npos || email.find('.') == std::string::npos ||
        text::characterCount(email) < 5)
        throw TarnFeedbackError::invalidEmail();
    if (text::characterCount(trimmed(note.message)) < 10)
        throw TarnFeedbackError::messageTooShort();
    if (note.screenshots.size() > maxScreenshots)
        throw TarnFeedbackError::tooManyScreenshots(static_cast<int>(maxScreenshots));
    for (const TarnFeedbackScreenshot& screenshot : note.screenshots)
        if (screenshot.data.size() > maxScreenshotBytes)
            throw TarnFeedbackError::screenshotTooLarge(
                static_cast<int>(maxScreenshotBytes / (1024 * 1024)));
    std::string endpoint = resolvedBaseURL(note.baseURL) + "/api/v1/feedback";
    if (!isHTTPURLWithHost(endpoint))
        throw TarnFeedbackError::invalidEndpoint();
    return endpoint;
}

std::vector<std::pair<std::string, std::string>> formFields(const TarnFeedbackSubmission& note) {
    std::string subject = trimmed(note.subject);
    if (text::characterCount(subject) < 3)
        subject = note.appName + " \u2014 " + feedbackkind::title(note.kind, note.language);
    return {
        {"type", std::string(feedbackkind::rawValue(note.kind))},
        {"program_slug", note.kind == TarnFeedbackKind::newApp ? std::string("new_app")
                                                               : normalizedAppSlug(note.appName)},
        {"program_name", note.appName},
        {"email", trimmed(note.email)},
        {"sender_name", trimmed(note.senderName)},
        {"subject", std::move(subject)},
        {"message", trimmed(note.message)},
        {"app_version", note.version.shortVersion},
        {"os_info", currentOSDescription()},
        {"locale", std::string(rawValue(note.language))},
        {"source", "desktop_app"},
    };
}

TarnFeedbackReceipt readReply(int statusCode, std::string_view body, std::size_t screenshotsSent,
                              TarnLanguage language) {
    const std::optional<nlohmann::json> document = json::parse(body);
    const nlohmann::json* object = document && document->is_object() ? &*document : nullptr;
    if (statusCode >= 200 && statusCode <= 299) {
        TarnFeedbackReceipt receipt{"TARN-FB-OK", static_cast<std::int64_t>(screenshotsSent),
                                    tarnText("Thank you! Your feedback has been received.",
                                             "Teşekkürler! Geri bildiriminiz bize ulaştı.",
                                             language)};
        if (object == nullptr)
            return receipt;
        if (const auto code = object->find("reference_code");
            code != object->end() && code->is_string())
            receipt.referenceCode = code->get<std::string>();
        if (const auto count = object->find("attachments_count");
            count != object->end() && count->is_number_integer())
            receipt.attachmentsCount = count->get<std::int64_t>();
        if (const auto message = object->find("message");
            message != object->end() && message->is_string())
            receipt.message = message->get<std::string>();
        return receipt;
    }
    if (object != nullptr) {
        if (const auto message = object->find("message");
            message != object->end() && message->is_string() &&
            !message->get_ref<const std::string&>().empty())
            throw TarnFeedbackError::serverRejected(message->get<std::string>());
    }
    throw TarnFeedbackError::serverRejected("HTTP " + decimal(statusCode));
}

TarnFeedbackReceipt submit(const TarnFeedbackSubmission& note, std::stop_token stop,
                           std::chrono::milliseconds idle) {
    HTTPTransferRequest request;
    request.url = validate(note);
    const std::string boundary = "TarnFeedback-" + UUID::random().string();
    request.method = "POST";
    request.headers = {
        {"Content-Type", "multipart/form-data; boundary=" + boundary},
        {"Accept", "application/json"},
        {"User-Agent", "Corvane/" + without(note.appName, kLineBreaksAndNUL) + " TarnKit"},
    };
    request.body = buildMultipartBody(boundary, formFields(note), note.screenshots);
    request.idleTimeout = idle;
    HTTPTransferResponse response;
    try {
        response = HTTPTransfer::perform(request, std::move(stop));
    } catch (const std::exception& error) {
        throw TarnFeedbackError::networkFailure(error.what());
    }
    if (!response.isHTTP)
        throw TarnFeedbackError::networkFailure("Invalid HTTP response");
    return readReply(response.statusCode, response.body, note.screenshots.size(), note.language);
}

std::optional<std::string> webFeedbackURL(std::string_view appName, const TarnAppVersion& version,
                                          TarnFeedbackKind kind, TarnLanguage language,
                                          const std::optional<std::string>& baseURL) {
    const std::string path = language == TarnLanguage::tr
                                 ? std::string("/tr/geri-bildirim")
                                 : "/" + std::string(rawValue(language)) + "/feedback";
    const std::string text = resolvedBaseURL(baseURL) + path;
    if (!isHTTPURLWithHost(text))
        return std::nullopt;
    std::optional<URLComponents> url = URLComponents::parse(text);
    if (!url)
        return std::nullopt;
    url->appendQueryItem("type", feedbackkind::rawValue(kind));
    url->appendQueryItem("source", "desktop_app");
    url->appendQueryItem("os", currentOSDescription());
    if (const std::string slug = normalizedAppSlug(appName); !slug.empty())
        url->appendQueryItem("app", slug);
    if (!version.shortVersion.empty())
        url->appendQueryItem("version", version.shortVersion);
    return url->string();
}

void openInBrowser(URLOpenerPort& opener, std::string_view appName, const TarnAppVersion& version,
                   TarnFeedbackKind kind, TarnLanguage language,
                   const std::optional<std::string>& baseURL) {
    if (const auto url = webFeedbackURL(appName, version, kind, language, baseURL))
        opener.open(*url);
}

std::string mimeTypeForFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    extension = ascii::lowercased(std::move(extension));
    if (extension == "jpg" || extension == "jpeg")
        return "image/jpeg";
    if (extension == "webp")
        return "image/webp";
    if (extension == "gif")
        return "image/gif";
    return "image/png";
}

ScreenshotFileResult readScreenshotFile(const std::filesystem::path& file) {
    using Outcome = ScreenshotFileResult::Outcome;
    // Non-blocking, so a FIFO given in place of an image cannot hang the window;
    // the checks run on the opened file, so it cannot be swapped in between.
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return {};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{descriptor};
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    if (static_cast<std::uint64_t>(status.st_size) > maxScreenshotBytes)
        return {Outcome::tooLarge, std::nullopt};
    // Read to the end, but never past one byte over the limit: a file that grew
    // since the look is refused as the look would have refused it.
    std::string bytes(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxScreenshotBytes)
                break;
            bytes.resize(std::min(bytes.size() * 2, maxScreenshotBytes + 1));
        }
        const ssize_t count = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return {};
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    if (filled > maxScreenshotBytes)
        return {Outcome::tooLarge, std::nullopt};
    if (filled == 0)
        return {};
    bytes.resize(filled);
    return {Outcome::added, TarnFeedbackScreenshot{UUID::random(), file.filename().string(),
                                                   mimeTypeForFile(file), std::move(bytes)}};
}

std::optional<TarnFeedbackScreenshot>
clipboardScreenshot(std::string png, std::chrono::system_clock::time_point now) {
    if (png.empty())
        return std::nullopt;
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
    return TarnFeedbackScreenshot{UUID::random(),
                                  "clipboard-" + numbers::formatInteger(seconds) + ".png",
                                  "image/png", std::move(png)};
}

} // namespace TarnFeedbackService
} // namespace tarn
