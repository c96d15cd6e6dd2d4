#pragma once

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

namespace tarn::testing {

// Switches the C and C++ locales for one scope and restores them even when an
// assertion fails.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name)
        : m_savedC(std::setlocale(LC_ALL, nullptr)), m_savedCpp(std::locale()) {
        if (std::setlocale(LC_ALL, name) == nullptr)
            throw std::runtime_error(std::string("locale ") + name +
                                     " is not installed; run scripts/setup to generate it");
        std::locale::global(std::locale(name));
    }
    ~ScopedLocale() {
        std::setlocale(LC_ALL, m_savedC.c_str());
        std::locale::global(m_savedCpp);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::string m_savedC;
    std::locale m_savedCpp;
};

} // namespace tarn::testing
