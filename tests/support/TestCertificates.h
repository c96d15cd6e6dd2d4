#pragma once

// Certificates made at test time for loopback TLS servers: self-signed ones,
// and a private certificate authority that issues server certificates.
// Needs no GoogleTest, so benchmarks use it too.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tarn::testing {

// A server's certificate chain (leaf first) and its private key, both PEM.
struct ServerCertificate {
    std::string certificatePEM;
    std::string privateKeyPEM;

    // Valid from an hour ago for a day, for the given names and addresses,
    // signed by itself.
    static ServerCertificate selfSigned(const std::vector<std::string>& dnsNames,
                                        const std::vector<std::string>& ipAddresses);
};

// When a certificate is valid, relative to now.
struct Validity {
    std::chrono::seconds from = std::chrono::hours(-1);
    std::chrono::seconds until = std::chrono::hours(24);
};

// A root certificate authority of its own, made when constructed.
class TestCertificateAuthority {
public:
    TestCertificateAuthority();
    ~TestCertificateAuthority();
    TestCertificateAuthority(const TestCertificateAuthority&) = delete;
    TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

    // The root certificate, as a client's trust store would hold it.
    const std::string& certificatePEM() const;

    // A server certificate for these names and addresses, signed by the root.
    ServerCertificate issue(const std::vector<std::string>& dnsNames,
                            const std::vector<std::string>& ipAddresses,
                            Validity validity = {}) const;

private:
    struct Keys;
    std::unique_ptr<Keys> m_keys;
    std::string m_certificatePEM;
};

} // namespace tarn::testing
