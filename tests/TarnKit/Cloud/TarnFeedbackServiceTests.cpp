#include "TarnKit/Cloud/TarnFeedbackService.h"
#include "TarnKit/Platform/DesktopPorts.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "support/EnvironmentScope.h"
#include "support/LoopbackHTTPServer.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <boost/asio.hpp>
#include <chrono>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarn::TarnAppVersion;
using tarn::TarnFeedbackError;
using tarn::TarnFeedbackKind;
using tarn::TarnFeedbackReceipt;
using tarn::TarnFeedbackScreenshot;
using tarn::TarnFeedbackSubmission;
using tarn::TarnLanguage;
using tarn::testing::EnvironmentScope;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using Kind = TarnFeedbackError::Kind;
namespace service = tarn::TarnFeedbackService;
namespace asio = boost::asio;

constexpr std::size_t kLimit = service::maxScreenshotBytes;

TarnFeedbackScreenshot shot(std::size_t bytes, std::string name = "shot.png") {
    return {tarn::UUID::random(), std::move(name), "image/png", std::string(bytes, 'x')};
}

TarnFeedbackSubmission validNote(std::string baseURL = "https://feedback.example") {
    TarnFeedbackSubmission note;
    note.appName = "Quiller";
    note.version = {"1.4.2", "57"};
    note.kind = TarnFeedbackKind::bug;
    note.email = "  ada@example.org ";
    note.subject = "Crash on send";
    note.message = "It crashes when I press Send twice.";
    note.baseURL = std::move(baseURL);
    return note;
}

std::optional<Kind> errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const TarnFeedbackError& error) {
        return error.kind();
    }
    return std::nullopt;
}

// --- Checks before any I/O -----------------------------------------------------------

TEST(TarnFeedbackServiceValidation, ChecksRunInOrderAndStopAtTheFirstFailure) {
    struct Case {
        const char* name;
        std::function<void(TarnFeedbackSubmission&)> change;
        std::optional<Kind> expected;
    };
    const std::vector<Case> cases = {
        {"valid note", [](auto&) {}, std::nullopt},
        {"empty e-mail", [](auto& n) { n.email = ""; }, Kind::invalidEmail},
        {"four characters with @ and .", [](auto& n) { n.email = "a@b."; }, Kind::invalidEmail},
        {"five characters with @ and .", [](auto& n) { n.email = " a@b.c "; }, std::nullopt},
        {"no dot", [](auto& n) { n.email = "ada@example"; }, Kind::invalidEmail},
        {"no at sign", [](auto& n) { n.email = "ada.example.org"; }, Kind::invalidEmail},
        {"nine characters after trimming", [](auto& n) { n.message = "   123456789 \n"; },
         Kind::messageTooShort},
        {"ten characters after trimming", [](auto& n) { n.message = " 1234567890 "; },
         std::nullopt},
        {"e-mail checked before the count",
         [](auto& n) {
             n.email = "nope";
             n.screenshots.assign(6, shot(1));
         },
         Kind::invalidEmail},
        {"six screenshots before any size",
         [](auto& n) {
             n.screenshots.assign(5, shot(1));
             n.screenshots.push_back(shot(kLimit + 1));
         },
         Kind::tooManyScreenshots},
        {"exactly the limit",
         [](auto& n) {
             n.screenshots = {shot(1), shot(kLimit)};
         },
         std::nullopt},
        {"one byte over the limit",
         [](auto& n) {
             n.screenshots = {shot(1), shot(kLimit + 1)};
         },
         Kind::screenshotTooLarge},
        {"file URL as base", [](auto& n) { n.baseURL = "file:///tmp"; }, Kind::invalidEndpoint},
        {"no scheme", [](auto& n) { n.baseURL = "feedback.example"; }, Kind::invalidEndpoint},
        {"no host", [](auto& n) { n.baseURL = "https://"; }, Kind::invalidEndpoint},
        {"blanks inside", [](auto& n) { n.baseURL = "https://a b.example"; },
         Kind::invalidEndpoint},
    };
    for (const Case& c : cases) {
        TarnFeedbackSubmission note = validNote();
        c.change(note);
        EXPECT_EQ(errorOf([&] { service::validate(note); }), c.expected) << c.name;
    }
}

TEST(TarnFeedbackServiceValidation, ErrorTextsNameTheLimitsAndKeepTheServerMessage) {
    EXPECT_EQ(TarnFeedbackError::tooManyScreenshots(5).errorDescription(TarnLanguage::en),
              "You can attach up to 5 screenshots.");
    EXPECT_EQ(TarnFeedbackError::screenshotTooLarge(5).errorDescription(TarnLanguage::tr),
              "Her ekran görüntüsü en fazla 5 MB olabilir.");
    EXPECT_EQ(TarnFeedbackError::serverRejected("Kaputt").errorDescription(TarnLanguage::tr),
              "Kaputt");
    EXPECT_EQ(TarnFeedbackError::networkFailure("timed out").errorDescription(TarnLanguage::en),
              "Could not reach corvane.com (timed out). You can open the feedback page in your "
              "browser instead.");
}

// --- The request ---------------------------------------------------------------------

TEST(TarnFeedbackServiceBody, MultipartBytesAreExact) {
    using namespace std::string_literals;
    const std::string binary = "\x89PNG\r\n\x1a\n\0\xff--B"s;
    const std::vector<TarnFeedbackScreenshot> screenshots = {
        {tarn::UUID::random(), "my \"best\"\r\nshot.png", "image/png", binary},
        {tarn::UUID::random(), "b.JPG", "image/jpeg\r\nX-Evil: 1", "jj"},
    };
    const std::string body = service::buildMultipartBody(
        "B", {{"type", "bug"}, {"sender_name", ""}, {"message", "two\r\nlines"}}, screenshots);
    const std::string expected =
        "--B\r\n"
        "Content-Disposition: form-data; name=\"type\"\r\n\r\n"
        "bug\r\n"
        "--B\r\n"
        "Content-Disposition: form-data; name=\"message\"\r\n\r\n"
        "two\r\nlines\r\n"
        "--B\r\n"
        "Content-Disposition: form-data; name=\"screenshots[]\"; filename=\"my bestshot.png\"\r\n"
        "Content-Type: image/png\r\n\r\n" +
        binary +
        "\r\n"
        "--B\r\n"
        "Content-Disposition: form-data; name=\"screenshots[]\"; filename=\"b.JPG\"\r\n"
        "Content-Type: image/jpegX-Evil: 1\r\n\r\n"
        "jj\r\n"
        "--B--\r\n";
    EXPECT_EQ(body, expected);
}

TEST(TarnFeedbackServiceBody, FieldsFollowTheNote) {
    TarnFeedbackSubmission note = validNote();
    note.senderName = "  Ada ";
    note.subject = "ok";
    note.language = TarnLanguage::tr;
    auto fields = service::formFields(note);
    ASSERT_EQ(fields.size(), 11u);
    const std::vector<std::string> names = {
        "type",    "program_slug", "program_name", "email",  "sender_name", "subject",
        "message", "app_version",  "os_info",      "locale", "source"};
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(fields[i].first, names[i]);
    EXPECT_EQ(fields[1].second, "quiller");
    EXPECT_EQ(fields[3].second, "ada@example.org");
    EXPECT_EQ(fields[4].second, "Ada");
    // Under three characters the subject is made from the name and the kind.
    EXPECT_EQ(fields[5].second, "Quiller \u2014 Hata Bildirimi");
    EXPECT_EQ(fields[9].second, "tr");
    EXPECT_EQ(fields[10].second, "desktop_app");

    note.subject = " abc ";
    note.kind = TarnFeedbackKind::newApp;
    fields = service::formFields(note);
    EXPECT_EQ(fields[5].second, "abc");
    EXPECT_EQ(fields[1].second, "new_app");
}

TEST(TarnFeedbackServiceBody, SystemAndSlug) {
    const std::string os = service::currentOSDescription();
    EXPECT_EQ(os.rfind("Linux ", 0), 0u) << os;
    // "Linux <n>.<n>.<n> (<machine>)"
    const std::size_t open = os.find(" (");
    ASSERT_NE(open, std::string::npos);
    const std::string version = os.substr(6, open - 6);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << os;
    EXPECT_EQ(os.back(), ')');

    EXPECT_EQ(service::normalizedAppSlug("Quiller Pro 2"), "quillerpro2");
    EXPECT_EQ(service::normalizedAppSlug("Çığ Ölçer!"), "çığölçer");
    EXPECT_EQ(service::normalizedAppSlug("-- ! --"), "");
}

// --- The answer ----------------------------------------------------------------------

TEST(TarnFeedbackServiceReply, TurnsAnswersIntoReceiptsOrErrors) {
    struct Case {
        int status;
        std::string body;
        std::optional<TarnFeedbackReceipt> receipt;
        std::optional<std::string> rejection;
    };
    const std::string thanks = "Thank you! Your feedback has been received.";
    const std::vector<Case> cases = {
        {200, "", TarnFeedbackReceipt{"TARN-FB-OK", 2, thanks}, std::nullopt},
        {201, R"({"reference_code":"FB-9","attachments_count":1,"message":""})",
         TarnFeedbackReceipt{"FB-9", 1, ""}, std::nullopt},
        {200, R"({"reference_code":42,"attachments_count":"3"})",
         TarnFeedbackReceipt{"TARN-FB-OK", 2, thanks}, std::nullopt},
        {299, R"(["not","an","object"])", TarnFeedbackReceipt{"TARN-FB-OK", 2, thanks},
         std::nullopt},
        {500, R"({"message":""})", std::nullopt, "HTTP 500"},
        {500, R"({"message":"Mailbox full"})", std::nullopt, "Mailbox full"},
        {502, "<html>bad gateway</html>", std::nullopt, "HTTP 502"},
        {302, "", std::nullopt, "HTTP 302"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        try {
            const TarnFeedbackReceipt receipt =
                service::readReply(c.status, c.body, 2, TarnLanguage::en);
            ASSERT_TRUE(c.receipt);
            EXPECT_EQ(receipt, *c.receipt);
        } catch (const TarnFeedbackError& error) {
            ASSERT_TRUE(c.rejection);
            EXPECT_EQ(error.kind(), Kind::serverRejected);
            EXPECT_EQ(error.detail(), *c.rejection);
        }
    }
    EXPECT_EQ(service::readReply(200, "", 0, TarnLanguage::tr).message,
              "Teşekkürler! Geri bildiriminiz bize ulaştı.");
}

// --- Base URL and web page -----------------------------------------------------------

TEST(TarnFeedbackServiceURLs, BaseURLResolvesInOrder) {
    tarn::testing::TemporaryFolder folder;
    tarn::UserDefaults defaults(folder.path());
    EnvironmentScope environment(service::baseURLEnvironmentVariable, std::nullopt);
    EXPECT_EQ(service::resolvedBaseURL(std::nullopt, defaults), service::defaultBaseURL);
    defaults.setString(service::baseURLDefaultsKey, " https://defaults.example// ");
    EXPECT_EQ(service::resolvedBaseURL(std::nullopt, defaults), "https://defaults.example");
    environment.set(service::baseURLEnvironmentVariable, "  ");
    EXPECT_EQ(service::resolvedBaseURL("", defaults), "https://defaults.example");
    environment.set(service::baseURLEnvironmentVariable, "http://env.example/");
    EXPECT_EQ(service::resolvedBaseURL(" \t\n", defaults), "http://env.example");
    EXPECT_EQ(service::resolvedBaseURL("  https://override.example/// \n", defaults),
              "https://override.example");
}

TEST(TarnFeedbackServiceURLs, WebPagePerLanguageWithStrictlyEncodedQuery) {
    const std::string os = service::currentOSDescription();
    std::string encodedOS;
    for (const char c : os)
        encodedOS += c == ' '   ? std::string("%20")
                     : c == '(' ? "%28"
                     : c == ')' ? "%29"
                                : std::string(1, c);
    const TarnAppVersion version{"2.0+beta", "7"};
    struct Case {
        TarnLanguage language;
        const char* path;
    };
    for (const Case& c :
         {Case{TarnLanguage::tr, "/tr/geri-bildirim"}, Case{TarnLanguage::de, "/de/feedback"},
          Case{TarnLanguage::ptBR, "/pt-BR/feedback"}}) {
        EXPECT_EQ(service::webFeedbackURL("Quiller", version, TarnFeedbackKind::newApp, c.language,
                                          "https://site.example/"),
                  std::string("https://site.example") + c.path +
                      "?type=new_app&source=desktop_app&os=" + encodedOS +
                      "&app=quiller&version=2.0%2Bbeta");
    }
    // No slug, no version: those items are left out.
    EXPECT_EQ(service::webFeedbackURL("?!", {"", ""}, TarnFeedbackKind::bug, TarnLanguage::en,
                                      "http://site.example"),
              "http://site.example/en/feedback?type=bug&source=desktop_app&os=" + encodedOS);
    EXPECT_EQ(service::webFeedbackURL("Quiller", version, TarnFeedbackKind::bug, TarnLanguage::en,
                                      "javascript:alert(1)"),
              std::nullopt);

    struct Opener : tarn::URLOpenerPort {
        std::vector<std::string> opened;
        bool open(const std::string& url) override {
            opened.push_back(url);
            return true;
        }
    } opener;
    service::openInBrowser(opener, "Quiller", version, TarnFeedbackKind::bug, TarnLanguage::en,
                           "https://site.example");
    service::openInBrowser(opener, "Quiller", version, TarnFeedbackKind::bug, TarnLanguage::en,
                           "ftp://site.example");
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].rfind("https://site.example/en/feedback?type=bug", 0), 0u);
}

// --- Picked files --------------------------------------------------------------------

TEST(TarnFeedbackServiceFiles, PickedFilesAreLookedAtBeforeTheyAreRead) {
    tarn::testing::TemporaryFolder folder;
    const auto write = [&](const std::string& name, std::size_t bytes) {
        auto path = folder.path() / name;
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'p');
        return path;
    };
    using Outcome = service::ScreenshotFileResult::Outcome;
    struct Case {
        std::filesystem::path path;
        Outcome outcome;
        const char* mimeType;
    };
    const auto fifo = folder.path() / "pipe.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<Case> cases = {
        {write("exact.PNG", kLimit), Outcome::added, "image/png"},
        {write("over.png", kLimit + 1), Outcome::tooLarge, nullptr},
        {write("empty.png", 0), Outcome::skipped, nullptr},
        {write("Photo.JPG", 3), Outcome::added, "image/jpeg"},
        {write("b.jpeg", 3), Outcome::added, "image/jpeg"},
        {write("c.WebP", 3), Outcome::added, "image/webp"},
        {write("d.gif", 3), Outcome::added, "image/gif"},
        {write("noextension", 3), Outcome::added, "image/png"},
        {folder.path(), Outcome::skipped, nullptr},
        {fifo, Outcome::skipped, nullptr},
        {folder.path() / "missing.png", Outcome::skipped, nullptr},
    };
    for (const Case& c : cases) {
        const auto result = service::readScreenshotFile(c.path);
        EXPECT_EQ(result.outcome, c.outcome) << c.path;
        if (c.mimeType == nullptr) {
            EXPECT_FALSE(result.screenshot) << c.path;
            continue;
        }
        ASSERT_TRUE(result.screenshot) << c.path;
        EXPECT_EQ(result.screenshot->mimeType, c.mimeType);
        EXPECT_EQ(result.screenshot->filename, c.path.filename().string());
        EXPECT_EQ(result.screenshot->data.size(), std::filesystem::file_size(c.path));
    }
}

TEST(TarnFeedbackServiceFiles, ClipboardImageIsNamedAfterTheWholeSecond) {
    using namespace std::chrono;
    const system_clock::time_point now{seconds(1'700'000'123) + milliseconds(987)};
    const auto first = service::clipboardScreenshot("PNGDATA", now);
    const auto second = service::clipboardScreenshot("PNGDATA", now + milliseconds(5));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->filename, "clipboard-1700000123.png");
    EXPECT_EQ(second->filename, first->filename);
    EXPECT_NE(second->id, first->id);
    EXPECT_EQ(first->mimeType, "image/png");
    EXPECT_EQ(first->data, "PNGDATA");
    EXPECT_EQ(service::clipboardScreenshot("", now), std::nullopt);
}

// --- Over the wire -------------------------------------------------------------------

TEST(TarnFeedbackServiceSubmit, SendsExactlyTheBuiltBodyWithoutExpect) {
    LoopbackHTTPServer server;
    server.route("/api/v1/feedback",
                 ScriptedReply::status(200, R"({"reference_code":"FB-1","attachments_count":2})"));
    TarnFeedbackSubmission note = validNote(server.url("/"));
    note.appName = "Quiller\r\nX-Injected: 1";
    note.screenshots = {shot(3000, "a.png"), {tarn::UUID::random(), "b.gif", "image/gif", "GIF"}};
    const TarnFeedbackReceipt receipt = service::submit(note, {});
    EXPECT_EQ(receipt.referenceCode, "FB-1");
    EXPECT_EQ(receipt.attachmentsCount, 2);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.headerCount("Expect"), 0u);
    EXPECT_EQ(request.headerCount("X-Injected"), 0u);
    EXPECT_EQ(request.header("User-Agent"), "Corvane/QuillerX-Injected: 1 TarnKit");
    EXPECT_EQ(request.header("Accept"), "application/json");
    const std::string contentType = request.header("Content-Type").value_or("");
    const std::string prefix = "multipart/form-data; boundary=TarnFeedback-";
    ASSERT_EQ(contentType.rfind(prefix, 0), 0u) << contentType;
    const std::string boundary = contentType.substr(contentType.find('=') + 1);
    EXPECT_TRUE(tarn::UUID::fromString(boundary.substr(13)));
    EXPECT_EQ(request.body,
              service::buildMultipartBody(boundary, service::formFields(note), note.screenshots));
}

TEST(TarnFeedbackServiceSubmit, TransportFailuresBecomeNetworkFailures) {
    TarnFeedbackSubmission note =
        validNote("http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()));
    EXPECT_EQ(errorOf([&] { service::submit(note, {}); }), Kind::networkFailure);

    LoopbackHTTPServer server;
    server.route("/api/v1/feedback", ScriptedReply::status(503, R"({"message":"Maintenance"})"));
    note.baseURL = server.url("");
    try {
        service::submit(note, {});
        ADD_FAILURE() << "no error";
    } catch (const TarnFeedbackError& error) {
        EXPECT_EQ(error.kind(), Kind::serverRejected);
        EXPECT_EQ(error.errorDescription(TarnLanguage::tr), "Maintenance");
    }
}

// A peer that drains a request body slowly (or not at all), then answers 200.
class SlowReader {
public:
    SlowReader(std::size_t bytesPerRead, std::chrono::milliseconds gap)
        : m_acceptor(m_io, {asio::ip::make_address_v4("127.0.0.1"), 0}) {
        m_acceptor.set_option(asio::socket_base::receive_buffer_size(16 * 1024));
        m_thread = std::thread([this, bytesPerRead, gap] { serve(bytesPerRead, gap); });
    }
    ~SlowReader() {
        m_stop = true;
        boost::system::error_code error;
        m_acceptor.close(error);
        if (m_socket)
            m_socket->close(error);
        m_thread.join();
    }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(m_acceptor.local_endpoint().port());
    }
    std::size_t bodyBytes() const { return m_bodyBytes; }
    bool hasHead() const { return m_hasHead; }

private:
    void serve(std::size_t bytesPerRead, std::chrono::milliseconds gap) {
        boost::system::error_code error;
        m_socket.emplace(m_io);
        m_acceptor.accept(*m_socket, error);
        if (error)
            return;
        asio::streambuf buffer;
        const std::size_t headLength = asio::read_until(*m_socket, buffer, "\r\n\r\n", error);
        if (error)
            return;
        const std::string head(asio::buffers_begin(buffer.data()),
                               asio::buffers_begin(buffer.data()) +
                                   static_cast<std::ptrdiff_t>(headLength));
        m_hasHead = true;
        const std::size_t at = head.find("Content-Length: ");
        const std::size_t length = std::stoul(head.substr(at + 16));
        std::size_t have = buffer.size() - headLength;
        std::vector<char> chunk(bytesPerRead);
        while (have < length && !m_stop) {
            std::this_thread::sleep_for(gap);
            if (bytesPerRead == 0)
                continue;
            have += asio::read(*m_socket,
                               asio::buffer(chunk.data(), std::min(bytesPerRead, length - have)),
                               error);
            if (error)
                return;
        }
        m_bodyBytes = have;
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}";
        asio::write(*m_socket, asio::buffer(reply), error);
    }

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::optional<asio::ip::tcp::socket> m_socket;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hasHead{false};
    std::atomic<std::size_t> m_bodyBytes{0};
};

TEST(TarnFeedbackServiceSubmit, LargeUploadToASlowReaderOutlastsTheIdleTimeout) {
    // 25 MiB read a mebibyte at a time with a pause before each: the upload
    // takes about four times the idle time-out given, and no silence comes
    // near it (the pauses stay well apart from the time-out even on a loaded
    // machine, where a steady trickle would stall on the sender's buffer).
    // Only silence may end a transfer.
    SlowReader reader(1024 * 1024, 150ms);
    TarnFeedbackSubmission note = validNote(reader.url());
    for (int i = 0; i < 5; ++i)
        note.screenshots.push_back(shot(kLimit));
    const auto started = std::chrono::steady_clock::now();
    const TarnFeedbackReceipt receipt = service::submit(note, {}, 1s);
    EXPECT_GT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(receipt.attachmentsCount, 5);
    EXPECT_GT(reader.bodyBytes(), 5 * kLimit);
}

TEST(TarnFeedbackServiceSubmit, StopEndsAStalledUploadPromptly) {
    SlowReader reader(0, 5ms);
    TarnFeedbackSubmission note = validNote(reader.url());
    note.screenshots.assign(5, shot(kLimit));
    std::stop_source stop;
    auto result = std::async(std::launch::async, [&] {
        return errorOf([&] { service::submit(note, stop.get_token()); });
    });
    // Let the upload start, fill the socket buffers and stall.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!reader.hasHead() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(reader.hasHead());
    EXPECT_EQ(result.wait_for(200ms), std::future_status::timeout);
    const auto stoppedAt = std::chrono::steady_clock::now();
    stop.request_stop();
    const std::optional<Kind> kind = result.get();
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 100ms);
    EXPECT_EQ(kind, Kind::networkFailure);
}

} // namespace
