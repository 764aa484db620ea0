#include "core/OnExit.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

enum class Leave { AtEnd, Early, ByException };

void LeaveGuardedScope(Leave how, int& runs) {
    OnExit guard([&] { ++runs; });
    if (how == Leave::Early) {
        return;
    }
    if (how == Leave::ByException) {
        throw std::runtime_error("leaving");
    }
}

} // namespace

TEST(OnExit, RunsOnceOnEveryWayOutOfTheScope) {
    for (const Leave how : {Leave::AtEnd, Leave::Early, Leave::ByException}) {
        int runs = 0;
        try {
            LeaveGuardedScope(how, runs);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(runs, 1) << "way out " << static_cast<int>(how);
    }
}

TEST(OnExit, EmptyGuardArmedLaterRunsAtScopeEnd) {
    int runs = 0;
    {
        OnExit guard;
        guard = OnExit([&] { ++runs; });
        EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1);
}

TEST(OnExit, GuardsRunInReverseOrder) {
    std::string order;
    {
        OnExit first([&] { order += '1'; });
        OnExit second([&] { order += '2'; });
        OnExit third([&] { order += '3'; });
    }
    EXPECT_EQ(order, "321");
}

TEST(OnExit, ThrowingCallbackStaysInsideTheGuard) {
    bool earlierGuardRan = false;
    EXPECT_NO_THROW({
        OnExit earlier([&] { earlierGuardRan = true; });
        OnExit throwing([] { throw std::runtime_error("cleanup failed"); });
    });
    EXPECT_TRUE(earlierGuardRan);
}
