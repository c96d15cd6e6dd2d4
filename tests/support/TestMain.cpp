#include <clocale>
#include <gtest/gtest.h>
#include <locale>

int main(int argc, char** argv) {
    // Adopt the environment's locale the way the application does, so that code
    // which depends on the process locale fails under LC_ALL=tr_TR.UTF-8.
    std::setlocale(LC_ALL, "");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
        // An unknown locale name leaves the C++ global locale as it is.
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
