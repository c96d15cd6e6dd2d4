#pragma once

// Which servers the process trusts: one certificate store for every TLS client
// (HTTP transfers and WebSocket connections), loaded once and shared.
//
// The store holds the system's certificates, extended by the file named in
// SSL_CERT_FILE and the folders listed (colon-separated) in SSL_CERT_DIR when
// they are set, so a private CA of a development server can be trusted without
// touching the system bundle. Parsing the system bundle is costly (tens of
// milliseconds); it happens the first time a store is asked for, and again
// only if those two variables change.
//
// Only certificates are shared: TLS sessions, connections and cookies stay
// with the transfer or connection that made them.
//
// Every function may be called from any thread.

#include <string>
#include <string_view>

struct ssl_ctx_st;

namespace tarn::TLSTrust {

// Makes `context` verify servers with the shared store and, when `host` is
// not empty, check that the certificate names it (a DNS name, or an IPv4 or
// IPv6 address written without brackets), so a mismatch fails the handshake
// with its own verify result. False when either could not be set.
bool prepareClientContext(ssl_ctx_st* context, std::string_view host);

// What the user reads for a certificate that failed verification with the
// OpenSSL verify result `verifyResult`: "The certificate for this server is
// invalid: <reason>." (the plain sentence when the result names no reason).
std::string invalidCertificateDescription(long verifyResult);

} // namespace tarn::TLSTrust
