#pragma once

// Runs a shell command line for tests that drive real programs (curl, the
// interpreters of generated snippets) and captures what it prints.

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace tarn::testing {

struct ShellResult {
    // The exit status, or -1 when the shell did not exit normally.
    int exitCode = -1;
    // Standard output only; append "2>&1" to the command for the rest.
    std::string output;
};

inline ShellResult runShell(const std::string& command) {
    ShellResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, read);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Whether `name` is a command the shell finds.
inline bool haveTool(const std::string& name) {
    return runShell("command -v " + name + " >/dev/null 2>&1").exitCode == 0;
}

// The command that starts Python 3: the system's interpreter where there is
// one, since a version manager's shim on the search path can take seconds to
// start.
inline std::string pythonCommand() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

} // namespace tarn::testing
