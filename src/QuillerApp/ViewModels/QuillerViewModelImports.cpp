// Imports, exports and the clipboard: cURL commands, OpenAPI and Postman
// documents, .env variables, and the inspector's snippet and JSON-path values.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::importCurl(const std::string&) {}

void QuillerViewModel::importOpenAPIOrPostman(const std::string&) {}

QuillerViewModel::DotEnvImportCount QuillerViewModel::importDotEnv(const std::string&,
                                                                   const std::string&) {
    return {};
}

void QuillerViewModel::importDotEnvFromFile() {}

void QuillerViewModel::importDotEnvFromClipboard() {}

void QuillerViewModel::exportDotEnvToClipboard(bool) {}

void QuillerViewModel::exportDotEnvToFile(bool) {}

void QuillerViewModel::copyText(const std::string&, const std::string&) {}

std::string QuillerViewModel::generatedCodeSnippet() const {
    return {};
}

std::optional<std::string> QuillerViewModel::jsonPathResult() const {
    return std::nullopt;
}

} // namespace quiller
