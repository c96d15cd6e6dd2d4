#include "QuillerCore/Services/HTTPReasonPhrases.h"

#include "TarnKit/Platform/ASCII.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quiller::HTTPReasonPhrases {
namespace {

struct Entry {
    int code;
    std::string_view description;
};

// Sorted by code for the binary search below.
constexpr std::array<Entry, 61> kTable = {{
    {100, "continue"},
    {101, "switching protocols"},
    {102, "processing"},
    {103, "early hints"},
    {200, "no error"},
    {201, "created"},
    {202, "accepted"},
    {203, "non-authoritative information"},
    {204, "no content"},
    {205, "reset content"},
    {206, "partial content"},
    {207, "multi-status"},
    {208, "already reported"},
    {226, "im used"},
    {300, "multiple choices"},
    {301, "moved permanently"},
    {302, "found"},
    {303, "see other"},
    {304, "not modified"},
    {305, "use proxy"},
    {307, "temporary redirect"},
    {308, "permanent redirect"},
    {400, "bad request"},
    {401, "unauthorized"},
    {402, "payment required"},
    {403, "forbidden"},
    {404, "not found"},
    {405, "method not allowed"},
    {406, "unacceptable"},
    {407, "proxy authentication required"},
    {408, "request timed out"},
    {409, "conflict"},
    {410, "no longer exists"},
    {411, "length required"},
    {412, "precondition failed"},
    {413, "request too large"},
    {414, "requested url too long"},
    {415, "unsupported media type"},
    {416, "requested range not satisfiable"},
    {417, "expectation failed"},
    {418, "i'm a teapot"},
    {421, "misdirected request"},
    {422, "unprocessable content"},
    {423, "locked"},
    {424, "failed dependency"},
    {425, "too early"},
    {426, "upgrade required"},
    {428, "precondition required"},
    {429, "too many requests"},
    {431, "request header fields too large"},
    {451, "unavailable for legal reasons"},
    {500, "internal server error"},
    {501, "unimplemented"},
    {502, "bad gateway"},
    {503, "service unavailable"},
    {504, "gateway timed out"},
    {505, "http version not supported"},
    {506, "variant also negotiates"},
    {507, "insufficient storage"},
    {508, "loop detected"},
    {511, "network authentication required"},
}};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry& a, const Entry& b) { return a.code < b.code; }));

bool isWordCharacter(char c) {
    return tarn::ascii::isAlphanumeric(c) || c == '\'';
}

} // namespace

std::string_view localizedString(int statusCode) {
    const auto* found =
        std::lower_bound(kTable.begin(), kTable.end(), statusCode,
                         [](const Entry& entry, int code) { return entry.code < code; });
    if (found != kTable.end() && found->code == statusCode)
        return found->description;
    switch (statusCode / 100) {
    case 1:
        return "informational";
    case 2:
        return "success";
    case 3:
        return "redirected";
    case 4:
        return "client error";
    case 5:
        return "server error";
    default:
        return "unknown status";
    }
}

std::string reasonText(int statusCode) {
    std::string text(localizedString(statusCode));
    bool atWordStart = true;
    // ASCII only, by hand: the table is ASCII and the process locale must not
    // change the result.
    for (char& c : text) {
        if (!isWordCharacter(c)) {
            atWordStart = true;
            continue;
        }
        c = atWordStart ? tarn::ascii::uppercased(c) : tarn::ascii::lowercased(c);
        atWordStart = false;
    }
    return text;
}

} // namespace quiller::HTTPReasonPhrases
