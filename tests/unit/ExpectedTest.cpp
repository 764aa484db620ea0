#include "core/Expected.h"

#include <gtest/gtest.h>

TEST(Expected, ValueResultRunsOnlyTheValueCallback) {
    Expected<int> result(42);
    int seen = 0;
    bool errorSeen = false;
    result.onValue([&](const int& value) { seen = value; }).onError([&](const Vexo::Error&) {
        errorSeen = true;
    });
    EXPECT_EQ(seen, 42);
    EXPECT_FALSE(errorSeen);
}
