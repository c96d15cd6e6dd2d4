#pragma once

#include <stdexcept>
#include <string>

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

} // namespace tarn
