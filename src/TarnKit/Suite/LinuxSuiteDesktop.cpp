#include "TarnKit/Suite/LinuxSuiteDesktop.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Suite/SessionBus.h"
#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarn {
namespace {

std::vector<std::filesystem::path> splitPaths(std::string_view text) {
    std::vector<std::filesystem::path> paths;
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view piece = text.substr(0, colon);
        if (!piece.empty() && piece.front() == '/')
            paths.emplace_back(piece);
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
    }
    return paths;
}

std::string trimmedLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return std::string(line);
}

// Closes every descriptor from 3 up except `keep`, in a child after fork:
// system calls only.
void closeDescriptorsExcept(int keep) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, static_cast<unsigned>(keep) - 1, 0U) == 0 &&
        ::syscall(SYS_close_range, static_cast<unsigned>(keep) + 1, ~0U, 0U) == 0)
        return;
#endif
    const long limit = ::sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (limit > 0 ? limit : 1024); ++fd)
        if (fd != keep)
            ::close(fd);
}

} // namespace

namespace desktopentry {

std::optional<std::string> value(std::string_view entryText, std::string_view key) {
    bool inGroup = false;
    while (!entryText.empty()) {
        const std::size_t end = entryText.find('\n');
        const std::string line = trimmedLine(entryText.substr(0, end));
        entryText.remove_prefix(end == std::string_view::npos ? entryText.size() : end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string::npos || trimmedLine(line.substr(0, equals)) != key)
            continue;
        const std::string raw = trimmedLine(line.substr(equals + 1));
        std::string result;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                result.push_back(raw[i]);
                continue;
            }
            switch (raw[++i]) {
            case 's':
                result.push_back(' ');
                break;
            case 'n':
                result.push_back('\n');
                break;
            case 't':
                result.push_back('\t');
                break;
            case 'r':
                result.push_back('\r');
                break;
            case '\\':
                result.push_back('\\');
                break;
            default:
                result.push_back('\\');
                result.push_back(raw[i]);
                break;
            }
        }
        return result;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> execArguments(std::string_view exec) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    // Whether the argument held only field codes (and so stands for nothing).
    bool onlyFieldCodes = true;
    const auto finish = [&] {
        if (inArgument && !(onlyFieldCodes && current.empty()))
            arguments.push_back(current);
        current.clear();
        inArgument = false;
        onlyFieldCodes = true;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size() &&
                       std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current.push_back(exec[++i]);
            } else {
                current.push_back(c);
            }
            continue;
        }
        if (c == ' ' || c == '\t') {
            finish();
            continue;
        }
        inArgument = true;
        if (c == '"') {
            quoted = true;
            onlyFieldCodes = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            if (exec[++i] == '%') {
                current.push_back('%');
                onlyFieldCodes = false;
            }
            // Any other field code expands to nothing here.
        } else {
            current.push_back(c);
            onlyFieldCodes = false;
        }
    }
    if (quoted)
        return std::nullopt;
    finish();
    if (arguments.empty())
        return std::nullopt;
    return arguments;
}

std::optional<std::filesystem::path> resolveProgram(std::string_view program) {
    if (program.empty())
        return std::nullopt;
    if (program.find('/') != std::string_view::npos)
        return std::filesystem::path(program);
    const char* path = std::getenv("PATH");
    for (const std::filesystem::path& folder :
         splitPaths(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin")) {
        const std::filesystem::path candidate = folder / program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

bool launchDetached(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        return false;
    // Everything the children need is made before fork: after it, in a
    // process with other threads, only system calls are safe.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0)
        return false;
    // Reports the program's start: end of file once exec succeeds (the write
    // end is close-on-exec), an errno value when it fails.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(devNull);
        return false;
    }
    const pid_t intermediate = ::fork();
    if (intermediate == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t program = ::fork();
        if (program != 0)
            ::_exit(program > 0 ? 0 : 1);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        closeDescriptorsExcept(report[1]);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &defaults, nullptr);
        ::execve(argv[0], argv.data(), environ);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    ::close(devNull);
    if (intermediate < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

} // namespace desktopentry

std::vector<std::filesystem::path> LinuxSuiteDesktop::xdgDataDirectories() {
    std::vector<std::filesystem::path> folders = {files::applicationSupportDirectory()};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::vector<std::filesystem::path> system = splitPaths(dirs != nullptr ? dirs : "");
    if (system.empty())
        system = {"/usr/local/share", "/usr/share"};
    folders.insert(folders.end(), system.begin(), system.end());
    return folders;
}

LinuxSuiteDesktop::LinuxSuiteDesktop(Options options) : m_options(std::move(options)) {}

std::vector<RunningApplication> LinuxSuiteDesktop::runningApplications() {
    std::vector<RunningApplication> running;
    if (m_options.sessionBus != nullptr) {
        const std::string prefix = std::string(buildinfo::suitePrefix) + ".";
        for (std::string& name : m_options.sessionBus->listNames()) {
            if (!name.starts_with(prefix))
                continue;
            const std::optional<std::int32_t> pid = m_options.sessionBus->processIdOf(name);
            running.push_back({std::move(name), std::nullopt, pid.value_or(0)});
        }
    }
    DIR* proc = ::opendir(m_options.procRoot.c_str());
    if (proc == nullptr)
        return running;
    const uid_t user = ::getuid();
    while (const dirent* entry = ::readdir(proc)) {
        const std::string_view name(entry->d_name);
        std::int32_t pid = 0;
        const auto parsed = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed.ec != std::errc{} || parsed.ptr != name.data() + name.size() || pid <= 0)
            continue;
        const std::filesystem::path folder = m_options.procRoot / name;
        struct stat info {};
        // /proc/<pid> belongs to the process's effective user.
        if (::stat(folder.c_str(), &info) != 0 || info.st_uid != user)
            continue;
        std::optional<std::string> comm = suite::readFileQuietly(folder / "comm");
        if (!comm)
            continue;
        if (!comm->empty() && comm->back() == '\n')
            comm->pop_back();
        running.push_back({std::nullopt, std::move(*comm), pid});
    }
    ::closedir(proc);
    return running;
}

bool LinuxSuiteDesktop::activate(const RunningApplication& application) {
    if (m_options.sessionBus == nullptr || !application.bundleIdentifier)
        return false;
    return m_options.sessionBus->activateApplication(*application.bundleIdentifier);
}

std::optional<std::filesystem::path>
LinuxSuiteDesktop::installedEntry(std::string_view bundleIdentifier) {
    for (const std::filesystem::path& folder : m_options.dataDirectories) {
        const std::filesystem::path entry =
            folder / "applications" / (std::string(bundleIdentifier) + ".desktop");
        std::error_code error;
        if (std::filesystem::exists(entry, error))
            return entry;
    }
    return std::nullopt;
}

bool LinuxSuiteDesktop::open(const std::filesystem::path& entry, bool /*activates*/) {
    // A freshly started application comes forward by itself; the desktop
    // offers no way to start one in the background.
    const std::optional<std::string> text = suite::readFileQuietly(entry);
    if (!text)
        return false;
    const std::optional<std::string> exec = desktopentry::value(*text, "Exec");
    if (!exec)
        return false;
    std::optional<std::vector<std::string>> arguments = desktopentry::execArguments(*exec);
    if (!arguments)
        return false;
    const std::optional<std::filesystem::path> program =
        desktopentry::resolveProgram(arguments->front());
    if (!program)
        return false;
    arguments->front() = program->string();
    return desktopentry::launchDetached(*arguments);
}

} // namespace tarn
