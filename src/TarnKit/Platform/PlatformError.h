#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarn {

// The error value that services throw: an error domain, a numeric code and a
// user-facing description. Thread-safe to copy and read.
class PlatformError : public std::runtime_error {
public:
    PlatformError(std::string domain, long code, const std::string& description)
        : std::runtime_error(description), m_domain(std::move(domain)), m_code(code) {}

    const std::string& domain() const noexcept { return m_domain; }
    long code() const noexcept { return m_code; }
    std::string description() const { return what(); }

private:
    std::string m_domain;
    long m_code;
};

// The domain of errors that carry an errno value as their code.
inline constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";

// The system's description of an errno value, in English whatever the process
// locale ("No such file or directory"), so texts shown and logged read the same
// everywhere; "error <code>" for a value the system does not know.
std::string posixErrorText(int code);

// Throws a PlatformError in the POSIX domain: "<context>: <description>", or
// the description alone when the context is empty.
[[noreturn]] void throwPOSIXError(int code, std::string_view context = {});

} // namespace tarn
