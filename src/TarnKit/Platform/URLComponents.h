#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A URI reference (RFC 3986) split into its components, each kept as the
// percent-encoded text it was written with, so that writing the components
// back gives the parsed text byte for byte.
//
// Parsing is strict: anything RFC 3986 does not allow is refused rather than
// repaired, among it blanks, braces, other characters outside the URI
// character set, control characters, non-ASCII bytes and a "%" not followed by
// two hexadecimal digits. A "{{name}}" template left unfilled therefore never
// turns into a URL. Hosts are a registered name (which covers IPv4 addresses),
// or an IPv6 address (with an RFC 6874 zone "%25...") or an IPvFuture literal
// in brackets. Relative references (no scheme) are accepted as RFC 3986 does.
//
// A value type: copy it freely; a const object may be read from any thread.
class URLComponents {
public:
    // The components of `text`, or nothing when it is not a URI reference.
    [[nodiscard]] static std::optional<URLComponents> parse(std::string_view text);

    // Absent when the reference has no such component; the texts never hold
    // the delimiters (":", "//", "@", "?", "#") that introduce them.
    const std::optional<std::string>& scheme() const { return m_scheme; }
    const std::optional<std::string>& userInfo() const { return m_userInfo; }
    // Present exactly when the reference has an authority ("//"); may be
    // empty ("file:///tmp"). An IP literal keeps its brackets.
    const std::optional<std::string>& host() const { return m_host; }
    // Decimal digits only, possibly none ("http://host:/"); not range-checked.
    const std::optional<std::string>& port() const { return m_port; }
    const std::string& path() const { return m_path; }
    // Present when the reference has a "?", even with nothing after it.
    const std::optional<std::string>& query() const { return m_query; }
    const std::optional<std::string>& fragment() const { return m_fragment; }

    // Adds "name=value" to the query: name and value are percent-encoded
    // except the unreserved characters (letters, digits, "-", ".", "_", "~"),
    // so "+", "&", "=", "#", "/" and blanks reach the server as the literal
    // characters they were and never as delimiters. The query text already
    // present is kept byte for byte; the item follows it after a "&" (no "&"
    // when that text is empty).
    void appendQueryItem(std::string_view name, std::string_view value);

    // The URL text the components make, or nothing when they make none (the
    // empty reference, which names no resource of its own).
    std::optional<std::string> string() const;

    friend bool operator==(const URLComponents&, const URLComponents&) = default;

private:
    URLComponents() = default;

    std::optional<std::string> m_scheme;
    std::optional<std::string> m_userInfo;
    std::optional<std::string> m_host;
    std::optional<std::string> m_port;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
};

// The bytes of `text` with everything but the unreserved characters written as
// "%XX" (upper-case hexadecimal, one escape per UTF-8 byte): the form of a
// query item's name or value. Pure; any thread.
std::string percentEncodedQueryComponent(std::string_view text);

// Whether `text` is an absolute http or https URL (scheme in any case) with a
// non-empty host: what an endpoint of ours must be before anything is sent.
// Pure; any thread.
bool isHTTPURLWithHost(std::string_view text);

// `text` with every "%XX" escape turned into its byte; a "%" that starts no
// escape stays as it is. The result may be invalid UTF-8: callers that show it
// repair it. Pure; any thread.
[[nodiscard]] std::string percentDecoded(std::string_view text);

} // namespace tarn
