// Feeds arbitrary bytes to the LZFSE decoder: it must reject or decode them
// without reading out of bounds, and never hand back more than the cap.
#include "TarnKit/Platform/LZFSE.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t cap = 1 << 20;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto result = tarn::lzfse::decompress(input, cap);
    if (result && result->size() > cap)
        std::abort();
    // The same input must give the same answer under a cap it fits.
    if (result && tarn::lzfse::decompress(input, result->size()) != result)
        std::abort();
    return 0;
}
