#include "TarnKit/Platform/TLSTrust.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <optional>

namespace tarn::TLSTrust {
namespace {

struct StoreFree {
    void operator()(X509_STORE* store) const noexcept { X509_STORE_free(store); }
};
using StoreHandle = std::unique_ptr<X509_STORE, StoreFree>;

// The settings a store was loaded for.
struct Sources {
    std::optional<std::string> file;
    std::optional<std::string> folders;

    friend bool operator==(const Sources&, const Sources&) = default;
};

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

Sources currentSources() {
    return {environmentValue(X509_get_default_cert_file_env()),
            environmentValue(X509_get_default_cert_dir_env())};
}

// A folder of certificates named by their subject hash is read lazily, one
// certificate when a chain needs it.
void addFolder(X509_STORE* store, const std::string& folder) {
    if (folder.empty())
        return;
    if (X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir()))
        X509_LOOKUP_add_dir(lookup, folder.c_str(), X509_FILETYPE_PEM);
}

// The system's bundle and folder come first, by their compiled-in names, so
// that the variables add to them instead of replacing them as OpenSSL's own
// default paths would. A source that cannot be read adds nothing.
StoreHandle loadStore(const Sources& sources) {
    StoreHandle store(X509_STORE_new());
    if (!store)
        return nullptr;
    // Like curl's default: a certificate in the store is an anchor even when
    // it is not a root, so one trusted intermediate or leaf is enough.
    X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
    X509_STORE_load_file(store.get(), X509_get_default_cert_file());
    addFolder(store.get(), X509_get_default_cert_dir());
    if (sources.file)
        X509_STORE_load_file(store.get(), sources.file->c_str());
    if (sources.folders) {
        std::string_view rest = *sources.folders;
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            addFolder(store.get(), std::string(rest.substr(0, colon)));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    // Failures to read a source leave entries in this thread's error queue,
    // where a later TLS call would take them for its own.
    ERR_clear_error();
    return store;
}

std::mutex storeLock;
Sources loadedSources;
StoreHandle loadedStore;

bool attachSharedStore(SSL_CTX* context) {
    const Sources sources = currentSources();
    const std::lock_guard lock(storeLock);
    if (!loadedStore || !(sources == loadedSources)) {
        StoreHandle store = loadStore(sources);
        if (!store)
            return false;
        loadedStore = std::move(store);
        loadedSources = sources;
    }
    // The context takes a reference of its own; a store replaced later stays
    // alive for the contexts that use it.
    SSL_CTX_set1_cert_store(context, loadedStore.get());
    return true;
}

bool isAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

bool requireName(SSL_CTX* context, std::string_view host) {
    std::string name(host);
    // An IPv6 zone ("fe80::1%eth0") is no part of the address a certificate
    // can name.
    if (name.find(':') != std::string::npos)
        name = name.substr(0, name.find('%'));
    X509_VERIFY_PARAM* parameters = SSL_CTX_get0_param(context);
    if (isAddress(name))
        return X509_VERIFY_PARAM_set1_ip_asc(parameters, name.c_str()) == 1;
    X509_VERIFY_PARAM_set_hostflags(parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return X509_VERIFY_PARAM_set1_host(parameters, name.data(), name.size()) == 1;
}

} // namespace

bool prepareClientContext(ssl_ctx_st* context, std::string_view host) {
    if (!attachSharedStore(context))
        return false;
    return host.empty() || requireName(context, host);
}

std::string invalidCertificateDescription(long verifyResult) {
    if (verifyResult == X509_V_OK)
        return "The certificate for this server is invalid.";
    return std::string("The certificate for this server is invalid: ") +
           X509_verify_cert_error_string(verifyResult) + ".";
}

} // namespace tarn::TLSTrust
