// The JSON path field: the first line of the input is the path, the rest the
// body. Besides not crashing, the whole document's text must be its pretty
// print whenever the body pretty-prints as a container.
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string_view path = input.substr(0, lineEnd);
    const std::string_view body =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);

    using namespace quiller::JSONInspectorEngine;
    const auto value = extractJSONPath(path, body);
    if (value && !tarn::text::isValidUTF8(*value))
        std::abort();

    const auto whole = extractJSONPath("$", body);
    const std::string pretty = prettyPrint(body);
    if (pretty != tarn::text::repairUTF8(body) && (!whole || *whole != pretty))
        std::abort();
    return 0;
}
