#include "platform/FileIdentity.h"

#include <gtest/gtest.h>

using Vexo::Platform::FileIdentity;

// Whatever differs, be it only one half of the index or only the volume,
// makes another file: the Windows folder is told by this alone.
TEST(FileIdentity, IsTheSameFileOnlyWhenVolumeAndBothHalvesOfTheIndexAgree) {
    const FileIdentity windows{0x1234, 0x5, 0x678};
    const struct {
        const char* what;
        FileIdentity other;
        bool same;
    } cases[] = {
        {"the same", {0x1234, 0x5, 0x678}, true},
        {"another volume", {0x4321, 0x5, 0x678}, false},
        {"another high index", {0x1234, 0x6, 0x678}, false},
        {"another low index", {0x1234, 0x5, 0x679}, false},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.other == windows, test.same) << test.what;
    }
}
