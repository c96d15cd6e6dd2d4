#include "TarnKit/Platform/ShellWords.h"

#include "TarnKit/Platform/UnicodeText.h"

#include <utility>

namespace tarn {
namespace {

char32_t firstCodePoint(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character.front());
    if (lead < 0x80)
        return lead;
    return text::decodeUTF8(character).front();
}

// CR LF counts as LF, and a backslash before a line end joins the lines with
// a blank, inside quotes too.
std::string joiningContinuations(std::string_view commandLine) {
    std::string joined;
    joined.reserve(commandLine.size());
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const std::string_view rest = commandLine.substr(i);
        if (rest.starts_with("\\\r\n")) {
            joined.push_back(' ');
            i += 2;
        } else if (rest.starts_with("\\\n")) {
            joined.push_back(' ');
            i += 1;
        } else if (rest.starts_with("\r\n")) {
            joined.push_back('\n');
            i += 1;
        } else {
            joined.push_back(rest.front());
        }
    }
    return joined;
}

} // namespace

std::vector<std::string> splitShellWords(std::string_view commandLine) {
    const std::string joined = joiningContinuations(commandLine);
    std::vector<std::string> words;
    std::string word;
    // A word has begun once a character or a quote belongs to it: '' makes an
    // empty word, a run of blanks makes none.
    bool inWord = false;
    bool escapeNext = false;
    bool inSingleQuotes = false;
    bool inDoubleQuotes = false;
    text::CharacterScanner scanner(joined);
    while (const std::optional<std::string_view> character = scanner.next()) {
        if (escapeNext) {
            word.append(*character);
            escapeNext = false;
            inWord = true;
        } else if (*character == "\\" && !inSingleQuotes) {
            escapeNext = true;
        } else if (*character == "'" && !inDoubleQuotes) {
            inSingleQuotes = !inSingleQuotes;
            inWord = true;
        } else if (*character == "\"" && !inSingleQuotes) {
            inDoubleQuotes = !inDoubleQuotes;
            inWord = true;
        } else if (!inSingleQuotes && !inDoubleQuotes &&
                   text::isWhitespaceOrNewline(firstCodePoint(*character))) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word.append(*character);
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

} // namespace tarn
