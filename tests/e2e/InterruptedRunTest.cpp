// Runs stopped part way, as a deployment system's time limit, a closed
// console or a power loss stops them: the next run undoes what they left.
#include "e2e/OperationsFixture.h"

#include "platform/UniqueHandle.h"

#include <tlhelp32.h>

#include <functional>

using namespace operations;

namespace {

using Vexo::Platform::UniqueHandle;

const std::wstring oldBase = L"C:\\Ops\\Old\\";
const std::wstring oldFolder = L"C:\\Ops\\Old\\9_1_1";
const std::wstring newBase = L"C:\\Ops\\New\\";
const std::wstring newFolder = L"C:\\Ops\\New\\9_1_1";

std::string In(const std::wstring& folder, const std::wstring& name) {
    return Narrow(Join(folder, name));
}

// What a slow stand-in DLL signals when it starts to register or unregister.
UniqueHandle SlowStep(const wchar_t* step, const wchar_t* bitness) {
    const std::wstring name = std::wstring(L"RimkitTestDouble.") + step + L"." + bitness;
    return UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

int Regsvr32Processes() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        count += _wcsicmp(entry.szExeFile, L"regsvr32.exe") == 0 ? 1 : 0;
    }
    return count;
}

// The SDK files anywhere under C:\Ops, by path.
std::vector<std::wstring> SdkFilesUnderOps() {
    std::vector<std::wstring> found;
    for (const auto& entry : fs::recursive_directory_iterator(L"C:\\Ops")) {
        if (entry.path().filename().wstring().rfind(L"vexo_steering_wheel", 0) == 0) {
            found.push_back(entry.path().wstring());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string UndoneThen(const std::string& undoing, const std::string& then) {
    return versionLines + Warning("An earlier run was interrupted; undoing what it changed.") +
           undoing + Info("Interrupted run undone.") + then + prompt;
}

// The old installation put back: written again, then registered again.
std::string OldRestored() {
    return Info("Restored: " + In(oldFolder, x86Name)) +
           Info("Restored: " + In(oldFolder, x64Name)) +
           Info("Registered: " + In(oldFolder, x86Name)) +
           Info("Registered: " + In(oldFolder, x64Name));
}

std::string NewFilesDeleted() {
    return Info("Deleted: " + In(newFolder, x64Name)) + Info("Deleted: " + In(newFolder, x86Name));
}

} // namespace

TEST_F(Operations, StoppedUpgradeIsUndoneByTheNextRun) {
    const std::string reinstall =
        UninstallOfBoth(oldFolder) + InstallOfBoth(NewVersionFolder(newBase, newBase), newFolder);
    const struct {
        const char* exe;               // the upgrade that is stopped
        const wchar_t *step, *bitness; // stopped as soon as the slow DLL starts this
        std::string undoing;           // what the next run logs to undo it
        std::wstring then;             // the next run
    } cases[] = {
        // During the old 32-bit DLL's unregistration: nothing to undo.
        {"RIMKIT_MANAGER_SLOW_EXE", L"Unregistering", L"x86", "", L"--install"},
        // The old files deleted and the new 64-bit DLL registered.
        {"RIMKIT_MANAGER_SLOW_EXE", L"Registering", L"x86",
         Info("Unregistered: " + In(newFolder, x64Name)) + NewFilesDeleted() + OldRestored(),
         L"--uninstall"},
        // During the new 64-bit registration; a status report first.
        {"RIMKIT_MANAGER_SLOW_EXE", L"Registering", L"x64", NewFilesDeleted() + OldRestored(),
         L"--install"},
        // During the rollback's registration of the old 32-bit DLL again.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"Registering", L"x86",
         Info("Registered: " + In(oldFolder, x86Name)) +
             Info("Registered: " + In(oldFolder, x64Name)),
         L"--install"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(Narrow(std::wstring(test.step) + L" " + test.bitness));
        RemoveRegistrations();
        testsupport::RemoveTree(newBase);
        ToolSandbox(oldBase, "RIMKIT_MANAGER_SLOW_EXE").Run(L"--install");
        const ToolSandbox upgrade(L"C:\\Ops\\Upgrade", test.exe);
        const UniqueHandle stopPoint = SlowStep(test.step, test.bitness);

        const RunResult stopped =
            upgrade.Run(L"--install --path " + newBase, L"", [&](void* process) {
                ASSERT_EQ(WaitForSingleObject(stopPoint.get(), 120 * 1000), WAIT_OBJECT_0);
                TerminateProcess(process, 1);
            });
        ASSERT_EQ(stopped.exitCode, 1u) << stopped.output;

        // Whatever regsvr32 it started ends with it: nothing registers later.
        Sleep(1000);
        EXPECT_EQ(Regsvr32Processes(), 0);
        const auto named64 =
            ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey);
        Sleep(3500);
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey),
                  named64);
        EXPECT_TRUE(testsupport::PathExists(RecoveryFolder()));

        if (test.then == L"--install") {
            EXPECT_EQ(
                Run(L"--status"),
                StatusOf(named64 ? "Installed at: " + In(oldFolder, x86Name) : "Not installed",
                         named64 ? "Installed at: " + In(oldFolder, x64Name) : "Not installed",
                         interruptedWarning));
            EXPECT_EQ(Run(L"--install --path " + newBase), UndoneThen(test.undoing, reinstall));
            ExpectInstalledIn(newFolder);
            EXPECT_EQ(SdkFilesUnderOps(), (std::vector<std::wstring>{Join(newFolder, x64Name),
                                                                     Join(newFolder, x86Name)}));
        } else {
            EXPECT_EQ(Run(L"--uninstall"), UndoneThen(test.undoing, UninstallOfBoth(oldFolder)));
            ExpectNothingRegistered();
            EXPECT_TRUE(SdkFilesUnderOps().empty());
        }
        EXPECT_FALSE(testsupport::PathExists(RecoveryFolder()));
    }
}
