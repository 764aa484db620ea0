// Install and uninstall when something is in the way: a DLL held open or in
// use, a registration that fails, a registered file that is gone or foreign,
// registrations in two folders, no folder to install into or one Windows
// would not serve, a missing payload, another run at the same time, programs
// and DLLs planted where the tool might look for its own.
#include "e2e/OperationsFixture.h"

#include "app/RunLock.h"
#include "core/OnExit.h"
#include "platform/FolderProtection.h"
#include "platform/FullPath.h"
#include "platform/SecurityDescriptor.h"
#include "platform/UniqueHandle.h"
#include "platform/Wow64Path.h"
#include "sdk/PreviousInstallation.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using namespace operations;

namespace {

// Copies a stand-in DLL to `path` and registers it with the prefix's regsvr32.
void RegisterCopy(const char* variable, const std::wstring& path) {
    fs::create_directories(fs::path(path).parent_path());
    fs::remove(path); // the library's copy_file does not write over a file here
    fs::copy_file(testsupport::BuildPath(variable), path);
    const auto run =
        testsupport::RunProgram(L"C:\\windows\\system32\\regsvr32.exe", L"/s \"" + path + L"\"");
    ASSERT_EQ(run.exitCode, 0u) << "regsvr32 of " << Narrow(path);
}

// Holds a file open for reading without letting anyone write or delete it.
Vexo::Platform::UniqueHandle HoldOpen(const std::wstring& path) {
    return Vexo::Platform::UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, 0, nullptr));
}

// Each leaves "<its path>.ran" when it runs (a DLL: when it is loaded). A
// script has no build variable.
const std::pair<std::wstring, const char*> plants[] = {{L"regsvr32.exe", "RIMKIT_PLANTED_PROGRAM"},
                                                       {L"regsvr32.com", "RIMKIT_PLANTED_PROGRAM"},
                                                       {L"regsvr32.bat", nullptr},
                                                       {L"regsvr32.cmd", nullptr},
                                                       {L"version.dll", "RIMKIT_PLANTED_LIBRARY"},
                                                       {L"uxtheme.dll", "RIMKIT_PLANTED_LIBRARY"}};

void PlantIn(const std::wstring& folder) {
    fs::create_directories(folder);
    for (const auto& [name, variable] : plants) {
        if (variable == nullptr) {
            testsupport::WriteFileBytes(Join(folder, name), "@echo ran> \"%~f0.ran\"\r\n");
        } else {
            fs::copy_file(testsupport::BuildPath(variable), Join(folder, name));
        }
    }
}

// Wine prefers its own DLLs; like Windows with a DLL that is not a known one,
// the tool is to find planted ones first. (Wine takes WINEDLLOVERRIDES from
// its Unix environment only, so the tool's load order goes into the registry.)
OnExit PreferPlantedLibrariesInTheTool() {
    const std::wstring reg = L"C:\\windows\\system32\\reg.exe";
    const std::wstring key = L"HKCU\\Software\\Wine\\AppDefaults\\rimkit_manager.exe";
    for (const auto* library : {L"version", L"uxtheme"}) {
        const auto run = testsupport::RunProgram(
            reg, L"add " + key + L"\\DllOverrides /f /d native,builtin /v " + library);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
    }
    return OnExit([=] { testsupport::RunProgram(reg, L"delete " + key + L" /f"); });
}

// Processes started from here find `folder` first on PATH.
OnExit PutFirstOnPath(const std::wstring& folder) {
    std::wstring path(32767, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
    SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str());
    return OnExit([path] { SetEnvironmentVariableW(L"PATH", path.c_str()); });
}

// Keeps both regsvr32s from being found until the guard ends.
std::shared_ptr<void> HideRegsvr32() {
    static const std::wstring tools[] = {L"C:\\windows\\system32\\regsvr32.exe",
                                         L"C:\\windows\\syswow64\\regsvr32.exe"};
    for (const auto& tool : tools) {
        if (!MoveFileW(tool.c_str(), (tool + L".hidden").c_str())) {
            throw std::runtime_error("cannot hide regsvr32");
        }
    }
    return std::shared_ptr<void>(nullptr, [](void*) {
        for (const auto& tool : tools) {
            MoveFileW((tool + L".hidden").c_str(), tool.c_str());
        }
    });
}

// Holds a file open for reading and writing; others may only read or delete it.
std::shared_ptr<void> HoldForWriting(const std::wstring& path) {
    return std::make_shared<Vexo::Platform::UniqueHandle>(
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
}

std::wstring In(const std::wstring& folder, const std::wstring& name) {
    return Join(folder, name);
}

// Lets every user write in the folder (its access list under Wine follows
// the Unix mode), or no longer.
void LetOthersWrite(const std::wstring& folder, bool allowed) {
    const fs::path path(folder);
    const auto then = allowed ? Vexo::Platform::Protection::OthersCanChange
                              : Vexo::Platform::Protection::AdministratorsOnly;
    testsupport::RunUnixTool(
        "RIMKIT_UNIX_CHMOD",
        std::wstring(allowed ? L"o+w" : L"o-w") + L" \"" + path.filename().wstring() + L"\"",
        path.parent_path().wstring(), [&] { return Vexo::Platform::ProtectionOf(folder) == then; });
}

using LoadedDll = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

LoadedDll Load(const std::wstring& path) {
    return LoadedDll(LoadLibraryW(path.c_str()), FreeLibrary);
}

// The 32-bit DLL as a 32-bit program has it loaded: mapped as the image it
// is, which Windows will not let anyone delete, only rename.
LoadedDll MapImage(const std::wstring& path) {
    return LoadedDll(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE),
                     FreeLibrary);
}

// The copies of the SDK DLLs that a run renamed aside in `folder`, by name.
std::vector<std::wstring> AsideCopiesIn(const std::wstring& folder) {
    std::vector<std::wstring> copies;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == L".old") {
            copies.push_back(entry.path().wstring());
        }
    }
    std::sort(copies.begin(), copies.end()); // the 64-bit DLL's first
    return copies;
}

} // namespace

TEST_F(Operations, DllHeldOpenIsRegisteredOnlyWhenItIsThisVersionsOwn) {
    // A busy version folder sends the install to the base folder, where a
    // file under the 64-bit DLL's name is held open: an earlier copy of the
    // SDK's, or a DLL of someone else's that leaves a mark when loaded.
    fs::create_directories(versionFolder);
    testsupport::WriteFileBytes(versionFolder + L"\\notes.txt", "mine");
    const std::wstring held = Join(base, x64Name);
    const std::wstring x86 = Join(base, x86Name);
    const std::string start =
        versionLines + UninstallOfNothing() + installStart + FolderLinesDefaultingToBase(base) +
        Warning("Could not write: " + Narrow(held) + " unable to extract file.");
    const struct {
        const char* file;
        std::uint32_t exitCode;
        std::string log;
    } cases[] = {
        {"RIMKIT_PAYLOAD_X64", succeeded,
         start +
             Info("Adding " + Narrow(held) +
                  " to the register list so that something will be registered.") +
             Written(x86, "RIMKIT_PAYLOAD_X86") + Infos("Registered: ", {held, x86}) + installEnd +
             prompt},
        {"RIMKIT_PLANTED_LIBRARY", installFailed,
         start + Error("Not registered, not this version's DLL: " + Narrow(held)) +
             Written(x86, "RIMKIT_PAYLOAD_X86") + Infos("Registered: ", {x86}) + installEnd +
             rollingBack + Infos("Unregistered: ", {x86}) + Infos("Deleted: ", {x86}) + rolledBack +
             prompt},
    };
    for (const auto& test : cases) {
        RemoveRegistrations();
        fs::remove(held);
        fs::copy_file(testsupport::BuildPath(test.file), held);
        {
            const auto holder = HoldOpen(held);
            ASSERT_TRUE(holder.valid());
            EXPECT_EQ(Run(L"--install", L"", test.exitCode), test.log);
        }
        EXPECT_EQ(ReadFileBytes(held), PayloadBytes(test.file));
        EXPECT_FALSE(testsupport::PathExists(held + L".ran")) << "the planted DLL was loaded";
    }
    ExpectNothingRegistered();
    EXPECT_EQ(DllsIn(base), std::vector<std::wstring>{x64Name});
}

TEST_F(Operations, InstallThatDoesNotCompleteLeavesTheMachineAsItWas) {
    const std::wstring old = L"C:\\Ops\\Old\\9_1_1";
    const std::wstring newBase = L"C:\\Ops\\New\\";
    const std::wstring folder = Join(newBase, L"9_1_1");
    const std::wstring x64 = In(folder, x64Name);
    const std::wstring x86 = In(folder, x86Name);
    const std::string newFolder = installStart + NewVersionFolder(newBase, newBase);
    const std::string failed = installEnd + rollingBack;
    const auto restore = [](const std::wstring& from) {
        return Infos("Restored: ", {In(from, x86Name), In(from, x64Name)}) +
               Infos("Registered: ", {In(from, x86Name), In(from, x64Name)}) + rolledBack;
    };
    const std::wstring deep = L"C:\\Ops\\New\\Deep\\Er";
    const std::wstring deepX64 = In(deep + L"\\9_1_1", x64Name);
    const std::wstring deepX86 = In(deep + L"\\9_1_1", x86Name);
    const std::wstring shared = L"C:\\Ops\\Shared\\9_1_1";
    const std::wstring sharedX64 = In(shared, x64Name);
    const std::wstring sharedX86 = In(shared, x86Name);
    // The new 64-bit DLL failed to register, the 32-bit one did.
    const auto x64Failed = [&](const char* payload64) {
        return UninstallOfNothing() + newFolder + Written(x64, payload64) +
               Written(x86, "RIMKIT_PAYLOAD_X86") + CannotRegister(x64) +
               Infos("Registered: ", {x86}) + failed + Infos("Unregistered: ", {x86});
    };
    const auto x86Failed = [&](const std::wstring& dll64, const std::wstring& dll86) {
        return Written(dll64, "RIMKIT_PAYLOAD_X64") + Written(dll86, "RIMKIT_FAILING_X86") +
               Infos("Registered: ", {dll64}) + CannotRegister(dll86) + failed +
               Infos("Unregistered: ", {dll64}) + Infos("Deleted: ", {dll64, dll86});
    };
    const std::string allGone = Infos("Deleted: ", {x64, x86}) + rolledBack;
    const struct {
        const char* exe;
        std::wstring installedFrom; // an installation there first, in Old or Shared
        std::wstring arguments;
        std::string log;
        std::wstring gone;             // nothing of it is left
        bool planted64BitTool = false; // System32's regsvr32 ends with 0 and registers nothing
        bool sticky = false;           // a registration that cannot be undone stays
    } cases[] = {
        // A clean machine whose new 64-bit DLL fails to register.
        {"RIMKIT_MANAGER_FAILING_X64_EXE", L"", L"--install",
         x64Failed("RIMKIT_FAILING_X64") + allGone, folder},
        // The same when System32's regsvr32 ends with 0 but registers nothing.
        {"RIMKIT_MANAGER_EXE", L"", L"--install", x64Failed("RIMKIT_PAYLOAD_X64") + allGone, folder,
         true},
        // A tool without the 32-bit DLL installs half an SDK: not at all.
        {"RIMKIT_MANAGER_X64_ONLY_EXE", L"", L"--install",
         UninstallOfNothing() + newFolder + Written(x64, "RIMKIT_PAYLOAD_X64") +
             "Error: Unable to find resource: vexo_steering_wheel_x86.dll of type dll" +
             Infos("Registered: ", {x64}) + failed + Infos("Unregistered: ", {x64}) +
             Infos("Deleted: ", {x64}) + rolledBack,
         folder},
        // An upgrade whose new 32-bit DLL fails to register.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"C:\\Ops\\Old", L"--install",
         UninstallOfBoth(old) + newFolder + x86Failed(x64, x86) + restore(old), folder},
        // Every folder it made goes, however deep.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"", L"--install --path " + deep,
         UninstallOfNothing() + installStart + NewVersionFolder(deep, deep) +
             x86Failed(deepX64, deepX86) + rolledBack,
         L"C:\\Ops\\New\\Deep"},
        // The previous files, written over with the new bytes, are written back.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"C:\\Ops\\Shared", L"--install --path C:\\Ops\\Shared",
         UninstallOfBoth(shared) + installStart +
             NewVersionFolder(L"C:\\Ops\\Shared", L"C:\\Ops\\Shared") +
             x86Failed(sharedX64, sharedX86) + restore(shared),
         L""},
        // A new DLL that writes its registration and then fails is unregistered.
        {"RIMKIT_MANAGER_HALF_X64_EXE", L"", L"--install",
         x64Failed("RIMKIT_HALF_X64") + Infos("Unregistered: ", {x64}) + allGone, folder},
        // One that cannot be unregistered either: the rollback says so.
        {"RIMKIT_MANAGER_STICKY_X64_EXE", L"", L"--install",
         x64Failed("RIMKIT_STICKY_X64") + CannotUnregister(x64) + NotDeletedRegistered(x64) +
             Infos("Deleted: ", {x86}) + Error("Rollback incomplete: " + Narrow(x64)) +
             Error("Rollback incomplete: " + Narrow(folder)),
         L"", false, true},
    };
    for (const auto& test : cases) {
        RemoveRegistrations();
        for (const auto* tree : {L"C:\\Ops\\Old", L"C:\\Ops\\New", L"C:\\Ops\\Shared"}) {
            testsupport::RemoveTree(tree);
        }
        testsupport::RemoveTree(VexoFolder());
        if (!test.installedFrom.empty()) {
            ToolSandbox(L"C:\\Ops\\Old").Run(L"--install --path " + test.installedFrom);
        }
        const ToolSandbox newTool(L"C:\\Ops\\New", test.exe);
        const auto plant = test.planted64BitTool ? testsupport::PlantRegsvr32InSystem32() : nullptr;

        const RunResult run = newTool.Run(test.arguments);

        EXPECT_EQ(run.exitCode, installFailed);
        EXPECT_EQ(run.output, versionLines + test.log + prompt) << test.exe;
        if (!test.gone.empty()) {
            EXPECT_FALSE(testsupport::PathExists(test.gone)) << test.exe;
        }
        if (test.sticky) {
            // Its way back stays until an install completes: the next run
            // cannot undo it either, says so, and keeps it.
            EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey),
                      x64);
            EXPECT_EQ(Run(L"--status"), StatusOf("Not installed", "Installed at: " + Narrow(x64),
                                                 NotThisVersions({x64}) + interruptedWarning));
            const std::string again = newTool.Run(test.arguments).output;
            EXPECT_EQ(again.rfind(versionLines + undoing + CannotUnregister(x64) +
                                      NotDeletedRegistered(x64) +
                                      Error("Rollback incomplete: " + Narrow(x64)),
                                  0),
                      0u)
                << again;
            EXPECT_EQ(again.find(undone), std::string::npos) << again;
            EXPECT_TRUE(testsupport::PathExists(RecordPath()));
            testsupport::RemoveTree(VexoFolder());
            continue;
        }
        if (test.installedFrom.empty()) {
            ExpectNothingRegistered();
            continue;
        }
        const std::wstring from = Join(test.installedFrom, L"9_1_1");
        ExpectInstalledIn(from);
        Restart();
        ExpectInstalledIn(from);
    }
}

// An uninstall fails while a registration it could not remove names a file
// that is there, and not for one whose file is gone.
TEST_F(Operations, RegisteredFileThatCannotBeUnregisteredFailsTheUninstallWhileItIsThere) {
    const std::wstring x64 = Join(versionFolder, x64Name);
    const std::wstring x86 = Join(versionFolder, x86Name);
    const struct {
        std::function<std::shared_ptr<void>()> disturb;
        std::uint32_t exitCode;
        std::string lines;
    } cases[] = {
        // regsvr32 cannot load the missing DLL, so its registration stays.
        {[&x64] {
             fs::remove(x64);
             return std::shared_ptr<void>();
         },
         succeeded,
         Infos("Unregistered: ", {x86}) + CannotUnregister(x64) + Infos("Deleted: ", {x86})},
        {HideRegsvr32, installFailed,
         CannotUnregister(x86, notStarted) + CannotUnregister(x64, notStarted)},
    };
    for (const auto& test : cases) {
        Run(L"--install");
        const auto disturbance = test.disturb();
        EXPECT_EQ(Run(L"--uninstall", L"", test.exitCode),
                  versionLines + uninstallStart + test.lines + uninstallEnd + prompt);
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), x64);
        if (test.exitCode == succeeded) {
            EXPECT_FALSE(testsupport::PathExists(versionFolder)); // left empty, so removed
            EXPECT_FALSE(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey));
        } else {
            ExpectInstalledIn(versionFolder);
        }
    }
}

TEST_F(Operations, RegistrationsInTwoFoldersAreRemovedButNeitherFolderIs) {
    const std::wstring x86 = L"C:\\Ops\\Data\\One\\" + x86Name;
    const std::wstring x64 = L"C:\\Ops\\Data\\Two\\" + x64Name;
    RegisterCopy("RIMKIT_STANDIN_X86", x86);
    RegisterCopy("RIMKIT_STANDIN_X64", x64);

    EXPECT_EQ(Run(L"-u"),
              versionLines + uninstallStart + Infos("Unregistered: ", {x86, x64}) +
                  Infos("Deleted: ", {x86, x64}) +
                  Error("RemoveParentFolder(): Not removing the parent folder because not all "
                        "files have the same parent. C:\\Ops\\Data\\One != C:\\Ops\\Data\\Two") +
                  uninstallEnd + prompt);
    ExpectNothingRegistered();
    EXPECT_TRUE(testsupport::PathExists(L"C:\\Ops\\Data\\One"));
    EXPECT_TRUE(testsupport::PathExists(L"C:\\Ops\\Data\\Two"));
}

TEST_F(Operations, InstallFolderThatCannotBeCreatedIsAnErrorAndTheRunEndsNormally) {
    const std::wstring blocker = L"C:\\Ops\\Data\\Blocker";
    fs::create_directories(L"C:\\Ops\\Data");
    testsupport::WriteFileBytes(blocker, "a file where the folder should be");

    EXPECT_EQ(Run(L"--install --path " + blocker, L"", installFailed),
              versionLines + UninstallOfNothing() + installStart +
                  FolderLinesDefaultingToBase(blocker) + installEnd +
                  Error("Failed to create folder: " + Narrow(blocker)) + rollingBack + rolledBack +
                  prompt);
    ExpectNothingRegistered();
    EXPECT_EQ(ReadFileBytes(blocker), "a file where the folder should be");
}

// Windows serves neither a DLL in its own folder nor one past 259
// characters, and a DLL where others can change it is theirs to replace;
// the install refuses each before it changes anything, and the installation
// that is registered stays.
TEST_F(Operations, InstallFolderThatWindowsWouldNotServeIsRefusedBeforeAnythingIsMade) {
    const std::wstring data = L"C:\\Ops\\Data";
    const std::wstring shared = data + L"\\Shared";
    fs::create_directories(shared);
    LetOthersWrite(shared, true);
    testsupport::RunUnixTool("RIMKIT_UNIX_LN", L"-s ../../windows ToWindows", data, [&] {
        return testsupport::PathExists(data + L"\\ToWindows\\win.ini");
    });
    // A link in the prefix must not outlast the test; only Unix removes it alone.
    const OnExit unlink([&] {
        testsupport::RunUnixTool("RIMKIT_UNIX_RM", L"ToWindows", data,
                                 [&] { return !testsupport::PathExists(data + L"\\ToWindows"); });
    });
    const std::wstring longBase = data + L"\\" + std::wstring(220, L'l');
    const std::wstring longDll = Join(longBase + L"\\9_1_1", x64Name);
    // DLL paths of 259 and 260 characters; and a base folder whose version
    // folder is busy, where the DLLs would go straight into the base.
    const std::wstring longest = data + L"\\" + std::wstring(213, L'm');
    const std::wstring tooLong = data + L"\\" + std::wstring(214, L'n');
    const std::wstring busyBase = data + L"\\" + std::wstring(220, L'b');
    fs::create_directories(busyBase + L"\\9_1_1");
    testsupport::WriteFileBytes(Join(busyBase + L"\\9_1_1", L"other.txt"), "busy");
    const auto inWindows = [](const std::wstring& folder) {
        return Error("Not installed, in the Windows folder: " + Narrow(folder));
    };
    const struct {
        std::wstring typed, made; // what --path says, and where the DLLs would go
        std::string refusal;      // empty: it installs there
    } cases[] = {
        {L"C:\\windows\\Rimkit", L"C:\\windows\\Rimkit\\9_1_1",
         inWindows(L"C:\\windows\\Rimkit\\9_1_1")},
        {L"c:\\WINDOWS\\rimkit", L"c:\\WINDOWS\\rimkit\\9_1_1",
         inWindows(L"c:\\WINDOWS\\rimkit\\9_1_1")},
        {L"\\\\?\\C:\\Windows\\Rimkit", L"\\\\?\\C:\\Windows\\Rimkit\\9_1_1",
         inWindows(L"\\\\?\\C:\\Windows\\Rimkit\\9_1_1")},
        {data + L"\\ToWindows\\Rimkit", L"C:\\windows\\Rimkit\\9_1_1",
         inWindows(data + L"\\ToWindows\\Rimkit\\9_1_1")},
        {longBase, longBase, Error("Install path too long: " + Narrow(longDll))},
        {tooLong, tooLong + L"\\9_1_1",
         Error("Install path too long: " + Narrow(Join(tooLong + L"\\9_1_1", x64Name)))},
        {longest, longest + L"\\9_1_1", ""},
        {busyBase, Join(busyBase, x64Name),
         Error("Install path too long: " + Narrow(Join(busyBase, x64Name)))},
        {shared + L"\\Rimkit", shared + L"\\Rimkit\\9_1_1",
         Error("Not installed, in a folder that others can change: " + Narrow(shared))},
        // Beside the Windows folder is not in it.
        {L"C:\\WindowsTools", L"C:\\WindowsTools\\9_1_1", ""},
    };
    const std::wstring old = In(data + L"\\Old", x64Name);
    for (const auto& test : cases) {
        SCOPED_TRACE(Narrow(test.typed));
        RemoveRegistrations();
        RegisterCopy("RIMKIT_PAYLOAD_X64", old);
        std::atomic<bool> made{false};
        const RunResult run = tool.Run(L"--install --path \"" + test.typed + L"\"", L"",
                                       [&](void* process, const auto&) {
                                           while (WaitForSingleObject(process, 1) == WAIT_TIMEOUT) {
                                               made = made || testsupport::PathExists(test.made);
                                           }
                                       });
        if (test.refusal.empty()) {
            EXPECT_EQ(
                run.output,
                versionLines + uninstallStart + Info("Found: Rimkit 32bit DLL not installed.") +
                    Infos("Unregistered: ", {old}) + Infos("Deleted: ", {old}) + uninstallEnd +
                    InstallOfBoth(NewVersionFolder(test.typed, test.typed), test.made) + prompt);
            ExpectInstalledIn(test.made);
            Run(L"--uninstall");
            testsupport::RemoveTree(test.typed);
            continue;
        }
        EXPECT_EQ(run.exitCode, installFailed);
        EXPECT_EQ(run.output, versionLines + test.refusal + prompt);
        EXPECT_FALSE(made);
        EXPECT_FALSE(testsupport::PathExists(test.made));
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), old);
        EXPECT_EQ(ReadFileBytes(old), PayloadBytes("RIMKIT_PAYLOAD_X64"));
    }
}

// A registered DLL that others can change may be anyone's code: regsvr32
// never loads it elevated. Its class goes from the registry as its own
// unregistration would take it, and a rollback that writes it back leaves
// it unregistered.
TEST_F(Operations, RegisteredDllThatOthersCanChangeIsNeverLoaded) {
    const std::wstring shared = L"C:\\Ops\\Data\\Shared";
    const std::wstring old64 = In(shared + L"\\9_1_1", x64Name);
    const std::wstring old86 = In(shared + L"\\9_1_1", x86Name);
    const auto unregisteredUnrun = [](const std::wstring& path) {
        return Warning("Unregistered without running it, in a folder that others can change: " +
                       Narrow(path));
    };
    RegisterCopy("RIMKIT_PAYLOAD_X64", old64);
    LetOthersWrite(shared, true);
    // Swapped by someone for a DLL that leaves a mark when it is loaded.
    fs::remove(old64);
    fs::copy_file(testsupport::BuildPath("RIMKIT_PLANTED_LIBRARY"), old64);
    EXPECT_EQ(Run(L"--uninstall"),
              versionLines + uninstallStart + Info("Found: Rimkit 32bit DLL not installed.") +
                  unregisteredUnrun(old64) + Infos("Deleted: ", {old64}) + uninstallEnd + prompt);
    EXPECT_FALSE(testsupport::PathExists(old64 + L".ran"));
    EXPECT_FALSE(testsupport::KeyExists(RegistryView::Bits64, testsupport::sdkClassKey));

    // An upgrade from there that fails writes the old DLLs back, unregistered.
    LetOthersWrite(shared, false);
    RegisterCopy("RIMKIT_PAYLOAD_X64", old64);
    RegisterCopy("RIMKIT_PAYLOAD_X86", old86);
    LetOthersWrite(shared, true);
    const ToolSandbox failing(L"C:\\Ops\\Failing", "RIMKIT_MANAGER_FAILING_X86_EXE");
    const RunResult upgrade = failing.Run(L"--install");
    EXPECT_EQ(upgrade.exitCode, installFailed);
    for (const auto& line : {unregisteredUnrun(old86), unregisteredUnrun(old64),
                             Info("Restored: " + Narrow(old86)), Info("Restored: " + Narrow(old64)),
                             Error("Rollback incomplete: " + Narrow(old86)) +
                                 Error("Rollback incomplete: " + Narrow(old64))}) {
        EXPECT_NE(upgrade.output.find(line), std::string::npos) << line << upgrade.output;
    }
    EXPECT_EQ(upgrade.output.find("Registered: " + Narrow(old64)), std::string::npos);
    ExpectNothingRegistered();
    EXPECT_EQ(ReadFileBytes(old64), PayloadBytes("RIMKIT_PAYLOAD_X64"));
    EXPECT_EQ(ReadFileBytes(old86), PayloadBytes("RIMKIT_PAYLOAD_X86"));
    testsupport::RemoveTree(VexoFolder()); // the way back stays until an install completes
}

TEST_F(Operations, NothingPlantedBesideTheToolInTheCurrentFolderOrOnPathRuns) {
    const std::wstring work = L"C:\\Ops\\Data\\Work";
    const std::wstring onPath = L"C:\\Ops\\Data\\On path";
    for (const auto& folder : {tool.folder(), work, onPath}) {
        PlantIn(folder);
    }
    const OnExit loadOrder = PreferPlantedLibrariesInTheTool();
    const OnExit path = PutFirstOnPath(onPath);

    EXPECT_EQ(Run(L"--install", work),
              versionLines + UninstallOfNothing() +
                  InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(Run(L"--uninstall", work), versionLines + UninstallOfBoth(versionFolder) + prompt);
    ExpectNothingRegistered();
    for (const auto& folder : {tool.folder(), work, onPath}) {
        for (const auto& plant : plants) {
            EXPECT_FALSE(testsupport::PathExists(Join(folder, plant.first + L".ran")))
                << Narrow(Join(folder, plant.first)) << " ran";
        }
    }
}

TEST_F(Operations, NoRuntimeDllIsTakenFromTheCallersFolder) {
    // The 64-bit DLL needs vexo_runtime.dll, which only the current folder has.
    const ToolSandbox needsRuntime(L"C:\\Ops\\Runtime", "RIMKIT_MANAGER_NEEDS_RUNTIME_EXE");
    const std::wstring work = L"C:\\Ops\\Data\\Work";
    const std::wstring planted = Join(work, L"vexo_runtime.dll");
    fs::create_directories(work);
    fs::copy_file(testsupport::BuildPath("RIMKIT_PLANTED_RUNTIME"), planted);
    const std::wstring runtimeBase = L"C:\\Ops\\Runtime\\";
    const std::wstring x64 = In(runtimeBase + L"9_1_1", x64Name);
    const std::wstring x86 = In(runtimeBase + L"9_1_1", x86Name);

    EXPECT_EQ(needsRuntime.Run(L"--install", work).output,
              versionLines + UninstallOfNothing() + installStart +
                  NewVersionFolder(runtimeBase, runtimeBase) +
                  Written(x64, "RIMKIT_NEEDS_RUNTIME_X64") + Written(x86, "RIMKIT_PAYLOAD_X86") +
                  CannotRegister(x64) + Infos("Registered: ", {x86}) + installEnd + rollingBack +
                  Infos("Unregistered: ", {x86}) + Infos("Deleted: ", {x64, x86}) + rolledBack +
                  prompt);
    EXPECT_FALSE(testsupport::PathExists(planted + L".ran")) << "the planted runtime was loaded";
    ExpectNothingRegistered();
}

TEST_F(Operations, ReinstallWhoseRegistrationFailsKeepsTheRegisteredDlls) {
    // Busy version folders keep the DLLs in the base folder, the tool's own or
    // the current folder of drive C:, where the install names them "C:...".
    const std::wstring work = L"C:\\Ops\\Data\\Work";
    fs::create_directories(versionFolder + L"\\busy");
    fs::create_directories(work + L"\\9_1_1\\busy");
    // The old 32-bit DLL could not be unregistered, for `cause`; then `unregister`.
    const auto reinstall = [](const std::wstring& registered, const std::wstring& typed,
                              const std::string& cause, const std::string& unregister,
                              const std::string& registration, const std::string& rollback) {
        return versionLines + uninstallStart + CannotUnregister(Join(registered, x86Name), cause) +
               unregister + uninstallEnd + installStart + FolderLinesDefaultingToBase(typed) +
               Written(Join(typed, x64Name), "RIMKIT_PAYLOAD_X64") + registration + installEnd +
               rollingBack + rollback + rolledBack + prompt;
    };
    const auto withoutRegsvr32 = [&](const std::wstring& registered, const std::wstring& typed) {
        const std::wstring x64 = Join(typed, x64Name);
        const std::wstring x86 = Join(typed, x86Name);
        return reinstall(registered, typed, notStarted,
                         CannotUnregister(Join(registered, x64Name), notStarted),
                         Written(x86, "RIMKIT_PAYLOAD_X86") + CannotRegister(x64, notStarted) +
                             CannotRegister(x86, notStarted),
                         NotDeletedRegistered(x64) + NotDeletedRegistered(x86));
    };
    const std::wstring x64 = Join(base, x64Name);
    const std::wstring x86 = Join(base, x86Name);
    const struct {
        std::function<std::shared_ptr<void>()> disturb;
        std::wstring arguments, folder;
        std::string log;
    } cases[] = {
        {HideRegsvr32, L"--install", base, withoutRegsvr32(base, base)},
        {HideRegsvr32, L"--install --path C:", work, withoutRegsvr32(work, L"C:")},
        {[this] { return HoldForWriting(Join(base, x86Name)); }, L"--install", base,
         reinstall(
             base, base, "",
             Infos("Unregistered: ", {x64}) + Infos("Deleted: ", {x64}) +
                 Error("RemoveParentFolder(): Unable to remove folder C:\\Ops\\Rimkit Manager"),
             Warning("Could not write: " + Narrow(x86) + " unable to extract file.") +
                 Info("Adding " + Narrow(x86) +
                      " to the register list so that something will be registered.") +
                 Infos("Registered: ", {x64}) + CannotRegister(x86),
             Infos("Unregistered: ", {x64}) + Infos("Deleted: ", {x64}) +
                 Infos("Restored: ", {x64}) + Infos("Registered: ", {x64}))},
    };
    for (const auto& test : cases) {
        Run(test.arguments, work);
        const auto disturbance = test.disturb();
        EXPECT_EQ(Run(test.arguments, work, installFailed), test.log);
        ExpectInstalledIn(test.folder);
        EXPECT_EQ(Run(L"--status"),
                  StatusOf("Installed at: " + Narrow(Join(test.folder, x86Name)),
                           "Installed at: " + Narrow(Join(test.folder, x64Name))));
    }
}

TEST_F(Operations, DllInUseNeverMovesTheInstallOutOfTheVersionFolder) {
    Run(L"--install");
    const std::wstring busy = Join(versionFolder, x64Name);
    const std::wstring x86 = Join(versionFolder, x86Name);
    LoadedDll user = Load(busy);
    ASSERT_TRUE(user);
    const std::string reinstall =
        installStart + ReusedVersionFolder(base) + Written(busy, "RIMKIT_PAYLOAD_X64") +
        Written(x86, "RIMKIT_PAYLOAD_X86") + Infos("Registered: ", {busy, x86}) + installEnd;

    // The copy in use goes aside for the restart and a new one takes its
    // name; the next install finds the folder holding its own copy only.
    const std::string first = Run(L"--install");
    const std::vector<std::wstring> aside = AsideCopiesIn(versionFolder);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(first, versionLines + uninstallStart + Infos("Unregistered: ", {x86, busy}) +
                         Infos("Deleted: ", {x86}) + Warning("Delete: Failed: " + Narrow(busy)) +
                         FolderKept(versionFolder) + uninstallEnd + reinstall +
                         Scheduled(aside[0]) + prompt);
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(Run(L"--install"), versionLines +
                                     UninstallOfBoth(versionFolder, FolderKept(versionFolder)) +
                                     reinstall + prompt);
    ExpectInstalledIn(versionFolder);

    // Uninstalled, the folder goes at the next restart, after the copy; an
    // install before then still goes into the version folder.
    EXPECT_EQ(Run(L"--uninstall"), versionLines +
                                       UninstallOfBoth(versionFolder, FolderKept(versionFolder)) +
                                       Scheduled(versionFolder) + prompt);
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfNothing() +
                                     InstallOfBoth(ReusedVersionFolder(base), versionFolder) +
                                     prompt);
    ExpectInstalledIn(versionFolder);

    user.reset();
    Restart();
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(std::distance(fs::directory_iterator(versionFolder), fs::directory_iterator()), 2);
    EXPECT_TRUE(DllsIn(base).empty());

    // The 64-bit DLL in use, and the 32-bit one held by a program that lets
    // nobody delete or rename it: that one stays where it is, with its
    // folder, and is never left to the restart under its own name, which the
    // next install writes and registers again.
    LoadedDll lastUser = Load(busy);
    auto reader = HoldOpen(x86);
    const std::string held = Run(L"-u");
    const std::vector<std::wstring> lastAside = AsideCopiesIn(versionFolder);
    ASSERT_EQ(lastAside.size(), 1u);
    EXPECT_EQ(held, versionLines + uninstallStart + Infos("Unregistered: ", {x86, busy}) +
                        Warning("Not deleted, in use: " + Narrow(x86) + " (Windows error 32)") +
                        Warning("Delete: Failed: " + Narrow(busy)) + FolderKept(versionFolder) +
                        uninstallEnd + Scheduled(lastAside[0]) + prompt);
    EXPECT_EQ(testsupport::DeletionsAtRestart(), lastAside);
    lastUser.reset();
    reader = {};
    Restart();
    EXPECT_EQ(DllsIn(versionFolder), std::vector<std::wstring>{x86Name});
    EXPECT_TRUE(AsideCopiesIn(versionFolder).empty());
    ExpectNothingRegistered();
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfNothing() +
                                     InstallOfBoth(ReusedVersionFolder(base), versionFolder) +
                                     prompt);
    ExpectInstalledIn(versionFolder);
}

// Another build of the same version, with other bytes, over DLLs that
// programs have loaded: the loaded copies go aside for the restart, and the
// new ones take their place in the version folder. Neither this install nor
// the next one before the restart reports an error.
TEST_F(Operations, UpgradeOverADllInUseCompletesInTheVersionFolder) {
    const ToolSandbox otherBuild(L"C:\\Ops\\Other build", "RIMKIT_MANAGER_OTHER_X64_EXE");
    Run(L"--install");
    const std::wstring busy = Join(versionFolder, x64Name);
    const std::wstring x86 = Join(versionFolder, x86Name);
    LoadedDll user = Load(busy);
    LoadedDll user32 = MapImage(x86);
    ASSERT_TRUE(user && user32);

    const std::wstring typed = L"C:\\Ops\\Rimkit Manager";
    const RunResult upgrade = otherBuild.Run(L"--install --path \"" + typed + L"\"");
    const std::vector<std::wstring> aside = AsideCopiesIn(versionFolder);
    ASSERT_EQ(aside.size(), 2u);
    EXPECT_EQ(upgrade.exitCode, succeeded);
    EXPECT_EQ(upgrade.output, versionLines + uninstallStart + Infos("Unregistered: ", {x86, busy}) +
                                  Warning("Delete: Failed: " + Narrow(x86)) +
                                  Warning("Delete: Failed: " + Narrow(busy)) +
                                  FolderKept(versionFolder) + uninstallEnd + installStart +
                                  ReusedVersionFolder(typed) + Written(busy, "RIMKIT_OTHER_X64") +
                                  Written(x86, "RIMKIT_PAYLOAD_X86") +
                                  Infos("Registered: ", {busy, x86}) + installEnd +
                                  Scheduled(aside[1]) + Scheduled(aside[0]) + prompt);
    ExpectInstalledIn(versionFolder, "RIMKIT_OTHER_X64");

    const RunResult again = tool.Run(L"--install");
    EXPECT_EQ(again.exitCode, succeeded);
    EXPECT_EQ(again.output, versionLines +
                                UninstallOfBoth(versionFolder, FolderKept(versionFolder)) +
                                InstallOfBoth(ReusedVersionFolder(base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(testsupport::DeletionsAtRestart(), (std::vector<std::wstring>{aside[1], aside[0]}));

    user.reset();
    user32.reset();
    Restart();
    EXPECT_EQ(DllsIn(versionFolder), (std::vector<std::wstring>{x64Name, x86Name}));
    EXPECT_TRUE(AsideCopiesIn(versionFolder).empty());
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfBoth(versionFolder) +
                                     InstallOfBoth(NewVersionFolder(base, base), versionFolder) +
                                     prompt);
}

// A virus scanner that has the old 64-bit DLL open for a moment, sharing
// reading only, as the run comes to delete it, or an old DLL marked
// read-only: it is deleted all the same, and nothing waits for the restart.
TEST_F(Operations, OldDllHeldForAMomentOrReadOnlyIsDeletedAndNothingWaitsForTheRestart) {
    const std::wstring old = L"C:\\Ops\\Old\\9_1_1";
    const std::wstring oldX64 = Join(old, x64Name);
    const std::string upgrade = InstallOfBoth(NewVersionFolder(base, base), versionFolder);
    for (const bool scanner : {true, false}) {
        for (const auto& [arguments, after] :
             {std::pair(L"--install", upgrade), std::pair(L"--uninstall", std::string())}) {
            SCOPED_TRACE(Narrow(arguments) + (scanner ? ", scanner" : ", read-only"));
            RemoveRegistrations();
            testsupport::RemoveTree(versionFolder);
            ToolSandbox(L"C:\\Ops\\Old").Run(L"--install");
            SetFileAttributesW(oldX64.c_str(),
                               scanner ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY);
            auto holder = scanner ? HoldOpen(oldX64) : Vexo::Platform::UniqueHandle();
            // Let go two seconds after the run unregistered it, as it comes to delete it.
            const RunResult run = tool.Run(
                arguments, L"", [&](void* process, const testsupport::OutputSoFar& output) {
                    while (holder.valid() &&
                           !output.Contains(Info("Unregistered: " + Narrow(oldX64))) &&
                           WaitForSingleObject(process, 10) == WAIT_TIMEOUT) {
                    }
                    Sleep(holder.valid() ? 2000 : 0);
                    holder.reset();
                });
            EXPECT_EQ(run.exitCode, succeeded);
            EXPECT_EQ(run.output, versionLines + UninstallOfBoth(old) + after + prompt);
            EXPECT_FALSE(testsupport::PathExists(old));
            EXPECT_TRUE(testsupport::DeletionsAtRestart().empty());
        }
    }
}

TEST_F(Operations, RestartNeverTakesAFileThatALaterInstallRegistered) {
    fs::create_directories(versionFolder + L"\\busy"); // installs go to the base folder
    Run(L"--install");
    const std::wstring busy = Join(base, x64Name);
    LoadedDll user = Load(busy);
    ASSERT_TRUE(user);
    const std::string moved = Run(L"--install --path C:\\Ops\\Data\\Other");
    const std::vector<std::wstring> aside = AsideCopiesIn(base);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_NE(moved.find(Scheduled(aside[0])), std::string::npos);
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfBoth(L"C:\\Ops\\Data\\Other\\9_1_1") +
                                     InstallOfBoth(FolderLinesDefaultingToBase(base), base) +
                                     prompt);
    EXPECT_EQ(testsupport::DeletionsAtRestart(), aside);
    user.reset();
    Restart();
    ExpectInstalledIn(base);
}

TEST_F(Operations, UninstallLeavesAloneWhatIsNotAnSdkFile) {
    const std::wstring data = L"C:\\Ops\\Data";
    const std::wstring system = data + L"\\System\\quartz.dll"; // a copy: nothing real at risk
    const std::wstring folder = data + L"\\Empty\\";
    const std::wstring relative = L"tools\\" + x86Name;
    const std::wstring same = data + L"\\Same\\" + x64Name;
    const std::wstring sameOtherCase = L"c:/ops/data/same/VEXO_STEERING_WHEEL_X64.DLL";
    // What unregistering quartz.dll would remove.
    const std::wstring quartzClass =
        L"SOFTWARE\\Classes\\CLSID\\{E436EBB3-524F-11CE-9F53-0020AF0BA770}";
    const auto leftAlone = [](const std::wstring& path) {
        return Error("Not an SDK file, left alone: " + Narrow(path)) +
               Error("RemoveParentFolder(): No files to check.");
    };
    const std::string none32 = Info("Found: Rimkit 32bit DLL not installed.");
    const std::string none64 = Info("Found: Rimkit  64bit DLL not installed.");
    // A registration left naming something that is there fails the uninstall,
    // whoever's it is; one naming nothing there does not.
    const struct {
        std::wstring registered32, registered64;
        std::string lines;
        std::wstring kept; // still there afterwards, and still registered
        std::uint32_t exitCode;
    } cases[] = {
        {L"", system, none32 + leftAlone(system), system, installFailed},
        {folder, L"", none64 + leftAlone(folder), folder, installFailed},
        {relative, L"", none64 + CannotUnregister(relative), data + L"\\Work\\tools", succeeded},
        {sameOtherCase, same,
         Infos("Unregistered: ", {sameOtherCase}) + NotDeletedRegistered(sameOtherCase), same,
         installFailed},
    };
    for (const auto& test : cases) {
        RemoveRegistrations();
        testsupport::RemoveTree(data);
        fs::create_directories(data + L"\\Work\\tools");
        fs::create_directories(folder);
        fs::create_directories(fs::path(system).parent_path());
        fs::copy_file(L"C:\\windows\\system32\\quartz.dll", system);
        for (const auto& [view, path] : {std::pair(RegistryView::Bits32, test.registered32),
                                         std::pair(RegistryView::Bits64, test.registered64)}) {
            if (!path.empty()) {
                testsupport::SetDefaultString(view, testsupport::sdkServerBinaryKey, path);
            }
        }
        if (test.registered64 == same) {
            RegisterCopy("RIMKIT_STANDIN_X64", same);
        }

        EXPECT_EQ(Run(L"-u", data + L"\\Work", test.exitCode),
                  versionLines + uninstallStart + test.lines + uninstallEnd + prompt);
        EXPECT_TRUE(testsupport::PathExists(system));
        EXPECT_TRUE(testsupport::KeyExists(RegistryView::Bits64, quartzClass));
        EXPECT_TRUE(testsupport::PathExists(test.kept));
        if (test.kept == same) {
            // Only the 64-bit view was the 64-bit DLL's to clear; the other
            // still names the file, so it stays.
            EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey));
            EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey),
                      sameOtherCase);
            continue;
        }
        EXPECT_EQ(
            ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey).value_or(L""),
            test.registered32);
        EXPECT_EQ(
            ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey).value_or(L""),
            test.registered64);
    }
}

// Two runs that overlap for certain: the test holds the run lock until both
// have said they wait, then lets them go. Whichever goes first, each runs
// whole, one after the other.
TEST_F(Operations, RunsStartedTogetherRunOneAfterTheOther) {
    const std::string install = InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt;
    const std::string reinstall = UninstallOfBoth(versionFolder) + install;
    Run(L"--install");
    const auto together = [&](const wchar_t* first, const wchar_t* second) {
        std::atomic<bool> held{false};
        std::atomic<int> waitingRuns{0};
        // A mutex is released by the thread that holds it.
        std::thread holder([&] {
            Vexo::Platform::UniqueHandle lock(CreateMutexW(nullptr, FALSE, runLockName));
            WaitForSingleObject(lock.get(), INFINITE);
            held = true;
            while (waitingRuns < 2) {
                Sleep(10);
            }
            ReleaseMutex(lock.get());
        });
        while (!held) {
            Sleep(10);
        }
        const auto countWhenWaiting = [&](void* process, const testsupport::OutputSoFar& output) {
            while (!output.Contains(waiting) && WaitForSingleObject(process, 10) == WAIT_TIMEOUT) {
            }
            ++waitingRuns;
        };
        std::string secondLog;
        std::thread other([&] { secondLog = tool.Run(second, L"", countWhenWaiting).output; });
        const std::string firstLog = tool.Run(first, L"", countWhenWaiting).output;
        other.join();
        holder.join();
        return std::pair(firstLog, secondLog);
    };
    const auto [one, two] = together(L"--install", L"--install");
    EXPECT_EQ(one, versionLines + waiting + reinstall);
    EXPECT_EQ(two, versionLines + waiting + reinstall);
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(DllsIn(versionFolder), (std::vector<std::wstring>{x64Name, x86Name}));
    EXPECT_TRUE(DllsIn(base).empty());

    // Install against uninstall: whole either way.
    const auto [installLog, uninstallLog] = together(L"--install", L"-u");
    const std::string uninstalled =
        versionLines + waiting + UninstallOfBoth(versionFolder) + prompt;
    EXPECT_EQ(uninstallLog, uninstalled);
    if (installLog == versionLines + waiting + reinstall) {
        ExpectNothingRegistered(); // the install went first
    } else {
        EXPECT_EQ(installLog, versionLines + waiting + UninstallOfNothing() + install);
        ExpectInstalledIn(versionFolder);
    }
}

TEST_F(Operations, HeldRunLockMakesARunWaitAndAnAbandonedOneDoesNot) {
    const std::string install = InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt;
    Vexo::Platform::UniqueHandle lock(CreateMutexW(nullptr, FALSE, runLockName));
    ASSERT_EQ(WaitForSingleObject(lock.get(), 0), WAIT_OBJECT_0);
    std::string waited;
    std::thread run([&] { waited = tool.Run(L"--install").output; });
    Sleep(3000);
    EXPECT_FALSE(testsupport::PathExists(versionFolder));
    EXPECT_EQ(Run(L"--status"), StatusOf("Not installed", "Not installed")); // takes no lock
    ReleaseMutex(lock.get());
    run.join();
    EXPECT_EQ(waited, versionLines + waiting + UninstallOfNothing() + install);

    // Its owner ends without releasing it, as a run that dies would.
    std::thread([&lock] { WaitForSingleObject(lock.get(), 0); }).join();
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfBoth(versionFolder) + install);
    ExpectInstalledIn(versionFolder);
}

TEST_F(Operations, ThirtyTwoBitRegistrationOfSystem32NamesTheFileInSysWow64) {
    // A hand-made 32-bit registration of System32, as a 32-bit program loads
    // it from SysWOW64; beside it in the real System32 a file of someone
    // else's under that name.
    const std::wstring registered = L"C:\\windows\\system32\\" + x86Name;
    const std::wstring wow64 = L"C:\\windows\\syswow64\\" + x86Name;
    testsupport::WriteFileBytes(registered, "not the SDK's");
    fs::copy_file(testsupport::BuildPath("RIMKIT_STANDIN_X86"), wow64,
                  fs::copy_options::overwrite_existing);
    testsupport::SetDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey,
                                  registered);
    const ToolSandbox failing(L"C:\\Ops\\New", "RIMKIT_MANAGER_FAILING_X64_EXE");
    const std::wstring folder = L"C:\\Ops\\New\\9_1_1";
    const std::wstring x64 = Join(folder, x64Name);
    const std::wstring x86 = Join(folder, x86Name);

    EXPECT_EQ(failing.Run(L"--install").output,
              versionLines + uninstallStart + Info("Found: Rimkit  64bit DLL not installed.") +
                  Infos("Unregistered: ", {wow64}) +
                  Warning("Not deleted, in the Windows folder: " + Narrow(wow64)) + uninstallEnd +
                  installStart + NewVersionFolder(L"C:\\Ops\\New\\", L"C:\\Ops\\New\\") +
                  Written(x64, "RIMKIT_FAILING_X64") + Written(x86, "RIMKIT_PAYLOAD_X86") +
                  CannotRegister(x64) + Infos("Registered: ", {x86}) + installEnd + rollingBack +
                  Infos("Unregistered: ", {x86}) + Infos("Deleted: ", {x64, x86}) +
                  Infos("Registered: ", {wow64}) + rolledBack + prompt);
    EXPECT_EQ(ReadFileBytes(registered), "not the SDK's");
    EXPECT_EQ(ReadFileBytes(wow64), PayloadBytes("RIMKIT_STANDIN_X86"));
    const auto now = ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey);
    ASSERT_TRUE(now);
    EXPECT_TRUE(
        Vexo::Platform::SameFileOnDisc(Vexo::Platform::FileSeenBy32BitPrograms(*now), wow64))
        << Narrow(*now);
    // A path only beginning like System32 is no path in it.
    EXPECT_EQ(Vexo::Platform::FileSeenBy32BitPrograms(L"C:\\windows\\system32x\\" + x86Name),
              L"C:\\windows\\system32x\\" + x86Name);
    EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey));
    // The system's file is remembered to be registered again, never saved
    // to be written back.
    const auto previous = RememberInstallation();
    ASSERT_TRUE(previous.hasValue());
    ASSERT_EQ(previous.value().files.size(), 1u);
    EXPECT_FALSE(previous.value().files[0].bytes);
    EXPECT_FALSE(previous.value().files[0].digest);
    fs::remove(registered);
    fs::remove(wow64);
}

TEST_F(Operations, DllAndItsFolderStayHeldUntilTheirRegsvr32HasEnded) {
    // While a slow registration of the 64-bit DLL runs, another process tries
    // to move the DLL and its folder away (to put others in their place).
    const ToolSandbox slow(L"C:\\Ops\\Slow", "RIMKIT_MANAGER_HANGING_X64_EXE");
    const std::wstring folder = L"C:\\Ops\\Slow\\9_1_1";
    const std::wstring x64 = Join(folder, x64Name);
    const std::wstring x86 = Join(folder, x86Name);
    std::atomic<bool> ended{false};
    int attempts = 0;
    int moved = 0;
    std::thread mover([&] {
        // Once the second DLL is there, the first is held; until its
        // registration is written, its regsvr32 runs.
        while (!ended && !testsupport::PathExists(x86)) {
            Sleep(10);
        }
        while (!ended &&
               !ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey)) {
            for (const auto& path : {x64, folder}) {
                ++attempts;
                if (MoveFileW(path.c_str(), (path + L".moved").c_str())) {
                    ++moved;
                    MoveFileW((path + L".moved").c_str(), path.c_str());
                }
            }
            Sleep(50);
        }
    });
    const std::string log = slow.Run(L"--install").output;
    ended = true;
    mover.join();

    EXPECT_EQ(moved, 0);
    EXPECT_GT(attempts, 20);
    EXPECT_EQ(log, versionLines + UninstallOfNothing() + installStart +
                       NewVersionFolder(L"C:\\Ops\\Slow\\", L"C:\\Ops\\Slow\\") +
                       Written(x64, "RIMKIT_HANGING_X64") + Written(x86, "RIMKIT_PAYLOAD_X86") +
                       Infos("Registered: ", {x64, x86}) + installEnd + prompt);
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), x64);
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey), x86);
}

// A run that cannot have the lock changes nothing: one that gives up waiting
// asks to be run again (the tool's variant for this test waits two seconds);
// one that the system refuses the lock fails.
TEST_F(Operations, RunWithoutTheLockChangesNothing) {
    Run(L"--install");
    const ToolSandbox shortWait(L"C:\\Ops\\Short wait", "RIMKIT_MANAGER_SHORT_LOCK_WAIT_EXE");
    Vexo::Platform::UniqueHandle lock(CreateMutexW(nullptr, FALSE, runLockName));
    ASSERT_EQ(WaitForSingleObject(lock.get(), 0), WAIT_OBJECT_0);
    // A program that made the name first, for itself only.
    const auto denying = Vexo::Platform::SecurityDescriptor::FromText(L"D:P");
    SECURITY_ATTRIBUTES attributes = denying.value().Attributes();
    const struct {
        const wchar_t* arguments;
        std::uint32_t exitCode;
        std::string lines;
    } cases[] = {
        {L"--install", tryAgainLater,
         waiting + Error("Another run of rimkit_manager is still busy; nothing was changed.")},
        {L"--uninstall", tryAgainLater,
         waiting + Error("Another run of rimkit_manager is still busy; nothing was changed.")},
        {L"--install", installFailed,
         Error("The run lock Global\\Vexo.Rimkit.rimkit_manager.OneRunAtATime cannot be used "
               "(Windows error 5); nothing was changed.")},
    };
    for (const auto& test : cases) {
        if (test.exitCode == installFailed) {
            ReleaseMutex(lock.get());
            lock.reset(); // the name goes with its last handle
            lock.reset(CreateMutexW(&attributes, FALSE, runLockName));
        }
        const RunResult run = shortWait.Run(test.arguments);
        EXPECT_EQ(run.exitCode, test.exitCode);
        EXPECT_EQ(run.output, versionLines + test.lines + prompt);
        ExpectInstalledIn(versionFolder);
        EXPECT_EQ(DllsIn(versionFolder), (std::vector<std::wstring>{x64Name, x86Name}));
        EXPECT_FALSE(testsupport::PathExists(shortWait.folder() + L"\\9_1_1"));
    }
}
