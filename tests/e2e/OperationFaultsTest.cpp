// Install and uninstall when something is in the way: a DLL held open, a
// registration that fails, a registered file that is gone, registrations in
// two folders, no folder to install into, a missing payload, programs and
// DLLs planted where the tool might look for its own.
#include "e2e/OperationsFixture.h"

#include "core/OnExit.h"
#include "platform/UniqueHandle.h"

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

std::string FolderLinesDefaultingToBase(const std::wstring& base) {
    const std::string version = Narrow(Join(base, L"9_1_1"));
    return Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
           Info("Install path: " + version) +
           Warning("Error creating install directory or directory busy: " + version) +
           Info("Defaulting to install path: " + Narrow(base));
}

} // namespace

TEST_F(Operations, DllHeldOpenIsNotOverwrittenButTheCopyThereIsRegistered) {
    // A busy version folder sends the install to the base folder, where an
    // earlier copy of the 64-bit DLL is held open.
    fs::create_directories(versionFolder);
    testsupport::WriteFileBytes(versionFolder + L"\\notes.txt", "mine");
    const std::wstring heldPath = Join(base, x64Name);
    fs::copy_file(testsupport::BuildPath("RIMKIT_PAYLOAD_X64"), heldPath);
    const auto held = HoldOpen(heldPath);
    ASSERT_TRUE(held.valid());

    const std::string x86 = Narrow(Join(base, x86Name));
    EXPECT_EQ(Run(L"--install"),
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + FolderLinesDefaultingToBase(base) +
                  Warning("Could not write: " + Narrow(heldPath) + " unable to extract file.") +
                  Info("Adding " + Narrow(heldPath) +
                       " to the register list so that something will be registered.") +
                  Info("Written: " + x86 +
                       " bytes: " + std::to_string(PayloadBytes("RIMKIT_PAYLOAD_X86").size())) +
                  Info("Registered: " + Narrow(heldPath)) + Info("Registered: " + x86) +
                  Info("Uninitialize COM") + Info("Exiting install") + prompt);
    ExpectInstalledIn(base);
}

TEST_F(Operations, DllWhoseRegistrationFailsIsDeletedAtTheEnd) {
    const ToolSandbox failing(L"C:\\Ops\\Failing", "RIMKIT_MANAGER_FAILING_X64_EXE");
    const std::wstring failingBase = L"C:\\Ops\\Failing\\";
    const std::wstring folder = Join(failingBase, L"9_1_1");
    const std::string x64 = Narrow(Join(folder, x64Name));
    const std::string x86 = Narrow(Join(folder, x86Name));

    const RunResult run = failing.Run(L"--install");

    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output,
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + NewVersionFolder(failingBase, failingBase) +
                  Info("Written: " + x64 +
                       " bytes: " + std::to_string(PayloadBytes("RIMKIT_FAILING_X64").size())) +
                  Info("Written: " + x86 +
                       " bytes: " + std::to_string(PayloadBytes("RIMKIT_PAYLOAD_X86").size())) +
                  Error("Unable to register: " + x64 + " with args: /s") +
                  Info("Registered: " + x86) + Info("Uninitialize COM") + Info("Deleted: " + x64) +
                  Info("Exiting install") + prompt);
    EXPECT_FALSE(testsupport::PathExists(Join(folder, x64Name)));
    EXPECT_EQ(ReadFileBytes(Join(folder, x86Name)), PayloadBytes("RIMKIT_PAYLOAD_X86"));
    EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey));
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey),
              Join(folder, x86Name));
}

TEST_F(Operations, RegisteredFileThatIsGoneCannotBeUnregistered) {
    Run(L"--install");
    const std::wstring x64 = Join(versionFolder, x64Name);
    const std::wstring x86 = Join(versionFolder, x86Name);
    ASSERT_TRUE(fs::remove(x64));

    EXPECT_EQ(Run(L"--uninstall"),
              versionLines + Info("Starting uninstall") + Info("Initialize COM") +
                  Info("Unregistered: " + Narrow(x86)) +
                  Error("Unable to unregister: " + Narrow(x64) + " with args: /s /u") +
                  Info("Deleted: " + Narrow(x86)) + Info("Uninitialize COM") +
                  Info("Exiting uninstall") + prompt);
    EXPECT_FALSE(testsupport::PathExists(versionFolder)); // left empty, so removed
    EXPECT_FALSE(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey));
    // regsvr32 could not load the missing DLL, so its registration stays.
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), x64);
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

    EXPECT_EQ(Run(L"--install --path " + blocker),
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + FolderLinesDefaultingToBase(blocker) +
                  Info("Uninitialize COM") + Info("Exiting install") +
                  Error("Failed to create folder: " + Narrow(blocker)) + prompt);
    ExpectNothingRegistered();
    EXPECT_EQ(ReadFileBytes(blocker), "a file where the folder should be");
}

TEST_F(Operations, ToolWithoutThe32BitPayloadStillInstallsThe64BitDll) {
    const ToolSandbox x64Only(L"C:\\Ops\\No x86", "RIMKIT_MANAGER_X64_ONLY_EXE");
    const std::wstring x64OnlyBase = L"C:\\Ops\\No x86\\";
    const std::wstring x64 = Join(Join(x64OnlyBase, L"9_1_1"), x64Name);

    const RunResult run = x64Only.Run(L"--install");

    // The resource error has no line end of its own.
    EXPECT_EQ(run.output,
              versionLines + UninstallOfNothing() + Info("Starting install") +
                  Info("Initialize COM") + NewVersionFolder(x64OnlyBase, x64OnlyBase) +
                  Info("Written: " + Narrow(x64) +
                       " bytes: " + std::to_string(PayloadBytes("RIMKIT_PAYLOAD_X64").size())) +
                  "Error: Unable to find resource: vexo_steering_wheel_x86.dll of type dll" +
                  Info("Registered: " + Narrow(x64)) + Info("Uninitialize COM") +
                  Info("Exiting install") + prompt);
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey), x64);
    EXPECT_FALSE(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey));
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
