// Shell-style splitting of command lines, for the cURL import and the MCP
// inspector.
#include "QuillerCore/Engine/CurlCodecEngine.h"

#include "TarnKit/Platform/UnicodeText.h"

#include <utility>

namespace quiller {
namespace {

char32_t firstCodePoint(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character.front());
    if (lead < 0x80)
        return lead;
    return tarn::text::decodeUTF8(character).front();
}

} // namespace

namespace CurlCodecEngine {

std::vector<std::string> shellSplit(std::string_view commandLine) {
    // CR LF counts as LF, and a backslash before a line end joins the lines
    // with a blank, inside quotes too.
    std::string text;
    text.reserve(commandLine.size());
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const std::string_view rest = commandLine.substr(i);
        if (rest.starts_with("\\\r\n")) {
            text.push_back(' ');
            i += 2;
        } else if (rest.starts_with("\\\n")) {
            text.push_back(' ');
            i += 1;
        } else if (rest.starts_with("\r\n")) {
            text.push_back('\n');
            i += 1;
        } else {
            text.push_back(rest.front());
        }
    }

    std::vector<std::string> words;
    std::string word;
    bool escapeNext = false;
    bool inSingleQuotes = false;
    bool inDoubleQuotes = false;
    tarn::text::CharacterScanner scanner(text);
    while (const std::optional<std::string_view> character = scanner.next()) {
        if (escapeNext) {
            word.append(*character);
            escapeNext = false;
        } else if (*character == "\\" && !inSingleQuotes) {
            escapeNext = true;
        } else if (*character == "'" && !inDoubleQuotes) {
            inSingleQuotes = !inSingleQuotes;
        } else if (*character == "\"" && !inSingleQuotes) {
            inDoubleQuotes = !inDoubleQuotes;
        } else if (!inSingleQuotes && !inDoubleQuotes &&
                   tarn::text::isWhitespaceOrNewline(firstCodePoint(*character))) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.append(*character);
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

} // namespace CurlCodecEngine
} // namespace quiller
