#pragma once

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/PlatformError.h"

#include <cstdint>
#include <string>

namespace tarn {

// The failures of driving a command-line tool. TarnProcessRunner::run raises
// only `cancelled`; callers raise the other two for tools that are missing or
// that failed. Domain "TarnKit.TarnProcessError"; the code is the kind's
// position in Kind. what() holds the description in the interface language of
// the moment the error was made; errorDescription() reads it again in the
// language current when it is called. Safe to copy and read from any thread.
class TarnProcessError : public PlatformError {
public:
    enum class Kind { binaryNotFound, nonZeroExit, cancelled };

    static TarnProcessError binaryNotFound(std::string name);
    static TarnProcessError nonZeroExit(std::int32_t code, std::string standardError);
    static TarnProcessError cancelled();

    Kind kind() const noexcept { return m_kind; }
    // binaryNotFound: the executable's name.
    const std::string& name() const noexcept { return m_name; }
    // nonZeroExit: the exit status and the standard-error text.
    std::int32_t exitCode() const noexcept { return m_exitCode; }
    const std::string& standardError() const noexcept { return m_standardError; }

    // binaryNotFound and cancelled in English or Turkish (texts of the other
    // languages come from the packs); nonZeroExit is the trimmed
    // standard-error text when it has any, else "Process exited with code N.",
    // the same in every language.
    std::string errorDescription(TarnLanguage language) const;
    std::string errorDescription() const;

    friend bool operator==(const TarnProcessError& a, const TarnProcessError& b) {
        return a.m_kind == b.m_kind && a.m_name == b.m_name && a.m_exitCode == b.m_exitCode &&
               a.m_standardError == b.m_standardError;
    }

private:
    TarnProcessError(Kind kind, std::string name, std::int32_t exitCode, std::string standardError);

    Kind m_kind;
    std::string m_name;
    std::int32_t m_exitCode = 0;
    std::string m_standardError;
};

} // namespace tarn
