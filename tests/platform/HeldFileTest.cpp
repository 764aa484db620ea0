#include "platform/HeldFile.h"

#include "platform/FileWriter.h"
#include "support/Environment.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

const std::wstring folder = L"C:\\rimkit held";

// While the tool holds a DLL it wrote, nobody can change, replace or delete
// it, and a loader still can load it.
TEST(HeldFile, LocksOutWritersAndDeletersButNotTheLoader) {
    std::filesystem::create_directories(folder);
    const std::wstring dll = folder + L"\\held.dll";
    const std::string bytes = ReadFileBytes(BuildPath("RIMKIT_STANDIN_X64"));
    const std::vector<std::uint8_t> content(bytes.begin(), bytes.end());
    ASSERT_EQ(Vexo::Platform::WriteWholeFile(dll, content), Vexo::Platform::WriteOutcome::Written);

    {
        const auto held = Vexo::Platform::HeldFile::Hold(dll);
        ASSERT_TRUE(held);
        EXPECT_TRUE(held->Contains(content));
        EXPECT_FALSE(held->Contains({content.begin(), content.end() - 1}));
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(dll, {1, 2, 3}),
                  Vexo::Platform::WriteOutcome::NotOpened);
        EXPECT_FALSE(DeleteFileW(dll.c_str()));
        EXPECT_FALSE(MoveFileW(dll.c_str(), (dll + L".moved").c_str()));
        const HMODULE loaded = LoadLibraryW(dll.c_str());
        EXPECT_NE(loaded, nullptr);
        FreeLibrary(loaded);
    }
    EXPECT_EQ(ReadFileBytes(dll), bytes);
    EXPECT_TRUE(DeleteFileW(dll.c_str())); // free again once released
}

} // namespace
