#pragma once

#include <clocale>
#include <locale>
#include <stdexcept>

// Adopts the environment's locale the way the application does, so that code
// which depends on the process locale fails under LC_ALL=tr_TR.UTF-8.
inline void adoptEnvironmentLocale() {
    std::setlocale(LC_ALL, "");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
        // An unknown locale name leaves the C++ global locale as it is.
    }
}
