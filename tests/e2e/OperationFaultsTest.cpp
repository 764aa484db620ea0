// Install and uninstall when something is in the way: a DLL held open or in
// use, a registration that fails, a registered file that is gone or foreign,
// registrations in two folders, no folder to install into, a missing payload,
// another run at the same time, programs and DLLs planted where the tool
// might look for its own.
#include "e2e/OperationsFixture.h"

#include "app/RunLock.h"
#include "core/OnExit.h"
#include "platform/FullPath.h"
#include "platform/UniqueHandle.h"
#include "platform/Wow64Path.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using namespace operations;

namespace {

// Copies a stand-in DLL to `path` and registers it with the prefix's regsvr32.
void RegisterCopy(const char* variable, const std::wstring& path) {
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(testsupport::BuildPath(variable), path, fs::copy_options::overwrite_existing);
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

std::string Written(const std::string& path, const char* payload) {
    return Info("Written: " + path + " bytes: " + std::to_string(PayloadBytes(payload).size()));
}

std::string FolderLinesDefaultingToBase(const std::wstring& base) {
    const std::string version = Narrow(Join(base, L"9_1_1"));
    return Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
           Info("Install path: " + version) +
           Warning("Error creating install directory or directory busy: " + version) +
           Info("Defaulting to install path: " + Narrow(base));
}

} // namespace

TEST_F(Operations, DllHeldOpenIsRegisteredOnlyWhenItIsThisVersionsOwn) {
    // A busy version folder sends the install to the base folder, where a
    // file under the 64-bit DLL's name is held open: an earlier copy of the
    // SDK's, or a DLL of someone else's that leaves a mark when loaded.
    fs::create_directories(versionFolder);
    testsupport::WriteFileBytes(versionFolder + L"\\notes.txt", "mine");
    const std::wstring heldPath = Join(base, x64Name);
    const std::string held = Narrow(heldPath);
    const std::string x86 = Narrow(Join(base, x86Name));
    const std::string start = versionLines + UninstallOfNothing() + Info("Starting install") +
                              Info("Initialize COM") + FolderLinesDefaultingToBase(base) +
                              Warning("Could not write: " + held + " unable to extract file.");
    const struct {
        const char* file;
        std::uint32_t exitCode;
        std::string log;
    } cases[] = {
        {"RIMKIT_PAYLOAD_X64", succeeded,
         start +
             Info("Adding " + held +
                  " to the register list so that something will be registered.") +
             Written(x86, "RIMKIT_PAYLOAD_X86") + Info("Registered: " + held) +
             Info("Registered: " + x86) + Info("Uninitialize COM") + Info("Exiting install") +
             prompt},
        {"RIMKIT_PLANTED_LIBRARY", installFailed,
         start + Error("Not registered, not this version's DLL: " + held) +
             Written(x86, "RIMKIT_PAYLOAD_X86") + Info("Registered: " + x86) +
             Info("Uninitialize COM") + Info("Exiting install") +
             Error("Install failed; rolling back.") + Info("Unregistered: " + x86) +
             Info("Deleted: " + x86) +
             Info("Rollback complete: the machine is as it was before this install.") + prompt},
    };
    for (const auto& test : cases) {
        RemoveRegistrations();
        fs::remove(heldPath);
        fs::copy_file(testsupport::BuildPath(test.file), heldPath);
        {
            const auto holder = HoldOpen(heldPath);
            ASSERT_TRUE(holder.valid());
            EXPECT_EQ(Run(L"--install", L"", test.exitCode), test.log);
        }
        EXPECT_EQ(ReadFileBytes(heldPath), PayloadBytes(test.file));
        EXPECT_FALSE(testsupport::PathExists(heldPath + L".ran")) << "the planted DLL was loaded";
    }
    ExpectNothingRegistered();
    EXPECT_EQ(DllsIn(base), std::vector<std::wstring>{x64Name});
}

TEST_F(Operations, InstallThatDoesNotCompleteLeavesTheMachineAsItWas) {
    const std::wstring old = L"C:\\Ops\\Old\\9_1_1";
    const std::wstring newBase = L"C:\\Ops\\New\\";
    const std::wstring folder = Join(newBase, L"9_1_1");
    const std::string x64 = Narrow(Join(folder, x64Name));
    const std::string x86 = Narrow(Join(folder, x86Name));
    const std::string installStart =
        Info("Starting install") + Info("Initialize COM") + NewVersionFolder(newBase, newBase);
    const std::string installEnd =
        Info("Uninitialize COM") + Info("Exiting install") + Error("Install failed; rolling back.");
    const std::string complete =
        Info("Rollback complete: the machine is as it was before this install.");
    const auto restore = [&](const std::wstring& from) {
        return Info("Restored: " + Narrow(Join(from, x86Name))) +
               Info("Restored: " + Narrow(Join(from, x64Name))) +
               Info("Registered: " + Narrow(Join(from, x86Name))) +
               Info("Registered: " + Narrow(Join(from, x64Name))) + complete;
    };
    const std::wstring deep = L"C:\\Ops\\New\\Deep\\Er";
    const std::wstring shared = L"C:\\Ops\\Shared\\9_1_1";
    const std::string sharedX64 = Narrow(Join(shared, x64Name));
    const std::string sharedX86 = Narrow(Join(shared, x86Name));
    const std::string newX86Failing =
        Written(x64, "RIMKIT_PAYLOAD_X64") + Written(x86, "RIMKIT_FAILING_X86") +
        Info("Registered: " + x64) + Error("Unable to register: " + x86 + " with args: /s");
    const auto half = [&](const char* payload) {
        return UninstallOfNothing() + installStart + Written(x64, payload) +
               Written(x86, "RIMKIT_PAYLOAD_X86") +
               Error("Unable to register: " + x64 + " with args: /s") + Info("Registered: " + x86) +
               installEnd + Info("Unregistered: " + x86);
    };
    const auto cleanMachineWhose64BitDllFails = [&](const char* payload64) {
        return UninstallOfNothing() + installStart + Written(x64, payload64) +
               Written(x86, "RIMKIT_PAYLOAD_X86") +
               Error("Unable to register: " + x64 + " with args: /s") + Info("Registered: " + x86) +
               installEnd + Info("Unregistered: " + x86) + Info("Deleted: " + x64) +
               Info("Deleted: " + x86) + complete;
    };
    const struct {
        const char* exe;
        std::wstring installedFrom; // an installation there first, in Old or Shared
        std::wstring arguments;
        std::string log;
        std::wstring gone;             // nothing of it is left
        std::wstring named64 = L"";    // what the 64-bit view names at the end, when not as before
        bool planted64BitTool = false; // System32's regsvr32 ends with 0 and registers nothing
    } cases[] = {
        // A clean machine whose new 64-bit DLL fails to register.
        {"RIMKIT_MANAGER_FAILING_X64_EXE", L"", L"--install",
         cleanMachineWhose64BitDllFails("RIMKIT_FAILING_X64"), folder},
        // The same when System32's regsvr32 ends with 0 but registers nothing.
        {"RIMKIT_MANAGER_EXE", L"", L"--install",
         cleanMachineWhose64BitDllFails("RIMKIT_PAYLOAD_X64"), folder, L"", true},
        // A tool without the 32-bit DLL installs half an SDK: not at all.
        {"RIMKIT_MANAGER_X64_ONLY_EXE", L"", L"--install",
         UninstallOfNothing() + installStart + Written(x64, "RIMKIT_PAYLOAD_X64") +
             "Error: Unable to find resource: vexo_steering_wheel_x86.dll of type dll" +
             Info("Registered: " + x64) + installEnd + Info("Unregistered: " + x64) +
             Info("Deleted: " + x64) + complete,
         folder},
        // An upgrade whose new 32-bit DLL fails to register.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"C:\\Ops\\Old", L"--install",
         UninstallOfBoth(old) + installStart + newX86Failing + installEnd +
             Info("Unregistered: " + x64) + Info("Deleted: " + x64) + Info("Deleted: " + x86) +
             restore(old),
         folder},
        // Every folder it made goes, however deep.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"", L"--install --path " + deep,
         UninstallOfNothing() + Info("Starting install") + Info("Initialize COM") +
             NewVersionFolder(deep, deep) +
             Written(Narrow(Join(deep, L"9_1_1\\" + x64Name)), "RIMKIT_PAYLOAD_X64") +
             Written(Narrow(Join(deep, L"9_1_1\\" + x86Name)), "RIMKIT_FAILING_X86") +
             Info("Registered: " + Narrow(Join(deep, L"9_1_1\\" + x64Name))) +
             Error("Unable to register: " + Narrow(Join(deep, L"9_1_1\\" + x86Name)) +
                   " with args: /s") +
             installEnd + Info("Unregistered: " + Narrow(Join(deep, L"9_1_1\\" + x64Name))) +
             Info("Deleted: " + Narrow(Join(deep, L"9_1_1\\" + x64Name))) +
             Info("Deleted: " + Narrow(Join(deep, L"9_1_1\\" + x86Name))) + complete,
         L"C:\\Ops\\New\\Deep"},
        // The previous files, written over with the new bytes, are written back.
        {"RIMKIT_MANAGER_FAILING_X86_EXE", L"C:\\Ops\\Shared", L"--install --path C:\\Ops\\Shared",
         UninstallOfBoth(shared) + Info("Starting install") + Info("Initialize COM") +
             NewVersionFolder(L"C:\\Ops\\Shared", L"C:\\Ops\\Shared") +
             Written(sharedX64, "RIMKIT_PAYLOAD_X64") + Written(sharedX86, "RIMKIT_FAILING_X86") +
             Info("Registered: " + sharedX64) +
             Error("Unable to register: " + sharedX86 + " with args: /s") + installEnd +
             Info("Unregistered: " + sharedX64) + Info("Deleted: " + sharedX64) +
             Info("Deleted: " + sharedX86) + restore(shared),
         L""},
        // A new DLL that writes its registration and then fails is unregistered.
        {"RIMKIT_MANAGER_HALF_X64_EXE", L"", L"--install",
         half("RIMKIT_HALF_X64") + Info("Unregistered: " + x64) + Info("Deleted: " + x64) +
             Info("Deleted: " + x86) + complete,
         folder},
        // One that cannot be unregistered either: the rollback says so.
        {"RIMKIT_MANAGER_STICKY_X64_EXE", L"", L"--install",
         half("RIMKIT_STICKY_X64") + Error("Unable to unregister: " + x64 + " with args: /s /u") +
             Warning("Not deleted, still registered: " + x64) + Info("Deleted: " + x86) +
             Error("Rollback incomplete: " + x64) + Error("Rollback incomplete: " + Narrow(folder)),
         L"", Join(folder, x64Name)},
    };
    for (const auto& test : cases) {
        RemoveRegistrations();
        for (const auto* tree : {L"C:\\Ops\\Old", L"C:\\Ops\\New", L"C:\\Ops\\Shared"}) {
            testsupport::RemoveTree(tree);
        }
        testsupport::RemoveTree(RecoveryFolder());
        if (!test.installedFrom.empty()) {
            const ToolSandbox oldTool(L"C:\\Ops\\Old");
            oldTool.Run(L"--install --path " + test.installedFrom);
        }
        const ToolSandbox newTool(L"C:\\Ops\\New", test.exe);
        const auto plant = test.planted64BitTool ? testsupport::PlantRegsvr32InSystem32() : nullptr;

        const RunResult run = newTool.Run(test.arguments);

        EXPECT_EQ(run.exitCode, installFailed);
        EXPECT_EQ(run.output, versionLines + test.log + prompt) << test.exe;
        if (!test.gone.empty()) {
            EXPECT_FALSE(testsupport::PathExists(test.gone)) << test.exe;
        }
        if (!test.named64.empty()) {
            // Its way back stays until an install completes.
            EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey),
                      test.named64);
            EXPECT_EQ(Run(L"--status"),
                      StatusOf("Not installed", "Installed at: " + x64, interruptedWarning));
            testsupport::RemoveTree(RecoveryFolder());
            continue;
        }
        if (test.installedFrom.empty()) {
            ExpectNothingRegistered();
            continue;
        }
        const std::wstring from = Join(test.installedFrom, L"9_1_1");
        ExpectInstalledIn(from);
        testsupport::RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
        ExpectInstalledIn(from);
    }
}

// An uninstall fails while a registration it could not remove names a file
// that is there, and not for one whose file is gone.
TEST_F(Operations, RegisteredFileThatCannotBeUnregisteredFailsTheUninstallWhileItIsThere) {
    const std::wstring x64 = Join(versionFolder, x64Name);
    const std::wstring x86 = Join(versionFolder, x86Name);
    const std::string cannot64 =
        Error("Unable to unregister: " + Narrow(x64) + " with args: /s /u");
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
         Info("Unregistered: " + Narrow(x86)) + cannot64 + Info("Deleted: " + Narrow(x86))},
        {HideRegsvr32, installFailed,
         Error("Unable to unregister: " + Narrow(x86) + " with args: /s /u") + cannot64},
    };
    for (const auto& test : cases) {
        Run(L"--install");
        const auto disturbance = test.disturb();
        EXPECT_EQ(Run(L"--uninstall", L"", test.exitCode),
                  versionLines + Info("Starting uninstall") + Info("Initialize COM") + test.lines +
                      Info("Uninitialize COM") + Info("Exiting uninstall") + prompt);
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
              versionLines + Info("Starting uninstall") + Info("Initialize COM") +
                  Info("Unregistered: " + Narrow(x86)) + Info("Unregistered: " + Narrow(x64)) +
                  Info("Deleted: " + Narrow(x86)) + Info("Deleted: " + Narrow(x64)) +
                  Error("RemoveParentFolder(): Not removing the parent folder because not all "
                        "files have the same parent. C:\\Ops\\Data\\One != C:\\Ops\\Data\\Two") +
                  Info("Uninitialize COM") + Info("Exiting uninstall") + prompt);
    ExpectNothingRegistered();
    EXPECT_TRUE(testsupport::PathExists(L"C:\\Ops\\Data\\One"));
    EXPECT_TRUE(testsupport::PathExists(L"C:\\Ops\\Data\\Two"));
}

TEST_F(Operations, InstallFolderThatCannotBeCreatedIsAnErrorAndTheRunEndsNormally) {
    const std::wstring blocker = L"C:\\Ops\\Data\\Blocker";
    fs::create_directories(L"C:\\Ops\\Data");
    testsupport::WriteFileBytes(blocker, "a file where the folder should be");

    EXPECT_EQ(
        Run(L"--install --path " + blocker, L"", installFailed),
        versionLines + UninstallOfNothing() + Info("Starting install") + Info("Initialize COM") +
            FolderLinesDefaultingToBase(blocker) + Info("Uninitialize COM") +
            Info("Exiting install") + Error("Failed to create folder: " + Narrow(blocker)) +
            Error("Install failed; rolling back.") +
            Info("Rollback complete: the machine is as it was before this install.") + prompt);
    ExpectNothingRegistered();
    EXPECT_EQ(ReadFileBytes(blocker), "a file where the folder should be");
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
    const std::string x64 = Narrow(Join(runtimeBase, L"9_1_1\\" + x64Name));
    const std::string x86 = Narrow(Join(runtimeBase, L"9_1_1\\" + x86Name));

    EXPECT_EQ(needsRuntime.Run(L"--install", work).output,
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + NewVersionFolder(runtimeBase, runtimeBase) +
                  Written(x64, "RIMKIT_NEEDS_RUNTIME_X64") + Written(x86, "RIMKIT_PAYLOAD_X86") +
                  Error("Unable to register: " + x64 + " with args: /s") +
                  Info("Registered: " + x86) + Info("Uninitialize COM") + Info("Exiting install") +
                  Error("Install failed; rolling back.") + Info("Unregistered: " + x86) +
                  Info("Deleted: " + x64) + Info("Deleted: " + x86) +
                  Info("Rollback complete: the machine is as it was before this install.") +
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
    const auto reinstall = [](const std::wstring& registered, const std::wstring& typed,
                              const std::string& unregister, const std::string& registration,
                              const std::string& rollback) {
        return versionLines + Info("Starting uninstall") + Info("Initialize COM") +
               Error("Unable to unregister: " + Narrow(Join(registered, x86Name)) +
                     " with args: /s /u") +
               unregister + Info("Uninitialize COM") + Info("Exiting uninstall") +
               Info("Starting install") + Info("Initialize COM") +
               FolderLinesDefaultingToBase(typed) +
               Written(Narrow(Join(typed, x64Name)), "RIMKIT_PAYLOAD_X64") + registration +
               Info("Uninitialize COM") + Info("Exiting install") +
               Error("Install failed; rolling back.") + rollback +
               Info("Rollback complete: the machine is as it was before this install.") + prompt;
    };
    const auto withoutRegsvr32 = [&](const std::wstring& registered, const std::wstring& typed) {
        const std::string x64 = Narrow(Join(typed, x64Name));
        const std::string x86 = Narrow(Join(typed, x86Name));
        return reinstall(registered, typed,
                         Error("Unable to unregister: " + Narrow(Join(registered, x64Name)) +
                               " with args: /s /u"),
                         Written(x86, "RIMKIT_PAYLOAD_X86") +
                             Error("Unable to register: " + x64 + " with args: /s") +
                             Error("Unable to register: " + x86 + " with args: /s"),
                         Warning("Not deleted, still registered: " + x64) +
                             Warning("Not deleted, still registered: " + x86));
    };
    const std::string x64 = Narrow(Join(base, x64Name));
    const std::string x86 = Narrow(Join(base, x86Name));
    const struct {
        std::function<std::shared_ptr<void>()> disturb;
        std::wstring arguments, folder;
        std::string log;
    } cases[] = {
        {HideRegsvr32, L"--install", base, withoutRegsvr32(base, base)},
        {HideRegsvr32, L"--install --path C:", work, withoutRegsvr32(work, L"C:")},
        {[this] { return HoldForWriting(Join(base, x86Name)); }, L"--install", base,
         reinstall(
             base, base,
             Info("Unregistered: " + x64) + Info("Deleted: " + x64) +
                 Error("RemoveParentFolder(): Unable to remove folder C:\\Ops\\Rimkit Manager"),
             Warning("Could not write: " + x86 + " unable to extract file.") +
                 Info("Adding " + x86 +
                      " to the register list so that something will be registered.") +
                 Info("Registered: " + x64) +
                 Error("Unable to register: " + x86 + " with args: /s"),
             Info("Unregistered: " + x64) + Info("Deleted: " + x64) + Info("Restored: " + x64) +
                 Info("Registered: " + x64))},
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

using LoadedDll = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

TEST_F(Operations, DllInUseNeverMovesTheInstallOutOfTheVersionFolder) {
    Run(L"--install");
    const std::wstring busy = Join(versionFolder, x64Name);
    LoadedDll user(LoadLibraryW(busy.c_str()), FreeLibrary);
    ASSERT_TRUE(user);
    const std::string x86 = Narrow(Join(versionFolder, x86Name));
    const std::string uninstallOfBusy =
        Info("Starting uninstall") + Info("Initialize COM") + Info("Unregistered: " + x86) +
        Info("Unregistered: " + Narrow(busy)) + Info("Deleted: " + x86) +
        Error("Delete: Failed: " + Narrow(busy)) +
        Error("RemoveParentFolder(): Unable to remove folder " + Narrow(versionFolder)) +
        Info("Uninitialize COM") + Info("Exiting uninstall");
    const std::string reused =
        Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
        Info("Install path: " + Narrow(versionFolder)) +
        Info("Directory already created but empty...reusing: " + Narrow(versionFolder));

    // The copy in use is this version's: it is registered again where it is.
    for (int reinstall = 0; reinstall < 2; ++reinstall) {
        EXPECT_EQ(Run(L"--install"),
                  versionLines + uninstallOfBusy + Info("Starting install") +
                      Info("Initialize COM") + reused +
                      Warning("Could not write: " + Narrow(busy) + " unable to extract file.") +
                      Info("Adding " + Narrow(busy) +
                           " to the register list so that something will be registered.") +
                      Written(x86, "RIMKIT_PAYLOAD_X86") + Info("Registered: " + Narrow(busy)) +
                      Info("Registered: " + x86) + Info("Uninitialize COM") +
                      Info("Exiting install") + prompt);
        ExpectInstalledIn(versionFolder);
    }

    // Uninstalled, it goes at the next restart, renamed aside; an install
    // before then still goes into the version folder.
    EXPECT_EQ(Run(L"--uninstall"),
              versionLines + uninstallOfBusy + Scheduled(busy) + Scheduled(versionFolder) + prompt);
    EXPECT_EQ(Run(L"--install"),
              versionLines + UninstallOfNothing() + InstallOfBoth(reused, versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);

    user.reset();
    testsupport::RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(std::distance(fs::directory_iterator(versionFolder), fs::directory_iterator()), 2);
    EXPECT_TRUE(DllsIn(base).empty());

    // Every DLL of the folder in use: the folder goes at the restart too, after them.
    const std::wstring x64Busy = Join(versionFolder, x64Name);
    const std::wstring x86Busy = Join(versionFolder, x86Name);
    LoadedDll lastUser(LoadLibraryW(x64Busy.c_str()), FreeLibrary);
    auto reader = HoldOpen(x86Busy);
    EXPECT_EQ(Run(L"-u"),
              versionLines + Info("Starting uninstall") + Info("Initialize COM") +
                  Info("Unregistered: " + Narrow(x86Busy)) +
                  Info("Unregistered: " + Narrow(x64Busy)) +
                  Error("Delete: Failed: " + Narrow(x86Busy)) +
                  Error("Delete: Failed: " + Narrow(x64Busy)) +
                  Error("RemoveParentFolder(): Unable to remove folder " + Narrow(versionFolder)) +
                  Info("Uninitialize COM") + Info("Exiting uninstall") + Scheduled(x86Busy) +
                  Scheduled(x64Busy) + Scheduled(versionFolder) + prompt);
    lastUser.reset();
    reader = {};
    testsupport::RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
    EXPECT_FALSE(testsupport::PathExists(versionFolder));
    ExpectNothingRegistered();
}

TEST_F(Operations, RestartNeverTakesAFileThatALaterInstallRegistered) {
    fs::create_directories(versionFolder + L"\\busy"); // installs go to the base folder
    Run(L"--install");
    const std::wstring busy = Join(base, x64Name);
    LoadedDll user(LoadLibraryW(busy.c_str()), FreeLibrary);
    ASSERT_TRUE(user);
    EXPECT_NE(Run(L"--install --path C:\\Ops\\Data\\Other").find(Scheduled(busy)),
              std::string::npos);
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfBoth(L"C:\\Ops\\Data\\Other\\9_1_1") +
                                     InstallOfBoth(FolderLinesDefaultingToBase(base), base) +
                                     prompt);
    user.reset();
    testsupport::RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
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
        {relative, L"",
         none64 + Error("Unable to unregister: " + Narrow(relative) + " with args: /s /u"),
         data + L"\\Work\\tools", succeeded},
        {sameOtherCase, same,
         Info("Unregistered: " + Narrow(sameOtherCase)) +
             Warning("Not deleted, still registered: " + Narrow(sameOtherCase)),
         same, installFailed},
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
                  versionLines + Info("Starting uninstall") + Info("Initialize COM") + test.lines +
                      Info("Uninitialize COM") + Info("Exiting uninstall") + prompt);
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

// Starts two runs together, `trials` times; each time `check` gets their logs
// in start order.
void RunTogether(const ToolSandbox& tool, const std::wstring& first, const std::wstring& second,
                 int trials,
                 const std::function<void(const std::string&, const std::string&)>& check) {
    for (int trial = 0; trial < trials; ++trial) {
        std::string secondLog;
        std::thread other([&] { secondLog = tool.Run(second).output; });
        const std::string firstLog = tool.Run(first).output;
        other.join();
        check(firstLog, secondLog);
    }
}

TEST_F(Operations, RunsStartedTogetherRunOneAfterTheOther) {
    const std::string install = InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt;
    const std::string reinstall = UninstallOfBoth(versionFolder) + install;
    Run(L"--install");
    // The waiting line sorts after "Starting uninstall".
    RunTogether(tool, L"--install", L"--install", 5,
                [&](const std::string& one, const std::string& two) {
                    EXPECT_EQ(std::min(one, two), versionLines + reinstall);
                    EXPECT_EQ(std::max(one, two), versionLines + waiting + reinstall);
                    ExpectInstalledIn(versionFolder);
                    EXPECT_EQ(DllsIn(versionFolder), (std::vector<std::wstring>{x64Name, x86Name}));
                    EXPECT_TRUE(DllsIn(base).empty());
                });

    // Install against uninstall: whole either way.
    RunTogether(tool, L"--install", L"-u", 3,
                [&](const std::string& installLog, const std::string& uninstallLog) {
                    if (uninstallLog.find(waiting) != std::string::npos) {
                        EXPECT_EQ(installLog, versionLines + reinstall);
                        EXPECT_EQ(uninstallLog,
                                  versionLines + waiting + UninstallOfBoth(versionFolder) + prompt);
                        ExpectNothingRegistered();
                        EXPECT_FALSE(testsupport::PathExists(versionFolder));
                        Run(L"--install");
                    } else {
                        // A quick uninstall may be done before the install asks.
                        const bool waited = installLog.find(waiting) != std::string::npos;
                        EXPECT_EQ(uninstallLog,
                                  versionLines + UninstallOfBoth(versionFolder) + prompt);
                        EXPECT_EQ(installLog, versionLines + (waited ? waiting : "") +
                                                  UninstallOfNothing() + install);
                    }
                    ExpectInstalledIn(versionFolder);
                    EXPECT_TRUE(DllsIn(base).empty());
                });
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
    const std::string x64 = Narrow(Join(folder, x64Name));
    const std::string x86 = Narrow(Join(folder, x86Name));

    EXPECT_EQ(failing.Run(L"--install").output,
              versionLines + Info("Starting uninstall") + Info("Initialize COM") +
                  Info("Found: Rimkit  64bit DLL not installed.") +
                  Info("Unregistered: " + Narrow(wow64)) +
                  Warning("Not deleted, in the Windows folder: " + Narrow(wow64)) +
                  Info("Uninitialize COM") + Info("Exiting uninstall") + Info("Starting install") +
                  Info("Initialize COM") + NewVersionFolder(L"C:\\Ops\\New\\", L"C:\\Ops\\New\\") +
                  Written(x64, "RIMKIT_FAILING_X64") + Written(x86, "RIMKIT_PAYLOAD_X86") +
                  Error("Unable to register: " + x64 + " with args: /s") +
                  Info("Registered: " + x86) + Info("Uninitialize COM") + Info("Exiting install") +
                  Error("Install failed; rolling back.") + Info("Unregistered: " + x86) +
                  Info("Deleted: " + x64) + Info("Deleted: " + x86) +
                  Info("Registered: " + Narrow(wow64)) +
                  Info("Rollback complete: the machine is as it was before this install.") +
                  prompt);
    EXPECT_EQ(ReadFileBytes(registered), "not the SDK's");
    EXPECT_EQ(ReadFileBytes(wow64), PayloadBytes("RIMKIT_STANDIN_X86"));
    const auto now = ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey);
    ASSERT_TRUE(now);
    EXPECT_TRUE(
        Vexo::Platform::SameFileOnDisc(Vexo::Platform::FileSeenBy32BitPrograms(*now), wow64))
        << Narrow(*now);
    EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey));
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
    EXPECT_EQ(log, versionLines + UninstallOfNothing() + Info("Starting install") +
                       Info("Initialize COM") +
                       NewVersionFolder(L"C:\\Ops\\Slow\\", L"C:\\Ops\\Slow\\") +
                       Written(Narrow(x64), "RIMKIT_HANGING_X64") +
                       Written(Narrow(x86), "RIMKIT_PAYLOAD_X86") +
                       Info("Registered: " + Narrow(x64)) + Info("Registered: " + Narrow(x86)) +
                       Info("Uninitialize COM") + Info("Exiting install") + prompt);
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), x64);
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey), x86);
}

TEST_F(Operations, NothingIsWrittenIntoTheWindowsFolder) {
    const std::wstring typed = L"C:\\windows\\Rimkit";
    const std::string folder = Narrow(Join(typed, L"9_1_1"));
    EXPECT_EQ(Run(L"--install --path " + typed, L"", installFailed),
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + NewVersionFolder(typed, typed) +
                  Warning("Could not write: " + folder + "\\" + Narrow(x64Name) +
                          " unable to extract file.") +
                  Warning("Could not write: " + folder + "\\" + Narrow(x86Name) +
                          " unable to extract file.") +
                  Info("Uninitialize COM") + Info("Exiting install") +
                  Error("Install failed; rolling back.") +
                  Info("Rollback complete: the machine is as it was before this install.") +
                  prompt);
    EXPECT_FALSE(testsupport::PathExists(typed));
    ExpectNothingRegistered();
}

// A run that gives up waiting changes nothing and asks to be run again; the
// tool's variant for this test waits two seconds.
TEST_F(Operations, RunThatGivesUpWaitingChangesNothing) {
    Run(L"--install");
    const ToolSandbox shortWait(L"C:\\Ops\\Short wait", "RIMKIT_MANAGER_SHORT_LOCK_WAIT_EXE");
    Vexo::Platform::UniqueHandle lock(CreateMutexW(nullptr, FALSE, runLockName));
    ASSERT_EQ(WaitForSingleObject(lock.get(), 0), WAIT_OBJECT_0);
    for (const auto* arguments : {L"--install", L"--uninstall"}) {
        const RunResult run = shortWait.Run(arguments);
        EXPECT_EQ(run.exitCode, anotherRunBusy);
        EXPECT_EQ(run.output,
                  versionLines + waiting +
                      Error("Another run of rimkit_manager is still busy; nothing was changed.") +
                      prompt);
        ExpectInstalledIn(versionFolder);
        EXPECT_EQ(DllsIn(versionFolder), (std::vector<std::wstring>{x64Name, x86Name}));
        EXPECT_FALSE(testsupport::PathExists(shortWait.folder() + L"\\9_1_1"));
    }
    ReleaseMutex(lock.get());
}
