#include "platform/HeldFile.h"

#include "platform/DelayedDeletion.h"
#include "platform/FileReader.h"
#include "platform/FileRemoval.h"
#include "platform/FileWriter.h"
#include "platform/HeldFolder.h"
#include "platform/PassingHold.h"
#include "platform/UniqueHandle.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace testsupport;
using Vexo::Platform::passingHoldMilliseconds;
using Vexo::Platform::tryOnce;

namespace {

const std::wstring folder = L"C:\\rimkit held";

// While the tool holds a DLL it wrote, nobody can change, replace or delete
// it, and a loader still can load it.
TEST(HeldFile, LocksOutWritersAndDeletersButNotTheLoader) {
    std::filesystem::create_directories(folder);
    const std::wstring dll = folder + L"\\held.dll";
    const std::string bytes = ReadFileBytes(BuildPath("RIMKIT_STANDIN_X64"));
    const std::vector<std::uint8_t> content(bytes.begin(), bytes.end());
    ASSERT_EQ(Vexo::Platform::WriteWholeFile(dll, content, tryOnce).outcome,
              Vexo::Platform::WriteOutcome::Written);

    {
        const auto held = Vexo::Platform::HeldFile::Hold(dll, tryOnce);
        ASSERT_TRUE(held);
        EXPECT_TRUE(held->Contains(content));
        EXPECT_FALSE(held->Contains({content.begin(), content.end() - 1}));
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(dll, {1, 2, 3}, tryOnce).outcome,
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
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(file, {1, 2, 3}, tryOnce).outcome,
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
        EXPECT_EQ(Vexo::Platform::WriteWholeFile(target, {'n', 'e', 'w'}, tryOnce).outcome,
                  Vexo::Platform::WriteOutcome::Written);
        EXPECT_EQ(ReadFileBytes(target), "new");
        EXPECT_EQ(ReadFileBytes(other), "another file's");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(place),
                                std::filesystem::directory_iterator()),
                  2); // no new file left beside it
    }
}

// A scanner's hold is waited out, for three seconds in all; any other
// error, and success, end the waiting at once.
TEST(PassingHold, IsWaitedOutForThreeSecondsAndNothingElseIs) {
    using Clock = std::chrono::steady_clock;
    constexpr std::uint32_t sharing = ERROR_SHARING_VIOLATION;
    constexpr std::uint32_t denied = ERROR_ACCESS_DENIED;
    constexpr std::uint32_t locked = ERROR_LOCK_VIOLATION;
    constexpr std::uint32_t missing = ERROR_FILE_NOT_FOUND;
    constexpr unsigned long wait = passingHoldMilliseconds;
    const struct {
        const char* name;
        std::vector<std::uint32_t> results; // of each try; the last one repeats
        unsigned long limit;
        std::uint32_t last;
        std::size_t tries;        // 0: as many as fit into the limit
        long long atLeast, below; // milliseconds in all
    } cases[] = {
        {"held all along", {sharing}, wait, sharing, 0, 3000, 4000},
        {"sharing violation twice", {sharing, sharing, 0}, wait, 0, 3, 0, 1000},
        {"access denied twice", {denied, denied, 0}, wait, 0, 3, 0, 1000},
        {"lock violation twice", {locked, locked, 0}, wait, 0, 3, 0, 1000},
        {"another error", {missing}, wait, missing, 1, 0, 100},
        {"free", {0}, wait, 0, 1, 0, 100},
        {"tried once", {sharing}, tryOnce, sharing, 1, 0, 100},
    };
    for (const auto& test : cases) {
        std::size_t tries = 0;
        const auto start = Clock::now();
        const std::uint32_t last = Vexo::Platform::RetryWhileHeld(
            [&] {
                // A retry that never stops ends here, and fails below.
                if (Clock::now() - start > std::chrono::seconds(6)) {
                    return std::uint32_t{0};
                }
                return test.results[std::min(tries++, test.results.size() - 1)];
            },
            test.limit);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_EQ(last, test.last) << test.name;
        EXPECT_GE(took, test.atLeast) << test.name;
        EXPECT_LT(took, test.below) << test.name;
        if (test.tries != 0) {
            EXPECT_EQ(tries, test.tries) << test.name;
        }
    }
}

// Every operation on a file that another program may hold for a moment waits
// that hold out when its caller asks it to, and only then.
TEST(PassingHold, EveryFileOperationWaitsOutAHoldWhenAskedTo) {
    const std::wstring place = folder + L"\\passing";
    const std::wstring file = place + L"\\held.dll";
    using Operation = std::function<bool(unsigned long retryMilliseconds)>;
    const struct {
        const char* name;
        Operation succeeds;
    } operations[] = {
        {"read",
         [&](unsigned long retry) {
             return Vexo::Platform::ReadWholeFile(file, retry).has_value();
         }},
        {"hold",
         [&](unsigned long retry) {
             return Vexo::Platform::HeldFile::Hold(file, retry).has_value();
         }},
        {"replace",
         [&](unsigned long retry) {
             return Vexo::Platform::WriteWholeFile(file, {'n'}, retry).outcome ==
                    Vexo::Platform::WriteOutcome::Written;
         }},
        {"rename aside",
         [&](unsigned long retry) { return Vexo::Platform::MoveAside(file, retry).hasValue(); }},
        {"delete",
         [&](unsigned long retry) {
             return DeleteFiles({{file, true, false}}, retry).front().deleted;
         }},
        {"delete a DLL",
         [&](unsigned long retry) {
             return DeleteOrMoveAside({file}, retry).front().outcome ==
                    FileRemoval::Outcome::Deleted;
         }},
    };
    for (const auto& operation : operations) {
        for (const unsigned long retry : {tryOnce, passingHoldMilliseconds}) {
            RemoveTree(place);
            std::filesystem::create_directories(place);
            WriteFileBytes(file, "old");
            // Opened sharing nothing, as some scanners do, for a moment.
            Vexo::Platform::UniqueHandle scanner(
                CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(scanner.valid());
            std::thread release([&scanner] {
                Sleep(700);
                scanner.reset();
            });
            EXPECT_EQ(operation.succeeds(retry), retry != tryOnce)
                << operation.name << (retry == tryOnce ? ", tried once" : ", waited");
            release.join();
        }
    }
    RemoveTree(place);
}

} // namespace
