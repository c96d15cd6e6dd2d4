#include "EnvironmentLocale.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    adoptEnvironmentLocale();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
