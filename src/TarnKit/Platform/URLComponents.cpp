#include "TarnKit/Platform/URLComponents.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/Numbers.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarn {
namespace {

// Character classes of RFC 3986, as bits of one table indexed by byte. Bytes
// outside every class (blanks, controls, non-ASCII, "{", "}", "\"", "<", ">",
// "\\", "^", "`", "|") are never valid anywhere in a URI.
enum : std::uint8_t {
    kAlpha = 1 << 0,
    kDigit = 1 << 1,
    kHex = 1 << 2,
    kUnreservedMark = 1 << 3, // "-" "." "_" "~"
    kSubDelim = 1 << 4,       // "!" "$" "&" "'" "(" ")" "*" "+" "," ";" "="
    kColon = 1 << 5,
    kAt = 1 << 6,
    kSlashOrQuestion = 1 << 7,
};

constexpr std::uint8_t kUnreserved = kAlpha | kDigit | kUnreservedMark;
constexpr std::uint8_t kRegName = kUnreserved | kSubDelim;
constexpr std::uint8_t kUserInfo = kRegName | kColon;
constexpr std::uint8_t kPathChar = kRegName | kColon | kAt; // pchar; "/" is handled apart
constexpr std::uint8_t kQueryOrFragment = kPathChar | kSlashOrQuestion;

constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes[static_cast<std::size_t>(c)] |= kAlpha;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[static_cast<std::size_t>(c)] |= kAlpha;
    for (int c = '0'; c <= '9'; ++c)
        classes[static_cast<std::size_t>(c)] |= kDigit | kHex;
    for (int c = 'a'; c <= 'f'; ++c)
        classes[static_cast<std::size_t>(c)] |= kHex;
    for (int c = 'A'; c <= 'F'; ++c)
        classes[static_cast<std::size_t>(c)] |= kHex;
    for (const char c : std::string_view("-._~"))
        classes[static_cast<unsigned char>(c)] |= kUnreservedMark;
    for (const char c : std::string_view("!$&'()*+,;="))
        classes[static_cast<unsigned char>(c)] |= kSubDelim;
    classes[':'] |= kColon;
    classes['@'] |= kAt;
    classes['/'] |= kSlashOrQuestion;
    classes['?'] |= kSlashOrQuestion;
    return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

bool is(char c, std::uint8_t classMask) {
    return (kClasses[static_cast<unsigned char>(c)] & classMask) != 0;
}

// Every byte is of the class or starts a "%" escape with two hex digits.
bool isEncodedText(std::string_view text, std::uint8_t classMask) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !is(text[i + 1], kHex) || !is(text[i + 2], kHex))
                return false;
            i += 2;
        } else if (!is(text[i], classMask)) {
            return false;
        }
    }
    return true;
}

bool isAllOf(std::string_view text, std::uint8_t classMask) {
    for (const char c : text) {
        if (!is(c, classMask))
            return false;
    }
    return true;
}

bool isScheme(std::string_view text) {
    if (text.empty() || !is(text.front(), kAlpha))
        return false;
    for (const char c : text) {
        if (!is(c, kAlpha | kDigit) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// dec-octet "." dec-octet "." dec-octet "." dec-octet, without leading zeros.
bool isIPv4Address(std::string_view text) {
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (text.empty() || text.front() != '.')
                return false;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && digits < 4 && is(text[digits], kDigit)) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text.front() == '0'))
            return false;
        text.remove_prefix(digits);
    }
    return text.empty();
}

// Counts the 16-bit groups of a ":"-separated run of an IPv6 address (an IPv4
// address at the very end counts as two). False for an empty group or a
// misplaced IPv4 address.
bool countIPv6Groups(std::string_view text, bool mayEndInIPv4, int& groups) {
    groups = 0;
    if (text.empty())
        return true;
    while (true) {
        const std::size_t colon = text.find(':');
        const std::string_view piece = text.substr(0, colon);
        if (colon == std::string_view::npos && mayEndInIPv4 &&
            piece.find('.') != std::string_view::npos) {
            if (!isIPv4Address(piece))
                return false;
            groups += 2;
            return true;
        }
        if (piece.empty() || piece.size() > 4 || !isAllOf(piece, kHex))
            return false;
        ++groups;
        if (colon == std::string_view::npos)
            return true;
        text.remove_prefix(colon + 1);
    }
}

bool isIPv6Address(std::string_view text) {
    const std::size_t elision = text.find("::");
    int groups = 0;
    if (elision == std::string_view::npos)
        return countIPv6Groups(text, true, groups) && groups == 8;
    if (text.find("::", elision + 1) != std::string_view::npos)
        return false;
    int leftGroups = 0;
    int rightGroups = 0;
    // "::" stands for at least one group of zeros.
    return countIPv6Groups(text.substr(0, elision), false, leftGroups) &&
           countIPv6Groups(text.substr(elision + 2), true, rightGroups) &&
           leftGroups + rightGroups <= 7;
}

// The text between the brackets of an IP-literal: an IPv6 address with an
// optional RFC 6874 zone, or "v" HEXDIG+ "." followed by the IPvFuture text.
bool isIPLiteral(std::string_view text) {
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos || dot == 1 || !isAllOf(text.substr(1, dot - 1), kHex))
            return false;
        const std::string_view rest = text.substr(dot + 1);
        return !rest.empty() && isAllOf(rest, kUnreserved | kSubDelim | kColon);
    }
    const std::size_t zone = text.find('%');
    if (zone == std::string_view::npos)
        return isIPv6Address(text);
    const std::string_view zoneText = text.substr(zone);
    return isIPv6Address(text.substr(0, zone)) && zoneText.starts_with("%25") &&
           zoneText.size() > 3 && isEncodedText(zoneText.substr(3), kUnreserved);
}

bool isPath(std::string_view text) {
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t slash = std::min(text.find('/', start), text.size());
        if (!isEncodedText(text.substr(start, slash - start), kPathChar))
            return false;
        start = slash + 1;
    }
    return true;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

} // namespace

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
    URLComponents components;
    std::string_view rest = text;

    // A ":" before any "/", "?" or "#" ends a scheme. A relative reference may
    // not have one there at all, so a text that starts like "1x:" or ":" is
    // refused rather than read as a path.
    const std::size_t firstDelimiter = rest.find_first_of(":/?#");
    if (firstDelimiter != std::string_view::npos && rest[firstDelimiter] == ':') {
        const std::string_view scheme = rest.substr(0, firstDelimiter);
        if (!isScheme(scheme))
            return std::nullopt;
        components.m_scheme.emplace(scheme);
        rest.remove_prefix(firstDelimiter + 1);
    }

    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        const std::string_view fragment = rest.substr(hash + 1);
        if (!isEncodedText(fragment, kQueryOrFragment))
            return std::nullopt;
        components.m_fragment.emplace(fragment);
        rest = rest.substr(0, hash);
    }
    if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
        const std::string_view query = rest.substr(question + 1);
        if (!isEncodedText(query, kQueryOrFragment))
            return std::nullopt;
        components.m_query.emplace(query);
        rest = rest.substr(0, question);
    }

    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t pathStart = std::min(rest.find('/'), rest.size());
        std::string_view hostAndPort = rest.substr(0, pathStart);
        rest.remove_prefix(pathStart);

        if (const std::size_t at = hostAndPort.find('@'); at != std::string_view::npos) {
            const std::string_view userInfo = hostAndPort.substr(0, at);
            if (!isEncodedText(userInfo, kUserInfo))
                return std::nullopt;
            components.m_userInfo.emplace(userInfo);
            hostAndPort.remove_prefix(at + 1);
        }

        std::string_view host;
        std::string_view afterHost;
        if (hostAndPort.starts_with('[')) {
            const std::size_t close = hostAndPort.find(']');
            if (close == std::string_view::npos || !isIPLiteral(hostAndPort.substr(1, close - 1)))
                return std::nullopt;
            host = hostAndPort.substr(0, close + 1);
            afterHost = hostAndPort.substr(close + 1);
        } else {
            const std::size_t colon = std::min(hostAndPort.find(':'), hostAndPort.size());
            host = hostAndPort.substr(0, colon);
            afterHost = hostAndPort.substr(colon);
            if (!isEncodedText(host, kRegName))
                return std::nullopt;
        }
        components.m_host.emplace(host);

        if (!afterHost.empty()) {
            if (afterHost.front() != ':' || !isAllOf(afterHost.substr(1), kDigit))
                return std::nullopt;
            components.m_port.emplace(afterHost.substr(1));
        }
    }

    if (!isPath(rest))
        return std::nullopt;
    components.m_path.assign(rest);
    return components;
}

void URLComponents::appendQueryItem(std::string_view name, std::string_view value) {
    std::string item = percentEncodedQueryComponent(name);
    item.push_back('=');
    item.append(percentEncodedQueryComponent(value));
    if (!m_query || m_query->empty())
        m_query = std::move(item);
    else
        m_query->append("&").append(item);
}

std::optional<std::string> URLComponents::string() const {
    std::string text;
    if (m_scheme)
        text.append(*m_scheme).push_back(':');
    if (m_host) {
        text.append("//");
        if (m_userInfo)
            text.append(*m_userInfo).push_back('@');
        text.append(*m_host);
        if (m_port)
            text.append(":").append(*m_port);
    }
    text.append(m_path);
    if (m_query)
        text.append("?").append(*m_query);
    if (m_fragment)
        text.append("#").append(*m_fragment);
    if (text.empty())
        return std::nullopt;
    return text;
}

std::string percentEncodedQueryComponent(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        if (is(c, kUnreserved)) {
            encoded.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded.push_back('%');
            encoded.push_back(kHexDigits[byte >> 4]);
            encoded.push_back(kHexDigits[byte & 0x0F]);
        }
    }
    return encoded;
}

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = numbers::hexDigitValue(text[i + 1]);
            const int low = numbers::hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.push_back(text[i]);
    }
    return decoded;
}

bool isHTTPURLWithHost(std::string_view text) {
    const std::optional<URLComponents> url = URLComponents::parse(text);
    if (!url || !url->scheme() || !url->host() || url->host()->empty())
        return false;
    const std::string scheme = ascii::lowercased(*url->scheme());
    return scheme == "http" || scheme == "https";
}

} // namespace tarn
