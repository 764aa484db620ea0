// Every change an install makes is noted in its record before it is made: a
// run stopped between the two leaves a record that names the change.
#include "sdk/Install.h"

#include "core/Text.h"
#include "platform/ContentDigest.h"
#include "sdk/Registrations.h"
#include "sdk/Rollback.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

using namespace testsupport;

namespace {

using LoadedDll = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

// What stands in the version folder before the install, and what the
// install then makes and renames aside.
struct Before {
    const char* name;
    bool folder;
    bool otherDllInUse; // another build's 64-bit DLL, registered, then loaded
    std::size_t folders;
    std::size_t aside;
};

void PrintTo(const Before& before, std::ostream* out) {
    *out << before.name;
}

class WriteAhead : public ::testing::TestWithParam<Before> {};

} // namespace

TEST_P(WriteAhead, EveryChangeOfAnInstallIsNotedBeforeItIsMade) {
    for (const auto view : {RegistryView::Bits64, RegistryView::Bits32}) {
        DeleteRegistryTree(view, sdkClassKey);
    }
    const std::wstring base = L"C:\\rimkit write-ahead";
    const std::wstring version = base + L"\\New\\9_1_1";
    const std::wstring oldDll = version + L"\\vexo_steering_wheel_x64.dll";
    RemoveTree(base);
    if (GetParam().folder) {
        std::filesystem::create_directories(version);
    }
    PreviousInstallation previous;
    LoadedDll user(nullptr, FreeLibrary);
    if (GetParam().otherDllInUse) {
        std::filesystem::copy_file(BuildPath("RIMKIT_OTHER_X64"), oldDll);
        ASSERT_EQ(
            RunProgram(L"C:\\windows\\system32\\regsvr32.exe", L"/s \"" + oldDll + L"\"").exitCode,
            0u);
        auto remembered = RememberInstallation();
        ASSERT_TRUE(remembered.hasValue());
        previous = remembered.value();
        // The uninstall before the install unregisters it; it stays in use,
        // so it can be renamed but not written over.
        DeleteRegistryTree(RegistryView::Bits64, sdkClassKey);
        user.reset(LoadLibraryW(oldDll.c_str()));
        ASSERT_TRUE(user);
    }
    RunChanges changes;
    std::size_t folders = 0;
    std::size_t written = 0;
    std::size_t aside = 0;
    std::size_t handed = 0;
    std::vector<std::wstring> madeFirst;
    changes.writeAhead = [&](const RunChanges& now) -> std::optional<Vexo::Error> {
        for (; folders < now.createdFolders.size(); ++folders) {
            if (PathExists(now.createdFolders[folders].wstring())) {
                madeFirst.push_back(now.createdFolders[folders].wstring());
            }
        }
        for (; written < now.written.size(); ++written) {
            const MadeFile& file = now.written[written];
            if (Vexo::Platform::DigestOfFile(file.path) == file.digest) {
                madeFirst.push_back(file.path);
            }
        }
        for (; aside < now.movedAside.size(); ++aside) {
            if (PathExists(now.movedAside[aside].path)) {
                madeFirst.push_back(now.movedAside[aside].path);
            }
        }
        for (; handed < now.handedToRegsvr32.size(); ++handed) {
            if (IsRegistered(now.handedToRegsvr32[handed])) {
                madeFirst.push_back(now.handedToRegsvr32[handed]);
            }
        }
        return std::nullopt;
    };
    PendingDeletions pending;

    ASSERT_FALSE(Install(base + L"\\New", previous, changes, pending).hasError());

    EXPECT_TRUE(changes.complete);
    EXPECT_EQ(folders, GetParam().folders);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(aside, GetParam().aside);
    EXPECT_EQ(handed, 2u);
    EXPECT_TRUE(madeFirst.empty()) << "made before it was noted: " << toNarrow(madeFirst.front());
    EXPECT_TRUE(UndoChanges(changes, previous, pending));
    EXPECT_EQ(PathExists(version), GetParam().folder);
    user.reset();
    RemoveTree(base);
}

INSTANTIATE_TEST_SUITE_P(
    VersionFolder, WriteAhead,
    ::testing::Values(Before{"Missing", false, false, 3, 0}, // the base, New and 9_1_1 made
                      Before{"ThereAndEmpty", true, false, 0, 0},
                      Before{"HoldingAnotherBuildInUse", true, true, 0, 1}),
    [](const ::testing::TestParamInfo<Before>& info) { return std::string(info.param.name); });
