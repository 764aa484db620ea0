#include "core/Expected.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(Expected, ErrorResultRunsOnlyTheErrorCallbackAndHasNoValue) {
    Expected<std::string> result(Vexo::Error("Disk full.", 0));
    std::vector<std::string> calls;
    Expected<std::string>& chained =
        result.onValue([&](const std::string&) { calls.emplace_back("value"); })
            .onError([&](const Vexo::Error& error) { calls.push_back(error.message); });

    EXPECT_EQ(&chained, &result);
    EXPECT_EQ(calls, std::vector<std::string>{"Disk full."});
    EXPECT_FALSE(result.hasValue());
    try {
        result.value();
        FAIL() << "value() returned without a value";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Expected: Has no value.");
    }
}

TEST(Expected, ErrorPassedOnToAnotherResultTypeKeepsMessageAndCode) {
    const Expected<std::vector<int>> first(Vexo::Error("Unable to read.", 0));
    const Expected<bool> passedOn(first.error());

    ASSERT_TRUE(passedOn.hasError());
    EXPECT_FALSE(passedOn.hasValue());
    EXPECT_EQ(passedOn.error().message, "Unable to read.");
    EXPECT_EQ(passedOn.error().code, 0);
}
