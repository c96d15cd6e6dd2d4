#include "TarnKit/System/TarnLaunchAtLogin.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cerrno>
#include <exception>
#include <system_error>
#include <unistd.h>

namespace tarn::TarnLaunchAtLogin {
namespace {

namespace fs = std::filesystem;

// The characters that force an argument into quotes, from the Desktop Entry
// rules; carriage return is added because argument splitters disagree on
// whether it separates arguments.
constexpr std::string_view kReserved = " \t\n\r\"'\\><~|&;$*?#()`";

std::string_view trimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Both values the session managers' key-file readers take for a boolean.
bool isTrue(std::string_view value) {
    return value == "true" || value == "1";
}
bool isFalse(std::string_view value) {
    return value == "false" || value == "0";
}

// Whether the [Desktop Entry] group switches the entry off.
bool switchesItselfOff(std::string_view content) {
    bool inMainGroup = false;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::string_view line =
            trimBlanks(content.substr(0, end == std::string_view::npos ? content.size() : end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);

        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos)
            continue;
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string_view value = trimBlanks(line.substr(equals + 1));
        if ((key == "Hidden" && isTrue(value)) ||
            (key == "X-GNOME-Autostart-enabled" && isFalse(value)))
            return true;
    }
    return false;
}

// Text an entry's value can carry: UTF-8 without control characters, apart
// from the three that string values have escapes for.
bool isExpressible(std::string_view text) {
    if (!text::isValidUTF8(text))
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> execArgument(std::string_view argument) {
    if (!isExpressible(argument))
        return std::nullopt;

    // The quoting rule first, then "%" as a field code, then the escapes of
    // the string value: a reader undoes them in the opposite order.
    std::string quoted;
    const bool needsQuotes =
        argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    if (needsQuotes)
        quoted += '"';
    for (const char c : argument) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\'))
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    if (needsQuotes)
        quoted += '"';

    std::string value;
    value.reserve(quoted.size());
    for (const char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::optional<std::string> desktopEntry(const fs::path& executable) {
    const std::optional<std::string> exec = execArgument(executable.native());
    if (!exec)
        return std::nullopt;
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Version=1.5\n"
                        "Name=";
    entry += buildinfo::productName;
    entry += "\nExec=";
    entry += *exec;
    entry += "\nTerminal=false\n"
             "X-GNOME-Autostart-enabled=true\n";
    return entry;
}

fs::path entryFile() {
    return files::configDirectory() / "autostart" /
           (std::string(buildinfo::bundleIdentifier) + ".desktop");
}

std::optional<fs::path> currentExecutable() {
    std::error_code error;
    fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return std::nullopt;
    // After an upgrade replaced the running binary, the link names the old
    // inode; the entry should start whatever now lives at the path.
    constexpr std::string_view kDeleted = " (deleted)";
    const std::string& text = executable.native();
    if (text.ends_with(kDeleted) && !fs::exists(executable, error))
        executable = text.substr(0, text.size() - kDeleted.size());
    return executable;
}

bool isEnabled(const fs::path& file) {
    try {
        const std::optional<std::string> content = files::readFile(file);
        return content && !switchesItselfOff(*content);
    } catch (const std::exception&) {
        // What cannot be read here cannot be read by the session either.
        return false;
    }
}

bool setEnabled(bool enabled, const fs::path& file, const fs::path& executable) {
    if (!enabled) {
        if (::unlink(file.c_str()) == 0)
            return true;
        return errno == ENOENT;
    }
    const std::optional<std::string> entry = desktopEntry(executable);
    if (!entry)
        return false;
    try {
        // Not user data, and the session reads it as the user anyway; 0644 is
        // what every desktop writes into this folder.
        files::writeAtomically(file, *entry, 0644);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool isEnabled() {
    try {
        return isEnabled(entryFile());
    } catch (const std::exception&) {
        return false;
    }
}

bool setEnabled(bool enabled) {
    try {
        const fs::path file = entryFile();
        if (!enabled)
            return setEnabled(false, file, {});
        const std::optional<fs::path> executable = currentExecutable();
        return executable && setEnabled(true, file, *executable);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tarn::TarnLaunchAtLogin
