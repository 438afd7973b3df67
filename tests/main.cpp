// Test entry: every test runs on tables built from one fixed seed, so results repeat.
#include <gtest/gtest.h>

#include "uci/uci.h"

int main(int argc, char** argv) {
    InitEngineTables(20261206);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
