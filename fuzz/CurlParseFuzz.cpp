// Pasted cURL commands are outside input: splitting and import must take any
// bytes, and whatever they import must render in every snippet language.
#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "TarnKit/Platform/ShellWords.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quiller;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Quoted empty arguments are words, but every byte of a word is a byte of
    // the command: quotes, escapes and blanks only ever go.
    std::size_t wordBytes = 0;
    for (const std::string& word : tarn::splitShellWords(text))
        wordBytes += word.size();
    if (wordBytes > text.size())
        std::abort();

    if (const auto request = CurlCodecEngine::parseCurl(text)) {
        if (request->url.empty() || request->headers.empty())
            std::abort();
        const VariableMap variables = {{"host", "https://x.test"}};
        for (const CodeSnippetLanguage language : allCases<CodeSnippetLanguage>())
            (void)CurlCodecEngine::generateSnippet(*request, language, variables);
    }
    return 0;
}
