#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Cuts a command line into words the way a POSIX shell cuts a simple command:
// single and double quotes, backslash escapes and line continuations; Unicode
// blanks separate words too. A quoted empty argument ('' or "") stays an empty
// word, as a program would receive it. CR LF line ends count as LF.
// Unterminated quotes and a trailing backslash are not errors.
[[nodiscard]] std::vector<std::string> splitShellWords(std::string_view commandLine);

} // namespace tarn
