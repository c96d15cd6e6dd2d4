#include "TestCertificates.h"

#include <cstdint>
#include <functional>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace tarn::testing {
namespace {

template <class T, void (*Free)(T*)> struct Freer {
    void operator()(T* p) const { Free(p); }
};
using PKeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using BIOPtr = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Freer<X509_EXTENSION, X509_EXTENSION_free>>;

void require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test certificate: ") + what);
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    require(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "extension");
}

std::string pemOf(const std::function<int(BIO*)>& write) {
    BIOPtr bio(BIO_new(BIO_s_mem()));
    require(bio && write(bio.get()) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string pemOf(X509* certificate) {
    return pemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); });
}

std::string pemOf(EVP_PKEY* key) {
    return pemOf([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

PKeyPtr newKey() {
    PKeyPtr key(EVP_EC_gen("P-256"));
    require(key != nullptr, "key");
    return key;
}

struct CertificateRequest {
    std::string commonName;
    std::vector<std::string> dnsNames;
    std::vector<std::string> ipAddresses;
    bool isAuthority = false;
    Validity validity;
};

// Signed by `issuer` with `issuerKey`, or by itself when `issuer` is null.
X509Ptr makeCertificate(const CertificateRequest& request, EVP_PKEY* key, X509* issuer,
                        EVP_PKEY* issuerKey) {
    X509Ptr certificate(X509_new());
    require(certificate != nullptr, "X509_new");
    X509_set_version(certificate.get(), 2);
    unsigned char serial[8];
    require(RAND_bytes(serial, sizeof serial) == 1, "serial");
    std::uint64_t serialNumber = serial[0] & 0x7f;
    for (int i = 1; i < 8; ++i)
        serialNumber = (serialNumber << 8) | serial[i];
    ASN1_INTEGER_set_uint64(X509_get_serialNumber(certificate.get()), serialNumber);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), request.validity.from.count());
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), request.validity.until.count());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(request.commonName.c_str()),
                               -1, -1, 0);
    X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : name);
    require(X509_set_pubkey(certificate.get(), key) == 1, "public key");

    X509* signer = issuer ? issuer : certificate.get();
    addExtension(certificate.get(), signer, NID_basic_constraints,
                 request.isAuthority || !issuer ? "critical,CA:TRUE" : "critical,CA:FALSE");
    addExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
    if (issuer)
        addExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid:always");
    if (request.isAuthority)
        addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    std::string alternativeNames;
    for (const std::string& dns : request.dnsNames)
        alternativeNames += (alternativeNames.empty() ? "DNS:" : ",DNS:") + dns;
    for (const std::string& ip : request.ipAddresses)
        alternativeNames += (alternativeNames.empty() ? "IP:" : ",IP:") + ip;
    if (!alternativeNames.empty())
        addExtension(certificate.get(), signer, NID_subject_alt_name, alternativeNames);
    require(X509_sign(certificate.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "sign");
    return certificate;
}

std::string commonNameFor(const std::vector<std::string>& dnsNames) {
    return dnsNames.empty() ? "Quiller test server" : dnsNames.front();
}

} // namespace

ServerCertificate ServerCertificate::selfSigned(const std::vector<std::string>& dnsNames,
                                                const std::vector<std::string>& ipAddresses) {
    PKeyPtr key = newKey();
    const X509Ptr certificate = makeCertificate(
        {commonNameFor(dnsNames), dnsNames, ipAddresses, false, {}}, key.get(), nullptr, nullptr);
    return {pemOf(certificate.get()), pemOf(key.get())};
}

struct TestCertificateAuthority::Keys {
    PKeyPtr key;
    X509Ptr certificate;
};

TestCertificateAuthority::TestCertificateAuthority() : m_keys(std::make_unique<Keys>()) {
    m_keys->key = newKey();
    m_keys->certificate = makeCertificate({"Quiller Test Root CA",
                                           {},
                                           {},
                                           true,
                                           {std::chrono::hours(-1), std::chrono::hours(24 * 30)}},
                                          m_keys->key.get(), nullptr, nullptr);
    m_certificatePEM = pemOf(m_keys->certificate.get());
}

TestCertificateAuthority::~TestCertificateAuthority() = default;

const std::string& TestCertificateAuthority::certificatePEM() const {
    return m_certificatePEM;
}

ServerCertificate TestCertificateAuthority::issue(const std::vector<std::string>& dnsNames,
                                                  const std::vector<std::string>& ipAddresses,
                                                  Validity validity) const {
    PKeyPtr key = newKey();
    const X509Ptr certificate =
        makeCertificate({commonNameFor(dnsNames), dnsNames, ipAddresses, false, validity},
                        key.get(), m_keys->certificate.get(), m_keys->key.get());
    return {pemOf(certificate.get()), pemOf(key.get())};
}

} // namespace tarn::testing
