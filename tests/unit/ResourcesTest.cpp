#include "platform/Resources.h"

#include "support/Environment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Vexo::Resources::Dll;

TEST(Resources, VersionComesFromTheProgramsVersionResource) {
    const auto version = Vexo::Resources::ReadVersion();
    ASSERT_TRUE(version.hasValue()) << version.error().message;
    EXPECT_EQ(version.value().major, 10);
    EXPECT_EQ(version.value().minor, 0);
    EXPECT_EQ(version.value().build, 12);
    EXPECT_EQ(version.value().revision, 7);
}

TEST(Resources, ResourceBytesAreTheEmbeddedFileWhateverTheNameCase) {
    const std::string file =
        testsupport::ReadFileBytes(testsupport::BuildPath("RIMKIT_SAMPLE_PAYLOAD"));
    const std::vector<std::uint8_t> expected(file.begin(), file.end());
    ASSERT_FALSE(expected.empty());

    for (const wchar_t* name : {L"sample_payload.bin", L"SAMPLE_PAYLOAD.BIN"}) {
        const auto bytes = Vexo::Resources::ReadResource(name, Dll);
        ASSERT_TRUE(bytes.hasValue()) << bytes.error().message;
        EXPECT_EQ(bytes.value(), expected);
    }
}

TEST(Resources, MissingResourceIsNamedInTheError) {
    const auto bytes = Vexo::Resources::ReadResource(L"missing.dll", Dll);
    ASSERT_TRUE(bytes.hasError());
    EXPECT_FALSE(bytes.hasValue());
    EXPECT_EQ(bytes.error().message, "Unable to find resource: missing.dll of type dll");
    EXPECT_EQ(bytes.error().code, 0);
}
