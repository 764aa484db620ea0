#include "platform/HeldFile.h"

#include "platform/DelayedDeletion.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/HeldFolder.h"
#include "platform/PassingHold.h"
#include "platform/UniqueHandle.h"
#include "support/Environment.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
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
    const struct {
        const char* name;
        std::vector<std::uint32_t> results; // of each try; the last one repeats
        std::uint32_t last;
        long long atLeast, below; // milliseconds in all
    } cases[] = {
        {"held all along", {sharing}, sharing, 3000, 4000},
        {"sharing violation twice", {sharing, sharing, 0}, 0, 0, 1000},
        {"access denied twice", {denied, denied, 0}, 0, 0, 1000},
        {"lock violation twice", {locked, locked, 0}, 0, 0, 1000},
        {"another error", {missing}, missing, 0, 100},
        {"free", {0}, 0, 0, 100},
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
            passingHoldMilliseconds);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_EQ(last, test.last) << test.name;
        EXPECT_GE(took, test.atLeast) << test.name;
        EXPECT_LT(took, test.below) << test.name;
    }
}

// Reading, holding, replacing and renaming aside wait out a program that has
// the file open for a moment without sharing it, when their caller asks.
TEST(PassingHold, EachFileOperationWaitsItOutWhenAsked) {
    std::filesystem::create_directories(folder);
    const std::wstring file = folder + L"\\passing.dll";
    const std::function<bool(unsigned long retry)> operations[] = {
        [&](unsigned long retry) { return Vexo::Platform::ReadWholeFile(file, retry).has_value(); },
        [&](unsigned long retry) {
            return Vexo::Platform::HeldFile::Hold(file, retry).has_value();
        },
        [&](unsigned long retry) {
            return Vexo::Platform::WriteWholeFile(file, {'n'}, retry).windowsError == 0;
        },
        [&](unsigned long retry) { return Vexo::Platform::MoveAside(file, retry).hasValue(); },
    };
    for (std::size_t index = 0; index < std::size(operations); ++index) {
        for (const unsigned long retry : {tryOnce, passingHoldMilliseconds}) {
            WriteFileBytes(file, "old");
            auto scanner = std::make_shared<Vexo::Platform::UniqueHandle>(
                CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            std::thread release([scanner] {
                Sleep(700);
                scanner->reset();
            });
            EXPECT_EQ(operations[index](retry), retry != tryOnce) << index;
            release.join();
        }
    }
}

} // namespace
