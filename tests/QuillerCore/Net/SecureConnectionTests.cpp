// HTTPS and wss against loopback servers whose certificates come from a
// certificate authority made at test time: which servers are trusted, what
// the user reads when one is not, and that trust never carries a TLS session
// from one execution to the next.

#include "QuillerCore/Services/TarnWebSocketClient.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/EnvironmentScope.h"
#include "support/LoopbackTLSServer.h"
#include "support/LoopbackWebSocketServer.h"
#include "support/TemporaryFolder.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::TarnWebSocketClient;
using quiller::WebSocketFrameItem;
using tarn::testing::EnvironmentScope;
using tarn::testing::LoopbackTLSServer;
using tarn::testing::LoopbackWebSocketServer;
using tarn::testing::ServerCertificate;
using tarn::testing::TemporaryFolder;
using tarn::testing::TestCertificateAuthority;
using tarn::testing::Validity;

const std::string kInvalid = "The certificate for this server is invalid: ";

enum class Trust { systemOnly, certificateFile, certificateFolder };

// Where the process looks for trusted certificates, for one scope: the
// system's store alone, or with the authority's certificate in the file that
// SSL_CERT_FILE names or in a hashed folder that SSL_CERT_DIR lists.
class TrustScope {
public:
    TrustScope(Trust trust, const std::string& authorityPEM) {
        m_environment.set("SSL_CERT_FILE", std::nullopt);
        m_environment.set("SSL_CERT_DIR", std::nullopt);
        if (trust == Trust::certificateFile) {
            const auto path = m_folder.path() / "private-ca.pem";
            std::ofstream(path) << authorityPEM;
            m_environment.set("SSL_CERT_FILE", path.string());
        } else if (trust == Trust::certificateFolder) {
            // OpenSSL finds a certificate in a folder by the hash of its
            // subject: "<hash>.0".
            std::unique_ptr<BIO, decltype(&BIO_free)> bio(
                BIO_new_mem_buf(authorityPEM.data(), static_cast<int>(authorityPEM.size())),
                &BIO_free);
            std::unique_ptr<X509, decltype(&X509_free)> certificate(
                PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), &X509_free);
            std::array<char, 16> name{};
            std::snprintf(name.data(), name.size(), "%08lx.0",
                          X509_subject_name_hash(certificate.get()));
            std::ofstream(m_folder.path() / name.data()) << authorityPEM;
            m_environment.set("SSL_CERT_DIR",
                              "/nonexistent-certificates:" + m_folder.path().string());
        }
    }

private:
    TemporaryFolder m_folder;
    EnvironmentScope m_environment;
};

// What a WebSocket client reported, with a wait for the first frame or end.
class WebSocketOutcome {
public:
    explicit WebSocketOutcome(TarnWebSocketClient& client) {
        client.setOnMessage([this](const WebSocketFrameItem& frame) {
            if (frame.isOutgoing)
                return;
            const std::lock_guard lock(m_mutex);
            m_received.push_back(frame.payload);
            m_changed.notify_all();
        });
        client.setOnDisconnect([this](const std::optional<std::string>& text) {
            const std::lock_guard lock(m_mutex);
            m_disconnect = text.value_or("");
            m_changed.notify_all();
        });
    }

    // The first received payload, or the disconnect text prefixed "ended: ".
    std::string wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, 10s, [this] { return !m_received.empty() || m_disconnect; });
        if (!m_received.empty())
            return m_received.front();
        return m_disconnect ? "ended: " + *m_disconnect : "nothing within 10 s";
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_received;
    std::optional<std::string> m_disconnect;
};

std::string httpsOutcome(const std::string& url) {
    tarn::HTTPTransferRequest request;
    request.url = url;
    try {
        return tarn::HTTPTransfer::perform(request, {}).body;
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), tarn::kURLErrorDomain);
        return "ended: " + error.description();
    }
}

enum class Issued { forLocalhost, forLocalhostAndAddress, forAnotherName, expired, selfSigned };

ServerCertificate certificateFor(Issued issued, const TestCertificateAuthority& authority) {
    switch (issued) {
    case Issued::forLocalhost:
        return authority.issue({"localhost"}, {});
    case Issued::forLocalhostAndAddress:
        return authority.issue({"localhost"}, {"127.0.0.1"});
    case Issued::forAnotherName:
        return authority.issue({"api.example.test"}, {});
    case Issued::expired:
        return authority.issue({"localhost"}, {}, Validity{-48h, -24h});
    case Issued::selfSigned:
        return ServerCertificate::selfSigned({"localhost"}, {});
    }
    return {};
}

struct TrustCase {
    std::string name;
    Trust trust;
    Issued issued;
    std::string host;
    // The body for HTTPS and the echo for wss, or "ended: " and the reason.
    std::string outcome;
};

class SecureConnectionTest : public ::testing::TestWithParam<TrustCase> {
protected:
    static const TestCertificateAuthority& authority() {
        static const TestCertificateAuthority made;
        return made;
    }
};

TEST_P(SecureConnectionTest, HTTPSAndWebSocketTrustTheSameServers) {
    const TrustCase& c = GetParam();
    const TrustScope trust(c.trust, authority().certificatePEM());
    const ServerCertificate certificate = certificateFor(c.issued, authority());

    const LoopbackTLSServer https(certificate);
    EXPECT_EQ(httpsOutcome(https.url(c.host)), c.outcome == "echo" ? "secure" : c.outcome)
        << "HTTPS";

    LoopbackWebSocketServer::Options options;
    options.certificate = certificate;
    LoopbackWebSocketServer wss(options);
    TarnWebSocketClient client;
    WebSocketOutcome outcome(client);
    ASSERT_TRUE(client.connect(wss.url(c.host)));
    client.send("echo");
    EXPECT_EQ(outcome.wait(), c.outcome) << "wss";
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, SecureConnectionTest,
    ::testing::Values(TrustCase{"unknownAuthority", Trust::systemOnly, Issued::forLocalhost,
                                "localhost",
                                "ended: " + kInvalid + "unable to get local issuer certificate."},
                      TrustCase{"authorityInCertFile", Trust::certificateFile, Issued::forLocalhost,
                                "localhost", "echo"},
                      TrustCase{"authorityInCertDir", Trust::certificateFolder,
                                Issued::forLocalhost, "localhost", "echo"},
                      TrustCase{"addressInCertificate", Trust::certificateFile,
                                Issued::forLocalhostAndAddress, "127.0.0.1", "echo"},
                      TrustCase{"nameMismatch", Trust::certificateFile, Issued::forAnotherName,
                                "localhost", "ended: " + kInvalid + "hostname mismatch."},
                      TrustCase{"addressMismatch", Trust::certificateFile, Issued::forLocalhost,
                                "127.0.0.1", "ended: " + kInvalid + "IP address mismatch."},
                      TrustCase{"expired", Trust::certificateFile, Issued::expired, "localhost",
                                "ended: " + kInvalid + "certificate has expired."},
                      TrustCase{"selfSigned", Trust::certificateFile, Issued::selfSigned,
                                "localhost", "ended: " + kInvalid + "self-signed certificate."}),
    [](const ::testing::TestParamInfo<TrustCase>& param) { return param.param.name; });

TEST(SecureConnection, EveryExecutionMakesAFreshTLSSession) {
    const TestCertificateAuthority authority;
    const TrustScope trust(Trust::certificateFile, authority.certificatePEM());
    const LoopbackTLSServer server(authority.issue({"localhost"}, {}));

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(httpsOutcome(server.url("localhost")), "secure");
    EXPECT_EQ(server.answered(), 3u);
    EXPECT_EQ(server.resumedSessions(), 0u);
}

TEST(SecureConnection, PlainWebSocketToATLSPortSaysWhatWentWrong) {
    const TestCertificateAuthority authority;
    const LoopbackTLSServer server(authority.issue({"localhost"}, {}));
    TarnWebSocketClient client;
    WebSocketOutcome outcome(client);
    ASSERT_TRUE(client.connect("ws://127.0.0.1:" + std::to_string(server.port()) + "/"));
    EXPECT_EQ(outcome.wait(),
              "ended: The server closed the connection without answering the WebSocket upgrade. "
              "If it expects a secure connection, use a wss URL.");
}

} // namespace
