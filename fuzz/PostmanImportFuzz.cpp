// Pasted Postman collections are outside input, and their folders nest as
// deep as the sender likes. Whatever the bytes, the import gives a collection
// or nothing without exhausting the stack; a collection read as Postman has a
// header row in every request and bodies that agree with their kind, and it
// survives the workspace file's JSON form unchanged.
#include "QuillerCore/Engine/SpecImporterEngine.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace {

using namespace quiller;

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isPostmanDocument(std::string_view text) {
    const std::optional<nlohmann::json> document = tarn::json::parse(text);
    return document && document->is_object() && !document->contains("openapi") &&
           !document->contains("paths") && document->contains("item");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<APIRequestCollection> collection =
        SpecImporterEngine::importCollection(text);
    if (!collection)
        return 0;
    check(!collection->requests.empty());
    check(tarn::json::decode<APIRequestCollection>(nlohmann::json(*collection)) == *collection);
    if (!isPostmanDocument(text))
        return 0;

    for (const APIRequestSpec& request : collection->requests) {
        check(!request.headers.empty());
        for (const KeyValueRow& row : request.headers)
            check(!row.isSecret);
        switch (request.bodyKind) {
        case RequestBodyKind::none:
            check(request.bodyText.empty());
            break;
        case RequestBodyKind::json:
            check(tarn::text::trimmingWhitespaceAndNewlines(request.bodyText).starts_with('{'));
            break;
        case RequestBodyKind::rawText:
            check(!request.bodyText.empty() &&
                  !tarn::text::trimmingWhitespaceAndNewlines(request.bodyText).starts_with('{'));
            break;
        default:
            check(false);
        }
        check(request.queryParams.empty() && request.graphQLVariables == "{}");
    }
    return 0;
}
