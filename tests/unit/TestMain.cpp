#include <windows.h>

#include "engine/VlcPlayer.h"
#include "tests/unit/gtest_wine.h"

extern "C" int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    releaseSharedVlcInstance();
    return result;
}
