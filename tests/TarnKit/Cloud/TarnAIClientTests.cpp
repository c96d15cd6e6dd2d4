#include "TarnKit/Cloud/TarnAIClient.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "support/LoopbackHTTPServer.h"

#include <boost/asio.hpp>
#include <charconv>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarn::TarnAIClient;
using tarn::TarnAIClientError;
using tarn::TarnAIConfig;
using tarn::TarnAIProvider;
using tarn::TarnLanguage;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using Json = nlohmann::json;
using Kind = TarnAIClientError::Kind;
namespace asio = boost::asio;

constexpr std::string_view kOpenAIReply = R"({"choices":[{"message":{"content":"ok"}}]})";

std::string repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// Runs `call` and returns the TarnAIClientError it throws, or nothing.
template <class Call> std::optional<TarnAIClientError> clientErrorOf(Call&& call) {
    try {
        call();
    } catch (const TarnAIClientError& error) {
        return error;
    }
    return std::nullopt;
}

class AIClientTest : public ::testing::Test {
protected:
    TarnAIConfig configFor(TarnAIProvider provider, std::string_view path = "/chat") const {
        return TarnAIConfig(provider, server.url(path));
    }

    LoopbackHTTPServer server;
    TarnAIClient client;
};

// --- Providers and configuration ------------------------------------------------

TEST(AIProviderTest, DisplayNamesInEnglishAndTurkish) {
    struct Case {
        TarnAIProvider provider;
        std::string english;
        std::string turkish;
    };
    const Case cases[] = {
        {TarnAIProvider::ollamaLocal, "Local Ollama (100% Offline)",
         "Yerel Ollama (%100 Çevrimdışı)"},
        {TarnAIProvider::openAI, "OpenAI-Compatible (BYO Key)", "OpenAI Uyumlu (Kendi Anahtarın)"},
        {TarnAIProvider::corvaneCredits, "Corvane Credits (account.corvane.com)",
         "Corvane Kredisi (account.corvane.com)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(tarn::rawValue(c.provider));
        EXPECT_EQ(tarn::displayName(c.provider, TarnLanguage::en), c.english);
        EXPECT_EQ(tarn::displayName(c.provider, TarnLanguage::tr), c.turkish);
    }
}

TEST(AIProviderTest, CasesRawValuesAndDefaults) {
    struct Case {
        TarnAIProvider provider;
        std::string raw;
        std::string endpoint;
        std::string model;
    };
    const std::vector<Case> cases = {
        {TarnAIProvider::ollamaLocal, "ollamaLocal", "http://127.0.0.1:11434/api/chat", "llama3.2"},
        {TarnAIProvider::openAI, "openAI", "https://api.openai.com/v1/chat/completions",
         "gpt-4o-mini"},
        {TarnAIProvider::corvaneCredits, "corvaneCredits", "https://api.corvane.com/v1/ai/chat",
         "corvane-doc-fast"},
    };
    const auto all = tarn::aiprovider::allCases();
    ASSERT_EQ(all.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(all[i], c.provider);
        EXPECT_EQ(tarn::rawValue(c.provider), c.raw);
        EXPECT_EQ(tarn::id(c.provider), c.raw);
        EXPECT_EQ(tarn::aiprovider::fromRaw(c.raw), c.provider);

        const TarnAIConfig defaults(c.provider);
        EXPECT_EQ(defaults.endpointURL, c.endpoint);
        EXPECT_EQ(defaults.model, c.model);
    }
    EXPECT_EQ(tarn::aiprovider::fromRaw("OpenAI"), std::nullopt);
    EXPECT_EQ(tarn::aiprovider::fromRaw(""), std::nullopt);
}

TEST(AIConfigTest, GivenValuesAreKeptEvenWhenEmpty) {
    const TarnAIConfig custom(TarnAIProvider::openAI, "http://localhost:8080/v1/chat/completions",
                              "qwen2.5");
    EXPECT_EQ(custom.endpointURL, "http://localhost:8080/v1/chat/completions");
    EXPECT_EQ(custom.model, "qwen2.5");

    const TarnAIConfig empty(TarnAIProvider::openAI, "", "");
    EXPECT_EQ(empty.endpointURL, "");
    EXPECT_EQ(empty.model, "");
    EXPECT_NE(empty, TarnAIConfig(TarnAIProvider::openAI));
}

TEST(AIConfigTest, EncodesUnderItsFieldNamesAndDecodesStrictly) {
    const TarnAIConfig config(TarnAIProvider::corvaneCredits, "https://example.test/chat", "m1");
    const Json encoded = config;
    EXPECT_EQ(encoded, Json::parse(R"({"provider":"corvaneCredits",
                                        "endpointURL":"https://example.test/chat",
                                        "model":"m1"})"));
    EXPECT_EQ(tarn::json::decode<TarnAIConfig>(encoded), config);

    using Failure = tarn::json::DecodingError::Kind;
    struct Case {
        std::string name;
        std::string document;
        Failure kind;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"missing model", R"({"provider":"openAI","endpointURL":"https://a.test/"})",
         Failure::keyNotFound, "model"},
        {"missing provider", R"({"endpointURL":"https://a.test/","model":"m"})",
         Failure::keyNotFound, "provider"},
        {"unknown provider",
         R"({"provider":"anthropic","endpointURL":"https://a.test/","model":"m"})",
         Failure::dataCorrupted, "provider"},
        {"provider in other case",
         R"({"provider":"OpenAI","endpointURL":"https://a.test/","model":"m"})",
         Failure::dataCorrupted, "provider"},
        {"endpoint of another type", R"({"provider":"openAI","endpointURL":5,"model":"m"})",
         Failure::typeMismatch, "endpointURL"},
        {"null model", R"({"provider":"openAI","endpointURL":"https://a.test/","model":null})",
         Failure::valueNotFound, "model"},
        {"not an object", R"(["openAI"])", Failure::typeMismatch, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            (void)tarn::json::decode<TarnAIConfig>(Json::parse(c.document));
            ADD_FAILURE() << "decoded";
        } catch (const tarn::json::DecodingError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            EXPECT_EQ(error.path(), c.path);
        }
    }
}

TEST(AIClientErrorTest, DescriptionsPerLanguage) {
    struct Case {
        TarnAIClientError error;
        std::string english;
        std::string turkish;
    };
    const Case cases[] = {
        {TarnAIClientError::httpError(429, "slow down"), "HTTP 429: slow down",
         "HTTP 429: slow down"},
        {TarnAIClientError::invalidEndpoint(), "Invalid AI endpoint URL.",
         "Geçersiz AI uç noktası adresi."},
        {TarnAIClientError::missingAPIKey(),
         "API key or Corvane credit token is required for this provider.",
         "Bu sağlayıcı için API anahtarı veya Corvane kredi jetonu gereklidir."},
        {TarnAIClientError::emptyResponse(), "Provider returned an empty response.",
         "Sağlayıcı boş yanıt döndürdü."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(c.error.errorDescription(TarnLanguage::en), c.english);
        EXPECT_EQ(c.error.errorDescription(TarnLanguage::tr), c.turkish);
        EXPECT_EQ(c.error.domain(), "TarnKit.TarnAIClientError");
    }
}

// --- Requests -------------------------------------------------------------------

TEST_F(AIClientTest, SendsOnePostWithBothPromptsAndAuthorizationOnlyForKeyedProviders) {
    struct Case {
        TarnAIProvider provider;
        std::optional<std::string> authorization;
        bool asksNotToStream;
    };
    const Case cases[] = {
        // The local server never sees the key, even when one is passed.
        {TarnAIProvider::ollamaLocal, std::nullopt, true},
        {TarnAIProvider::openAI, "Bearer sk-test", false},
        {TarnAIProvider::corvaneCredits, "Bearer sk-test", false},
    };
    server.route("/chat", ScriptedReply::status(200, std::string(kOpenAIReply)));
    const std::string systemPrompt = "You are \"terse\".\nAnswer in one line / no more.";
    const std::string userPrompt = "Ünïcode ✓ and a tab\there";

    for (const Case& c : cases) {
        SCOPED_TRACE(tarn::rawValue(c.provider));
        const std::size_t before = server.requests().size();
        TarnAIConfig config = configFor(c.provider);
        config.model = "model-x";
        EXPECT_EQ(client.complete(systemPrompt, userPrompt, config, "sk-test"), "ok");

        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), before + 1);
        const auto& request = requests.back();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/chat");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Authorization"), c.authorization);

        const Json body = Json::parse(request.body);
        EXPECT_EQ(body["model"], "model-x");
        EXPECT_EQ(body["messages"],
                  Json::array({Json{{"role", "system"}, {"content", systemPrompt}},
                               Json{{"role", "user"}, {"content", userPrompt}}}));
        if (c.asksNotToStream)
            EXPECT_EQ(body.value("stream", Json()), Json(false));
        else
            EXPECT_FALSE(body.contains("stream"));
    }
}

TEST_F(AIClientTest, BlankOrAbsentKeyIsRefusedBeforeAnyConnection) {
    const std::optional<std::string> keys[] = {
        std::nullopt, "", "   ", " \n\t\r\n ", "\u00A0\u2003", std::string("\0\0", 2),
    };
    for (const TarnAIProvider provider : {TarnAIProvider::openAI, TarnAIProvider::corvaneCredits}) {
        for (const auto& key : keys) {
            SCOPED_TRACE(std::string(tarn::rawValue(provider)) + " key " +
                         Json(key.value_or("<absent>")).dump());
            const auto error =
                clientErrorOf([&] { client.complete("s", "u", configFor(provider), key); });
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->kind(), Kind::missingAPIKey);
        }
    }
    EXPECT_EQ(server.connectionCount(), 0u);

    // The local provider needs none.
    server.route("/chat", ScriptedReply::status(200, R"({"response":"fine"})"));
    EXPECT_EQ(client.complete("s", "u", configFor(TarnAIProvider::ollamaLocal), std::nullopt),
              "fine");
}

TEST_F(AIClientTest, OnlyAbsoluteHTTPEndpointsAreUsed) {
    const std::string endpoints[] = {
        "",
        "file:///etc/hostname",
        "FILE:///etc/hostname",
        "ftp://127.0.0.1/chat",
        "mailto:ai@example.test",
        "http://",
        "http:///v1/chat",
        "127.0.0.1:11434/api/chat",
        "/api/chat",
        " http://127.0.0.1:11434/api/chat",
        "http://exa mple.test/chat",
    };
    for (const std::string& endpoint : endpoints) {
        SCOPED_TRACE(endpoint);
        // The endpoint is judged before the key, which is missing here.
        for (const TarnAIProvider provider : tarn::aiprovider::allCases()) {
            const auto error = clientErrorOf(
                [&] { client.complete("s", "u", TarnAIConfig(provider, endpoint), std::nullopt); });
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->kind(), Kind::invalidEndpoint);
        }
    }
}

// curl's request head exactly as it was sent: the loopback server's parser
// drops blanks at the ends of field values, which are what is looked for here.
// Serves one request with kOpenAIReply.
class RawHeadServer {
public:
    RawHeadServer() : m_acceptor(m_io, {asio::ip::make_address_v4("127.0.0.1"), 0}) {
        m_thread = std::thread([this] { serve(); });
    }
    ~RawHeadServer() { finish(); }
    RawHeadServer(const RawHeadServer&) = delete;
    RawHeadServer& operator=(const RawHeadServer&) = delete;

    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(m_acceptor.local_endpoint().port()) + "/chat";
    }

    // Call once the client is done: the head received, empty when none came.
    std::string head() {
        finish();
        return m_head;
    }

private:
    void serve() {
        boost::system::error_code error;
        asio::ip::tcp::socket socket(m_io);
        m_acceptor.accept(socket, error);
        asio::streambuf buffer;
        const std::size_t headLength = asio::read_until(socket, buffer, "\r\n\r\n", error);
        if (error)
            return;
        std::string received(asio::buffers_begin(buffer.data()), asio::buffers_end(buffer.data()));
        m_head = received.substr(0, headLength);
        // Read the whole body so that closing cannot reset the connection.
        std::size_t bodyLength = 0;
        constexpr std::string_view field = "\r\nContent-Length: ";
        if (const auto at = m_head.find(field); at != std::string::npos) {
            const char* digits = m_head.data() + at + field.size();
            std::from_chars(digits, m_head.data() + m_head.size(), bodyLength);
        }
        const std::size_t have = received.size() - headLength;
        if (bodyLength > have)
            asio::read(socket, buffer, asio::transfer_exactly(bodyLength - have), error);
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                  "Connection: close\r\nContent-Length: " +
                                  std::to_string(kOpenAIReply.size()) + "\r\n\r\n" +
                                  std::string(kOpenAIReply);
        asio::write(socket, asio::buffer(reply), error);
        socket.shutdown(asio::ip::tcp::socket::shutdown_send, error);
    }

    void finish() {
        if (!m_thread.joinable())
            return;
        // Unblocks an accept that no client ever answered; otherwise the
        // connection just waits in the backlog until the acceptor closes.
        boost::system::error_code error;
        asio::ip::tcp::socket poke(m_io);
        poke.connect(m_acceptor.local_endpoint(), error);
        poke.close(error);
        m_thread.join();
    }

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::thread m_thread;
    std::string m_head;
};

TEST(AIClientKeyTest, KeyIsSentUntrimmedWithoutLineBreaksOrNUL) {
    struct Case {
        std::string name;
        std::string key;
        std::string expectedLine;
    };
    const std::vector<Case> cases = {
        {"blanks at both ends", " sk-key ", "\r\nAuthorization: Bearer  sk-key \r\n"},
        {"header injection", "sk-a\r\nX-Injected: 1",
         "\r\nAuthorization: Bearer sk-aX-Injected: 1\r\n"},
        {"lone LF and CR", "\nsk-b\r", "\r\nAuthorization: Bearer sk-b\r\n"},
        {"NUL inside", std::string("sk-c\0d", 6), "\r\nAuthorization: Bearer sk-cd\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHeadServer server;
        const TarnAIConfig config(TarnAIProvider::openAI, server.url());
        EXPECT_EQ(TarnAIClient().complete("s", "u", config, c.key), "ok");
        const std::string head = server.head();
        EXPECT_NE(head.find(c.expectedLine), std::string::npos) << head;
        EXPECT_EQ(head.find("\r\nX-Injected:"), std::string::npos) << head;
    }
}

// --- Answers --------------------------------------------------------------------

TEST_F(AIClientTest, ErrorStatusKeepsTheFirst300CharactersOfTheBody) {
    const std::string combining = "e\u0301"; // one character, two code points
    struct Case {
        std::string name;
        int status;
        std::string body;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"long ASCII", 401, repeated("abcdefghij", 100), repeated("abcdefghij", 30)},
        {"accented letters are not split", 400, repeated(combining, 301) + "tail",
         repeated(combining, 300)},
        {"multi-byte letters", 403, repeated("ğ", 299) + "✓xyz", repeated("ğ", 299) + "✓"},
        {"short", 502, "Bad gateway", "Bad gateway"},
        {"empty", 404, "", ""},
        {"not UTF-8", 500, "bad \xff\xfe bytes", ""},
        {"redirect without location", 302, "moved", "moved"},
        {"just past success", 300, "choices", "choices"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/chat", ScriptedReply::status(c.status, c.body));
        const auto error = clientErrorOf(
            [&] { client.complete("s", "u", configFor(TarnAIProvider::openAI), "sk-test"); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), Kind::httpError);
        EXPECT_EQ(error->statusCode(), c.status);
        EXPECT_EQ(error->message(), c.message);
        const std::string description = "HTTP " + std::to_string(c.status) + ": " + c.message;
        EXPECT_EQ(error->errorDescription(TarnLanguage::en), description);
        EXPECT_EQ(error->errorDescription(TarnLanguage::tr), description);
    }
}

TEST_F(AIClientTest, ReadsTheAnswerFromEachReplyForm) {
    struct Failure {
        std::string domain;
        long code;
    };
    const Failure empty{"TarnKit.TarnAIClientError", static_cast<long>(Kind::emptyResponse)};
    const Failure notJSON{tarn::kJSONReadingErrorDomain, tarn::kJSONReadingCorruptErrorCode};
    struct Case {
        std::string name;
        std::string body;
        std::variant<std::string, Failure> expected;
    };
    const std::vector<Case> cases = {
        {"choices", R"({"choices":[{"message":{"role":"assistant","content":"  Hello\n"}}]})",
         std::string("Hello")},
        {"first choice wins",
         R"({"choices":[{"message":{"content":"a"}},{"message":{"content":"b"}}],
                                  "response":"c"})",
         std::string("a")},
        {"message", R"({"model":"llama3.2","message":{"role":"assistant","content":"\tlocal "}})",
         std::string("local")},
        {"response", R"({"response":"plain"})", std::string("plain")},
        {"empty choices fall through", R"({"choices":[],"response":" text with blanks\n"})",
         std::string("text with blanks")},
        {"a non-object choice falls through",
         R"({"choices":[{"message":{"content":"x"}},3],"message":{"content":"y"}})",
         std::string("y")},
        {"non-text content falls through",
         R"({"choices":[{"message":{"content":null}}],"response":"z"})", std::string("z")},
        {"blank content is empty text", R"({"choices":[{"message":{"content":"  \n "}}]})",
         std::string()},
        {"no answer field", R"({"choices":[{"text":"legacy"}],"response":7})", empty},
        {"empty object", "{}", empty},
        {"array", R"([{"response":"x"}])", empty},
        {"bare string", R"("hello")", empty},
        {"not JSON", "Hello there", notJSON},
        {"truncated JSON", R"({"response":"cut)", notJSON},
        {"empty body", "", notJSON},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/chat", ScriptedReply::status(200, c.body));
        const TarnAIConfig config = configFor(TarnAIProvider::ollamaLocal);
        if (const auto* text = std::get_if<std::string>(&c.expected)) {
            EXPECT_EQ(client.complete("s", "u", config, std::nullopt), *text);
            continue;
        }
        const auto& failure = std::get<Failure>(c.expected);
        try {
            client.complete("s", "u", config, std::nullopt);
            ADD_FAILURE() << "answered";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), failure.domain) << error.what();
            EXPECT_EQ(error.code(), failure.code);
        }
    }
}

// --- Transport ------------------------------------------------------------------

TEST_F(AIClientTest, TransportFailuresPassThroughUnchanged) {
    const TarnAIConfig refused(
        TarnAIProvider::openAI,
        "http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()) + "/chat");
    try {
        client.complete("s", "u", refused, "sk-test");
        ADD_FAILURE() << "answered";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), tarn::kURLErrorDomain);
        EXPECT_EQ(error.code(), tarn::URLErrorCode::cannotConnectToHost);
    }
}

TEST_F(AIClientTest, StopEndsAWaitingCallPromptly) {
    server.route("/chat", ScriptedReply::silence());
    std::stop_source stop;
    auto call = std::async(std::launch::async, [&] {
        return client.complete("s", "u", configFor(TarnAIProvider::ollamaLocal), std::nullopt,
                               stop.get_token());
    });
    ASSERT_TRUE(server.waitForRequests(1));
    const auto stoppedAt = std::chrono::steady_clock::now();
    stop.request_stop();
    try {
        call.get();
        ADD_FAILURE() << "answered";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), tarn::kURLErrorDomain);
        EXPECT_EQ(error.code(), tarn::URLErrorCode::cancelled);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 2s);
}

} // namespace
