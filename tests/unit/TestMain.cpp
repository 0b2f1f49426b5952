#include <windows.h>

#include "tests/unit/gtest_wine.h"

extern "C" int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
