// Response body pretty printing. The text is always valid UTF-8, and pretty
// JSON reads back as the same JSON: printing it again changes nothing once the
// first pass has settled number forms such as -0.0.
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    using quiller::JSONInspectorEngine::prettyPrint;

    const std::string first = prettyPrint(body);
    if (!tarn::text::isValidUTF8(first))
        std::abort();
    if (first == tarn::text::repairUTF8(body))
        return 0; // not JSON, a scalar, or already pretty
    const std::string second = prettyPrint(first);
    if (second == first)
        return 0;
    if (prettyPrint(second) != second)
        std::abort();
    return 0;
}
