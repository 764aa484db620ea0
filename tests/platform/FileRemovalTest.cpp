#include "platform/FileRemoval.h"

#include "LogCapture.h"
#include "core/Text.h"
#include "platform/DelayedDeletion.h"
#include "platform/FreshFile.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/ReadOnlyAttribute.h"
#include "platform/UniqueHandle.h"
#include "sdk/FileDeletion.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <type_traits>

using namespace testsupport;
using Vexo::Platform::UniqueHandle;

namespace {

const std::wstring base = L"C:\\rimkit removal";
const std::string differ = "RemoveParentFolder(): Not removing the parent folder because not all "
                           "files have the same parent. ";
const std::string unable = "RemoveParentFolder(): Unable to remove folder ";

FileList Marked(std::vector<std::wstring> paths) {
    FileList list;
    for (auto& path : paths) {
        list.push_back({std::move(path), true, false});
    }
    return list;
}

using LoadedDll = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

// A copy of the 64-bit stand-in DLL at `path`, loaded as a program loads it.
LoadedDll LoadCopy(const std::wstring& path) {
    CopyFileW(BuildPath("RIMKIT_STANDIN_X64").c_str(), path.c_str(), FALSE);
    return LoadedDll(LoadLibraryW(path.c_str()), FreeLibrary);
}

std::string ErrorOf(const Expected<bool>& result) {
    if (!result.hasError()) {
        return "(no error)";
    }
    EXPECT_EQ(result.error().code, 0);
    return result.error().message;
}

class FileRemovalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetDeletionsAtRestart();
        RemoveTree(base);
        std::filesystem::create_directories(base);
    }
    void TearDown() override { RemoveTree(base); }
};

// None of these folders exists, so a matching parent can only fail to go. A
// drive root is named only on Q:, which this prefix does not have: a fault
// in the removal must never reach a real drive.
TEST_F(FileRemovalTest, ParentsFollowWindowsPathRules) {
    const struct {
        std::vector<std::wstring> paths;
        std::string error;
    } cases[] = {
        {{}, "RemoveParentFolder(): No files to check."},
        {{LR"(C:\absent\a.dll)", LR"(C:/absent/b.dll)"}, unable + R"(C:\absent)"},
        {{LR"(C:\absent\a.dll)", LR"(c:\absent\b.dll)"}, differ + R"(C:\absent != c:\absent)"},
        {{LR"(C:\absent\a.dll)", LR"(C:\Absent\b.dll)"}, differ + R"(C:\absent != C:\Absent)"},
        {{LR"(C:\absent\\sub\a.dll)", LR"(C:\absent/sub//b.dll)"}, unable + R"(C:\absent\\sub)"},
        {{LR"(C:\absent\sub\)", LR"(C:\absent\sub\a.dll)"}, unable + R"(C:\absent\sub)"},
        {{std::wstring(LR"(C:\absent\a.dll)") + L'\0', LR"(C:\absent\b.dll)"},
         unable + R"(C:\absent)"},
        {{LR"(Q:\a.dll)", LR"(Q:\b.dll)"}, unable + R"(Q:\)"},
        {{LR"(Q:\a.dll)", LR"(Q:b.dll)"}, differ + R"(Q:\ != Q:)"},
        {{L"a.dll", L"b.dll"}, unable},
        {{L"a.dll", LR"(C:\absent\b.dll)"}, differ + R"( != C:\absent)"},
        {{LR"(C:\absent\a)", LR"(C:\absent\b)", LR"(D:\absent\c)", LR"(E:\absent\d)"},
         differ + R"(C:\absent != D:\absent)"},
        {{LR"(\\server\a.dll)", LR"(\\server\share\b.dll)"},
         differ + R"(\\server\ != \\server\share)"},
        {{LR"(\\server\share\a.dll)", LR"(//server/share/b.dll)"},
         differ + R"(\\server\share != //server/share)"},
        {{LR"(\\server)", LR"(\\server\a.dll)"}, differ + R"(\\server != \\server\)"},
        {{LR"(\??\a.dll)", LR"(/??/b.dll)"}, differ + R"(\??\ != /??/)"},
        {{LR"(\\?\C:\absent\a.dll)", LR"(\\?\C:\absent/b.dll)"}, unable + R"(\\?\C:\absent)"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(ErrorOf(RemoveParentFolder(Marked(test.paths))), test.error);
    }
}

TEST_F(FileRemovalTest, DeletesMarkedFilesThenRemovesOnlyTheirEmptyFolder) {
    const std::wstring pair = base + L"\\pair";
    std::filesystem::create_directories(pair);
    std::filesystem::create_directories(base + L"\\one");
    WriteFileBytes(pair + L"\\a.dll", "a");
    WriteFileBytes(pair + L"\\b.dll", "b");
    const FileList files = Marked({pair + L"\\a.dll", pair + L"/b.dll"});

    PendingDeletions pending;
    const LogCapture log;
    DeleteMarkedFiles(files, pending);
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{
                               {Vexo::Log::Info, "Deleted: C:\\rimkit removal\\pair\\a.dll\n"},
                               {Vexo::Log::Info, "Deleted: C:\\rimkit removal\\pair/b.dll\n"}}));
    const auto result = RemoveParentFolder(files);
    ASSERT_TRUE(result.hasValue()) << ErrorOf(result);
    EXPECT_TRUE(result.value());
    EXPECT_FALSE(PathExists(pair));
    EXPECT_TRUE(RemoveParentFolder(Marked({base + L"\\one\\x.dll"})).hasValue());
    EXPECT_FALSE(PathExists(base + L"\\one"));
    EXPECT_TRUE(PathExists(base));
}

TEST_F(FileRemovalTest, KeepsAFolderThatIsNotEmptyOrNotThere) {
    std::filesystem::create_directories(base + L"\\full");
    WriteFileBytes(base + L"\\full\\keep.dll", "k");
    EXPECT_EQ(ErrorOf(RemoveParentFolder(Marked({base + L"\\full\\a.dll"}))),
              unable + "C:\\rimkit removal\\full");
    EXPECT_TRUE(PathExists(base + L"\\full\\keep.dll"));
    EXPECT_EQ(ErrorOf(RemoveParentFolder(Marked({base + L"\\gone\\a.dll"}))),
              unable + "C:\\rimkit removal\\gone");
}

// What each marked file comes to, and its line: a DLL in use goes aside for
// the restart, a copy aside already stays for it, and a file that someone
// holds the whole time stays where it is, never left to the restart.
TEST_F(FileRemovalTest, ReportsEachMarkedFileAndLeavesTheRest) {
    const std::wstring locked = base + L"\\locked.dll";
    for (const auto* name :
         {L"\\locked.dll", L"\\other.dll", L"\\kept.dll", L"\\fromRegistry.dll"}) {
        WriteFileBytes(base + name, "x");
    }
    const UniqueHandle lock(CreateFileW(locked.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    ASSERT_TRUE(lock.valid());
    FileList files = Marked({locked, base + L"\\other.dll", base + L"\\kept.dll",
                             base + L"\\fromRegistry.dll" + L'\0', base + L"\\missing.dll"});
    files[2].marked = false;

    PendingDeletions pending;
    const LogCapture log;
    const FileList result = DeleteFiles(files);
    ASSERT_EQ(result.size(), files.size());
    EXPECT_EQ((std::vector<bool>{result[0].deleted, result[1].deleted, result[2].deleted,
                                 result[3].deleted, result[4].deleted}),
              (std::vector<bool>{false, true, false, true, false}));
    EXPECT_TRUE(log.lines().empty());

    WriteFileBytes(base + L"\\other.dll", "x");
    WriteFileBytes(base + L"\\fromRegistry.dll", "x");
    const std::wstring readOnly = base + L"\\readOnly.dll";
    const std::wstring loaded = base + L"\\vexo_steering_wheel_x64.dll";
    const std::wstring copy = base + L"\\vexo_steering_wheel_x86.dll.7-8-0.old";
    WriteFileBytes(readOnly, "r");
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    LoadedDll users[] = {LoadCopy(loaded), LoadCopy(copy)};
    for (const auto* path : {&readOnly, &loaded, &copy}) {
        files.push_back({*path, true, false});
    }
    const FileList outcome = DeleteMarkedFiles(files, pending);
    const auto warning = [](const std::string& text) { return LogLine(Vexo::Log::Warning, text); };
    EXPECT_EQ(log.lines(),
              (std::vector<LogLine>{
                  warning("Not deleted, in use: " + toNarrow(locked) + " (Windows error 32)\n"),
                  {Vexo::Log::Info, "Deleted: C:\\rimkit removal\\other.dll\n"},
                  {Vexo::Log::Info, "Deleted: C:\\rimkit removal\\fromRegistry.dll\n"},
                  {Vexo::Log::Error, "Delete: Failed: C:\\rimkit removal\\missing.dll\n"},
                  {Vexo::Log::Info, "Deleted: " + toNarrow(readOnly) + "\n"},
                  warning("Delete: Failed: " + toNarrow(loaded) + "\n"),
                  warning("Delete: Failed: " + toNarrow(copy) + "\n")}));
    std::vector<bool> gone;
    for (const auto& entry : outcome) {
        gone.push_back(entry.deleted);
    }
    EXPECT_EQ(gone, (std::vector<bool>{false, true, false, true, false, true, true, false}));

    // Once its program has ended, the 64-bit copy goes now; the restart takes
    // the other one, read-only or not, and never the file someone holds
    // under its own name.
    users[0].reset();
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    pending.AddFile(locked);
    pending.ScheduleForRestart();
    ASSERT_EQ(log.lines().size(), 10u);
    const LogLine& deleted = log.lines()[7]; // "Deleted: <copy>\n"
    const std::wstring aside = toWide(deleted.second.substr(9, deleted.second.size() - 10));
    EXPECT_EQ(deleted, LogLine(Vexo::Log::Info, "Deleted: " + toNarrow(aside) + "\n"));
    EXPECT_TRUE(Vexo::Platform::IsFreshName(std::filesystem::path(aside).filename().wstring(),
                                            L"vexo_steering_wheel_x64.dll", L"old"));
    EXPECT_FALSE(PathExists(aside));
    EXPECT_EQ(std::vector<LogLine>(log.lines().begin() + 8, log.lines().end()),
              (std::vector<LogLine>{
                  warning("Scheduled for deletion at the next restart: " + toNarrow(copy) + "\n"),
                  warning("Not deleted, in use: " + toNarrow(locked) + " (Windows error 32)\n")}));
    EXPECT_EQ(DeletionsAtRestart(), std::vector<std::wstring>{copy});
    users[1].reset();
    RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
    EXPECT_FALSE(PathExists(copy));
    EXPECT_TRUE(PathExists(locked));
}

// The read-only attribute goes only from a file with one name: a second name
// shares it, and that file is someone else's to change.
TEST_F(FileRemovalTest, ReadOnlyIsTakenOffOnlyAFileWithOneName) {
    const std::wstring single = base + L"\\single.dll";
    const std::wstring other = base + L"\\other name.txt";
    WriteFileBytes(single, "s");
    WriteFileBytes(other, "o");
    ASSERT_TRUE(CreateHardLinkW((base + L"\\linked.dll").c_str(), other.c_str(), nullptr));
    for (const auto* path : {&single, &other}) {
        SetFileAttributesW(path->c_str(), FILE_ATTRIBUTE_READONLY);
        Vexo::Platform::ClearReadOnly(path == &single ? single : base + L"\\linked.dll");
    }
    EXPECT_EQ(GetFileAttributesW(single.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(GetFileAttributesW(other.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// An aside name that is taken (someone else's file, or a copy of the same
// moment) is passed over for the next; the name holds the moment, so it is
// tried until the file there and the rename fall into one.
TEST_F(FileRemovalTest, RenamedAsideUnderTheNextFreshNameWhenOneIsTaken) {
    const std::wstring dll = base + L"\\sdk.dll";
    bool passedOver = false;
    for (int round = 0; round < 50 && !passedOver; ++round) {
        WriteFileBytes(dll, "old");
        WriteFileBytes(Vexo::Platform::FreshName(dll, 0, L"old"), "someone else's");
        const auto aside = Vexo::Platform::MoveAside(dll, Vexo::Platform::tryOnce);
        ASSERT_TRUE(aside.hasValue()) << aside.error().code;
        EXPECT_EQ(ReadFileBytes(aside.value()), "old");
        passedOver = aside.value() == Vexo::Platform::FreshName(dll, 1, L"old");
    }
    EXPECT_TRUE(passedOver);
}

bool IsLinkTo(const std::wstring& link, const std::wstring& targetFile) {
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           PathExists(link + L"\\" + targetFile);
}

TEST_F(FileRemovalTest, RemovesALinkAtTheParentButNotWhatItPointsTo) {
    const std::wstring target = base + L"\\target";
    const std::wstring link = base + L"\\link";
    std::filesystem::create_directories(target);
    WriteFileBytes(target + L"\\keep.dll", "k");
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY |
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    // Wine 8 reports success yet makes no link; only what is on disc counts.
    if (!IsLinkTo(link, L"keep.dll")) {
        GTEST_SKIP() << "CreateSymbolicLinkW made no directory link here (Wine does not "
                        "implement symbolic links)";
    }
    const auto result = RemoveParentFolder(Marked({link + L"\\keep.dll"}));
    EXPECT_TRUE(result.hasValue()) << ErrorOf(result);
    EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(PathExists(target + L"\\keep.dll"));
}

} // namespace

// A list of paths holds each file once, however it is spelled: letter case,
// either separator, "." and ".." all name the same file on disc.
TEST(PathLists, TwoSpellingsOfOneFileAreOneEntry) {
    std::vector<std::wstring> paths{LR"(C:\Ops\Data\a.dll)"};
    Vexo::Platform::AddOnce(paths, L"c:/ops/DATA/A.DLL");
    Vexo::Platform::AddOnce(paths, std::wstring(LR"(C:\Ops\Data\.\b.dll)") + L'\0' + L"tail");
    EXPECT_EQ(paths,
              (std::vector<std::wstring>{LR"(C:\Ops\Data\a.dll)", LR"(C:\Ops\Data\.\b.dll)"}));
    EXPECT_TRUE(Vexo::Platform::AnySameFileOnDisc(paths, LR"(C:\Ops\Data\sub\..\b.dll)"));
    EXPECT_FALSE(Vexo::Platform::AnySameFileOnDisc(paths, LR"(C:\Ops\Data\c.dll)"));
}
