// Pretty printing in two passes over the body, as large bodies are printed,
// must give exactly the text of the parsed document's printer, refusals
// included.
#include "QuillerCore/Engine/JSONInspectorEngine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    using quiller::JSONInspectorEngine::detail::prettyPrint;
    if (prettyPrint(body, {.twoPassFromBytes = 0}) !=
        prettyPrint(body, {.twoPassFromBytes = SIZE_MAX}))
        std::abort();
    return 0;
}
