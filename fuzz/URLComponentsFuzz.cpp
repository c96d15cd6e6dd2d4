// The URL parser reads whatever a user or an imported file puts in a request's
// URL field. Beyond not crashing, it must keep three promises: what it accepts
// is written back byte for byte, it accepts only URI characters, and appending
// a query item keeps the old query and gives a text it accepts again.
#include "TarnKit/Platform/URLComponents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

bool isURICharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto components = tarn::URLComponents::parse(text);
    if (!components)
        return 0;

    for (const char c : text)
        require(isURICharacter(c));
    require(text.empty() ? !components->string() : components->string() == text);

    // The input's own bytes as a query item, split so both name and value vary.
    auto appended = *components;
    appended.appendQueryItem(text.substr(0, size / 2), text.substr(size / 2));
    const auto written = appended.string();
    require(written.has_value());
    const auto reparsed = tarn::URLComponents::parse(*written);
    require(reparsed == appended);
    const std::string oldQuery = components->query().value_or("");
    require(appended.query()->starts_with(oldQuery));
    require(appended.fragment() == components->fragment());
    return 0;
}
