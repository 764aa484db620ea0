#include "platform/HeldFile.h"

#include "platform/FileWriter.h"
#include "platform/HeldFolder.h"
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
    ASSERT_EQ(Vexo::Platform::WriteWholeFile(dll, content).outcome,
              Vexo::Platform::WriteOutcome::Written);

    {
        const auto held = Vexo::Platform::HeldFile::Hold(dll);
        ASSERT_TRUE(held);
        EXPECT_TRUE(held->Contains(content));
        EXPECT_FALSE(held->Contains({content.begin(), content.end() - 1}));
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(dll, {1, 2, 3}).outcome,
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

// The folder of the DLLs keeps its name while held: it cannot be renamed
// away (and another put in its place) or deleted, while its files can still
// be made, written and deleted.
TEST(HeldFolder, LocksOutRenamingAndDeletingButNotItsFiles) {
    const std::wstring inner = folder + L"\\9_1_1";
    std::filesystem::create_directories(inner);
    const std::wstring file = inner + L"\\a.dll";
    EXPECT_FALSE(Vexo::Platform::HeldFolder::Hold(inner + L"\\missing"));
    {
        const auto held = Vexo::Platform::HeldFolder::Hold(inner);
        ASSERT_TRUE(held);
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(file, {1, 2, 3}).outcome,
                  Vexo::Platform::WriteOutcome::Written);
        EXPECT_FALSE(Vexo::Platform::HeldFolder::Hold(file));
        EXPECT_TRUE(DeleteFileW(file.c_str()));
        EXPECT_FALSE(MoveFileW(inner.c_str(), (inner + L" moved").c_str()));
        EXPECT_FALSE(RemoveDirectoryW(inner.c_str()));
    }
    EXPECT_TRUE(RemoveDirectoryW(inner.c_str())); // free again once released
}

// A file is written whole under a fresh name and then takes the path's name:
// a second name of another file there is replaced, never written through.
// (Wine opens a symbolic link to a file as the file it leads to and shows no
// link, so links cannot be shown here.)
TEST(FileWriter, ReplacesAPlainFileOrAHardLinkAndNeverWritesThrough) {
    const std::wstring place = folder + L"\\writer";
    std::filesystem::create_directories(place);
    const std::wstring other = place + L"\\other.txt";
    const std::wstring target = place + L"\\target.dll";
    for (const bool linked : {false, true}) {
        DeleteFileW(target.c_str());
        WriteFileBytes(other, "another file's");
        if (linked) {
            ASSERT_TRUE(CreateHardLinkW(target.c_str(), other.c_str(), nullptr));
        } else {
            WriteFileBytes(target, "an older copy, longer than the new one");
        }
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(target, {'n', 'e', 'w'}).outcome,
                  Vexo::Platform::WriteOutcome::Written);
        EXPECT_EQ(ReadFileBytes(target), "new");
        EXPECT_EQ(ReadFileBytes(other), "another file's");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(place),
                                std::filesystem::directory_iterator()),
                  2); // no new file left beside it
    }
}

} // namespace
