// The workspace file as it comes from disk: any bytes must either decode or be
// refused with a DecodingError, and whatever decodes must survive a write and
// a second read unchanged, and the store's encoder must write the same bytes
// as the generic writer.

#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<nlohmann::json> document = tarn::json::parse(text);
    if (!document)
        return 0;
    quiller::QuillerWorkspacePayload payload;
    try {
        payload = tarn::json::decode<quiller::QuillerWorkspacePayload>(*document);
    } catch (const tarn::json::DecodingError&) {
        return 0;
    }
    const std::string written = tarn::json::pretty(nlohmann::json(payload));
    // The store's own encoder must agree with the generic writer, byte for byte.
    quiller::detail::WorkspaceFileEncoder encoder;
    std::string encoded;
    encoder.encode(payload, payload.environments, encoded);
    if (encoded != written)
        std::abort();
    const std::optional<nlohmann::json> reread = tarn::json::parse(written);
    if (!reread || tarn::json::decode<quiller::QuillerWorkspacePayload>(*reread) != payload ||
        tarn::json::pretty(*reread) != written)
        std::abort();
    return 0;
}
