// The judgement through one handle, on folders of the prefix: Wine gives an
// access list from the Unix mode, so `chmod o+w` opens a level to everyone.
#include "core/Text.h"
#include "platform/FolderProtection.h"
#include "platform/ProtectedFileRead.h"
#include "platform/UniqueHandle.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace Vexo::Platform;
using namespace testsupport;

namespace {

const std::wstring base = L"C:\\rimkit acl";

std::wstring In(const std::wstring& name) {
    return base + L"\\" + name;
}

// Runs a Unix tool in `base` until `name` there is judged `then`.
void RunUntil(const std::wstring& name, Protection then, const char* tool,
              const std::wstring& arguments) {
    RunUnixTool(tool, arguments, base, [&] { return ProtectionOf(In(name)) == then; });
}

class ProtectedPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(base);
        std::filesystem::create_directories(In(L"fine"));
        std::filesystem::create_directories(In(L"open\\inner"));
        WriteFileBytes(In(L"fine\\file.txt"), "abc");
        WriteFileBytes(In(L"writable.txt"), "w");
        WriteFileBytes(In(L"one.txt"), "1");
        ASSERT_TRUE(CreateHardLinkW(In(L"two.txt").c_str(), In(L"one.txt").c_str(), nullptr));
        RunUntil(L"open", Protection::OthersCanChange, "RIMKIT_UNIX_CHMOD",
                 L"o+w open writable.txt");
        RunUntil(L"link", Protection::Link, "RIMKIT_UNIX_LN", L"-s fine link");
        RunUntil(L"filelink", Protection::Link, "RIMKIT_UNIX_LN", L"-s fine/file.txt filelink");
    }
    // Only Unix removes a link alone; a link left would lead out of the prefix.
    void TearDown() override {
        RunUnixTool("RIMKIT_UNIX_RM", L"-f link filelink", base,
                    [] { return !PathExists(In(L"link")) && !PathExists(In(L"filelink")); });
        RemoveTree(base);
    }
};

TEST_F(ProtectedPathsTest, TheFirstLevelOthersCanChangeIsFound) {
    const struct {
        std::wstring path;
        std::optional<Protection> protection; // nothing when every level passes
        std::wstring level;
    } rows[] = {
        {In(L"fine\\file.txt"), {}, L""},
        {In(L"fine\\not yet\\made"), {}, L""},
        {L"\\\\?\\" + In(L"fine\\file.txt"), {}, L""}, // the long form of the same
        {In(L"open\\inner\\file.txt"), Protection::OthersCanChange, In(L"open")},
        {In(L"link\\file.txt"), Protection::Link, In(L"link")},
        {In(L"writable.txt"), Protection::OthersCanChange, In(L"writable.txt")},
    };
    for (const auto& row : rows) {
        const auto found = FirstUnprotectedLevel(row.path);
        EXPECT_EQ(found ? std::optional(found->protection) : std::nullopt, row.protection);
        EXPECT_EQ(found ? found->level : L"", row.level) << toNarrow(row.path);
    }
    EXPECT_EQ(ProtectionOf(In(L"absent")), Protection::OthersCanChange);
}

TEST_F(ProtectedPathsTest, AFileIsReadOnlyWhenNothingElseCanReachIt) {
    WriteFileBytes(In(L"held.txt"), "");
    const UniqueHandle held(CreateFileW(In(L"held.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    const struct {
        std::wstring name;
        std::uint64_t maxBytes;
        FileReadProblem problem;
        std::uint32_t windowsError;
    } rows[] = {
        {L"fine\\file.txt", 2, FileReadProblem::TooLarge, 0},
        {L"fine\\absent.txt", 9, FileReadProblem::Missing, ERROR_FILE_NOT_FOUND},
        {L"gone\\absent.txt", 9, FileReadProblem::Missing, ERROR_PATH_NOT_FOUND},
        {L"filelink", 9, FileReadProblem::Link, 0},
        {L"link\\file.txt", 9, FileReadProblem::Link, 0},
        {L"two.txt", 9, FileReadProblem::SecondName, 0},
        {L"writable.txt", 9, FileReadProblem::OthersCanChange, 0},
        {L"held.txt", 9, FileReadProblem::Unreadable, ERROR_SHARING_VIOLATION},
        {L"fine", 9, FileReadProblem::Unreadable, ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        const ProtectedFile read = ReadProtectedFile(In(row.name), row.maxBytes);
        EXPECT_EQ(read.problem, row.problem) << toNarrow(row.name);
        EXPECT_EQ(read.windowsError, row.windowsError) << toNarrow(row.name);
        EXPECT_TRUE(read.bytes.empty());
    }
    const ProtectedFile read = ReadProtectedFile(In(L"fine\\file.txt"), 3);
    EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), "abc");
}

TEST_F(ProtectedPathsTest, AProtectedFolderIsMadeOnlyWhereNothingStands) {
    const struct {
        std::wstring name;
        std::int32_t error; // 0: made
    } rows[] = {{L"made", 0},
                {L"made", ERROR_ALREADY_EXISTS},
                {L"one.txt", ERROR_ALREADY_EXISTS},
                {L"link", ERROR_ALREADY_EXISTS},
                {L"gone\\made", ERROR_PATH_NOT_FOUND}};
    for (const auto& row : rows) {
        const auto made = CreateProtectedFolder(In(row.name), OthersMay::Read);
        EXPECT_EQ(made.hasError() ? made.error().code : 0, row.error) << toNarrow(row.name);
    }
    EXPECT_EQ(ProtectionOf(In(L"made")), Protection::AdministratorsOnly);
}

} // namespace
