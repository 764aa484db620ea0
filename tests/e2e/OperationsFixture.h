#pragma once

// What the install and uninstall suites share: the expected log lines, the
// state checks of registry and disc, and a sandboxed copy of the tool.
#include "support/Environment.h"
#include "support/ExpectedOutput.h"
#include "support/ToolSandbox.h"

#include "core/Text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace operations {

namespace fs = std::filesystem;
using testsupport::ReadDefaultString;
using testsupport::ReadFileBytes;
using testsupport::RegistryView;
using testsupport::RunResult;
using testsupport::ToolSandbox;

inline const std::wstring x64Name = L"vexo_steering_wheel_x64.dll";
inline const std::wstring x86Name = L"vexo_steering_wheel_x86.dll";

inline std::string Narrow(const std::wstring& text) {
    return toNarrow(text);
}
inline std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return (fs::path(folder) / name).wstring();
}

inline std::string Info(const std::string& text) {
    return "Info: " + text + "\r\n";
}
inline std::string Warning(const std::string& text) {
    return "Warning: " + text + "\r\n";
}
inline std::string Error(const std::string& text) {
    return "Error: " + text + "\r\n";
}
// One Info line "<what><path>" for each path, in order.
inline std::string Infos(const std::string& what, std::initializer_list<std::wstring> paths) {
    std::string lines;
    for (const auto& path : paths) {
        lines += Info(what + Narrow(path));
    }
    return lines;
}
// The Warning --status adds for each registered file that is there and
// holds other bytes than this version's DLL.
inline std::string NotThisVersions(std::initializer_list<std::wstring> paths) {
    std::string lines;
    for (const auto& path : paths) {
        lines += Warning("Registered file is not this version's DLL: " + Narrow(path));
    }
    return lines;
}
inline std::string Scheduled(const std::wstring& path) {
    return Warning("Scheduled for deletion at the next restart: " + Narrow(path));
}
// The folder stays for the copies in it that wait for the restart, or for a
// file someone holds: no failure.
inline std::string FolderKept(const std::wstring& folder) {
    return Warning("RemoveParentFolder(): Unable to remove folder " + Narrow(folder));
}
inline std::string NotDeletedRegistered(const std::wstring& path) {
    return Warning("Not deleted, still registered: " + Narrow(path));
}
inline std::string CannotRegister(const std::wstring& path, const std::string& cause = "") {
    return Error("Unable to register: " + Narrow(path) + " with args: /s" + cause);
}
inline std::string CannotUnregister(const std::wstring& path, const std::string& cause = "") {
    return Error("Unable to unregister: " + Narrow(path) + " with args: /s /u" + cause);
}
// Why a regsvr32 that is not there did not register or unregister.
inline const std::string notStarted = " (regsvr32 did not start: Windows error 2)";

inline const std::string uninstallStart = Info("Starting uninstall") + Info("Initialize COM");
inline const std::string uninstallEnd = Info("Uninitialize COM") + Info("Exiting uninstall");
inline const std::string installStart = Info("Starting install") + Info("Initialize COM");
inline const std::string installEnd = Info("Uninitialize COM") + Info("Exiting install");
inline const std::string rollingBack = Error("Install failed; rolling back.");
inline const std::string rolledBack =
    Info("Rollback complete: the machine is as it was before this install.");
inline const std::string waiting = Info("Waiting for another run of rimkit_manager to finish.");
inline const std::string undoing =
    Warning("An earlier run was interrupted; undoing what it changed.");
inline const std::string undone = Info("Interrupted run undone.");
inline const std::string& versionLines = testsupport::lines::version;
inline const std::string& prompt = testsupport::lines::prompt;

// Exit codes, the full 32 bits that a Windows caller sees.
inline constexpr std::uint32_t succeeded = 0;
inline constexpr std::uint32_t installFailed = 1603;
inline constexpr std::uint32_t tryAgainLater = 1618;

inline std::string PayloadBytes(const char* variable) {
    return ReadFileBytes(testsupport::BuildPath(variable));
}
inline std::string Written(const std::wstring& path, const char* payload) {
    return Info("Written: " + Narrow(path) +
                " bytes: " + std::to_string(PayloadBytes(payload).size()));
}

// The uninstall that finds nothing registered, as every first install logs it.
inline std::string UninstallOfNothing() {
    return uninstallStart + Info("Found: Rimkit 32bit DLL not installed.") +
           Info("Found: Rimkit  64bit DLL not installed.") +
           Error("RemoveParentFolder(): No files to check.") + uninstallEnd;
}

// The uninstall of both DLLs registered from one folder; `folderLines` are
// logged when the folder stays.
inline std::string UninstallOfBoth(const std::wstring& folder,
                                   const std::string& folderLines = "") {
    const std::wstring x86 = Join(folder, x86Name);
    const std::wstring x64 = Join(folder, x64Name);
    return uninstallStart + Infos("Unregistered: ", {x86, x64}) + Infos("Deleted: ", {x86, x64}) +
           folderLines + uninstallEnd;
}

// The lines of an install whose folder selection logged `folderLines` and
// chose `folder`, where both DLLs are written and registered.
inline std::string InstallOfBoth(const std::string& folderLines, const std::wstring& folder) {
    const std::wstring x64 = Join(folder, x64Name);
    const std::wstring x86 = Join(folder, x86Name);
    return installStart + folderLines + Written(x64, "RIMKIT_PAYLOAD_X64") +
           Written(x86, "RIMKIT_PAYLOAD_X86") + Infos("Registered: ", {x64, x86}) + installEnd;
}

// Folder selection lines for a base folder that gets a new version folder.
inline std::string NewVersionFolder(const std::wstring& typed, const std::wstring& expanded) {
    const std::string version = Narrow(Join(expanded, L"9_1_1"));
    return Info("Expanding: " + Narrow(typed)) + Info("Expanded: " + Narrow(expanded)) +
           Info("Install path: " + version) + Info("Created: " + version);
}

// Folder selection lines for a base folder whose version folder holds
// something else, so that the DLLs go into the base folder.
inline std::string FolderLinesDefaultingToBase(const std::wstring& base) {
    const std::string version = Narrow(Join(base, L"9_1_1"));
    return Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
           Info("Install path: " + version) +
           Warning("Error creating install directory or directory busy: " + version) +
           Info("Defaulting to install path: " + Narrow(base));
}

// Folder selection lines for an existing version folder that is used again.
inline std::string ReusedVersionFolder(const std::wstring& base) {
    const std::string version = Narrow(Join(base, L"9_1_1"));
    return Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
           Info("Install path: " + version) +
           Info("Directory already created but empty...reusing: " + version);
}

inline void RemoveRegistrations() {
    testsupport::DeleteRegistryTree(RegistryView::Bits64, testsupport::sdkClassKey);
    testsupport::DeleteRegistryTree(RegistryView::Bits32, testsupport::sdkClassKey);
}

inline std::wstring ProgramFiles() {
    wchar_t buffer[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramW6432", buffer, MAX_PATH);
    return buffer;
}

// Where a run keeps its way back until it has ended.
inline std::wstring VexoFolder() {
    return ProgramFiles() + L"\\Vexo";
}
inline std::wstring RecordPath() {
    return VexoFolder() + L"\\Rimkit\\Recovery\\rimkit_manager.recovery";
}
inline const std::string interruptedWarning = Warning(
    "An earlier run was interrupted; the next install or uninstall undoes what it changed.");
// The Error line of a run that finds a record it cannot use, and the
// Warning that --status gives for it.
inline std::string RecordRefused(const std::string& reason) {
    return Error("The recovery record " + Narrow(RecordPath()) + " cannot be used: " + reason +
                 ". Nothing was changed.");
}
inline std::string UnusableRecordWarning() {
    return Warning("An earlier run was interrupted, and its recovery record cannot be used: " +
                   Narrow(RecordPath()));
}

inline void Restart() {
    testsupport::RunProgram(L"C:\\windows\\system32\\wineboot.exe", L"-r");
}

// The DLL files in `folder`, by name.
inline std::vector<std::wstring> DllsIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == L".dll") {
            names.push_back(entry.path().filename().wstring());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Both registry views and every file under the given folders, byte for byte.
struct MachineState {
    std::optional<std::wstring> named64;
    std::optional<std::wstring> named32;
    std::map<std::wstring, std::string> files;

    bool operator==(const MachineState& other) const {
        return named64 == other.named64 && named32 == other.named32 && files == other.files;
    }
    friend void PrintTo(const MachineState& state, std::ostream* out) {
        *out << "64: " << Narrow(state.named64.value_or(L"-"))
             << ", 32: " << Narrow(state.named32.value_or(L"-"));
        for (const auto& [path, bytes] : state.files) {
            *out << "\n" << Narrow(path) << " (" << bytes.size() << " bytes)";
        }
    }
};

inline MachineState Snapshot(std::initializer_list<std::wstring> folders) {
    MachineState state{ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey),
                       ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey),
                       {}};
    for (const auto& folder : folders) {
        std::error_code error;
        for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            if (entry->is_regular_file()) {
                state.files[entry->path().wstring()] = ReadFileBytes(entry->path().wstring());
            }
        }
    }
    return state;
}

class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveRegistrations();
        testsupport::ForgetDeletionsAtRestart();
        testsupport::RemoveTree(L"C:\\Ops\\Data");
        testsupport::RemoveTree(VexoFolder());
    }

    void TearDown() override {
        // A run that ended normally took its way back with it.
        EXPECT_FALSE(testsupport::PathExists(VexoFolder()));
    }

    std::string Run(const std::wstring& arguments, const std::wstring& workingFolder = L"",
                    std::uint32_t exitCode = succeeded) const {
        const RunResult run = tool.Run(arguments, workingFolder);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, exitCode) << Narrow(arguments);
        return run.output;
    }

    // Both DLLs are in `folder`, byte for byte the payload, and registered there.
    static void ExpectInstalledIn(const std::wstring& folder,
                                  const char* payload64 = "RIMKIT_PAYLOAD_X64") {
        EXPECT_EQ(ReadFileBytes(Join(folder, x64Name)), PayloadBytes(payload64));
        EXPECT_EQ(ReadFileBytes(Join(folder, x86Name)), PayloadBytes("RIMKIT_PAYLOAD_X86"));
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey),
                  Join(folder, x64Name));
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey),
                  Join(folder, x86Name));
    }

    static void ExpectNothingRegistered() {
        EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey));
        EXPECT_FALSE(ReadDefaultString(RegistryView::Bits32, testsupport::sdkServerBinaryKey));
    }

    std::string StatusOf(const std::string& line32, const std::string& line64,
                         const std::string& after = "") const {
        namespace lines = testsupport::lines;
        return lines::console + lines::version + lines::StatusHeader() +
               Info("Status: Rimkit 32bit DLL: " + line32) +
               Info("Status: Rimkit 64bit DLL: " + line64) + after + lines::prompt;
    }

    const ToolSandbox tool{L"C:\\Ops\\Rimkit Manager"};
    const std::wstring base = L"C:\\Ops\\Rimkit Manager\\";
    const std::wstring versionFolder = L"C:\\Ops\\Rimkit Manager\\9_1_1";
};

} // namespace operations
