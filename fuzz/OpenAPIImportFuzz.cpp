// Pasted OpenAPI documents are outside input. Whatever the bytes, the import
// gives a collection or nothing; a collection read as OpenAPI holds only the
// five operation methods with the fixed rows and bodies of an OpenAPI request,
// and it survives the workspace file's JSON form unchanged.
#include "QuillerCore/Engine/SpecImporterEngine.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"

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

bool isOpenAPIDocument(std::string_view text) {
    const std::optional<nlohmann::json> document = tarn::json::parse(text);
    return document && document->is_object() &&
           (document->contains("openapi") || document->contains("paths"));
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
    if (!isOpenAPIDocument(text))
        return 0;

    for (const APIRequestSpec& request : collection->requests) {
        check(request.method != TarnHTTPMethod::head && request.method != TarnHTTPMethod::options);
        check(request.headers.size() == 1 && request.headers[0].key == "Accept" &&
              request.headers[0].value == "application/json" && request.headers[0].isEnabled);
        const bool bodyByMethod = request.method == TarnHTTPMethod::post ||
                                  request.method == TarnHTTPMethod::put ||
                                  request.method == TarnHTTPMethod::patch;
        if (request.bodyKind == RequestBodyKind::json)
            check(request.bodyText == "{\n  \n}");
        else
            check(request.bodyKind == RequestBodyKind::none && request.bodyText.empty() &&
                  !bodyByMethod);
        check(request.queryParams.empty() && request.graphQLVariables == "{}");
    }
    return 0;
}
