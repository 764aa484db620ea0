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

inline std::string Info(const std::string& text) {
    return "Info: " + text + "\r\n";
}
inline std::string Warning(const std::string& text) {
    return "Warning: " + text + "\r\n";
}
inline std::string Error(const std::string& text) {
    return "Error: " + text + "\r\n";
}
inline std::string Scheduled(const std::wstring& path) {
    return Warning("Scheduled for deletion at the next restart: " + toNarrow(path));
}
inline const std::string waiting = Info("Waiting for another run of rimkit_manager to finish.");

// Exit codes, the full 32 bits that a Windows caller sees.
inline constexpr std::uint32_t succeeded = 0;
inline constexpr std::uint32_t installFailed = 1603;
inline constexpr std::uint32_t anotherRunBusy = 1618;
inline std::string Narrow(const std::wstring& text) {
    return toNarrow(text);
}
inline std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return (fs::path(folder) / name).wstring();
}

inline std::string PayloadBytes(const char* variable) {
    return ReadFileBytes(testsupport::BuildPath(variable));
}

// The uninstall that finds nothing registered, as every first install logs it.
inline std::string UninstallOfNothing() {
    return Info("Starting uninstall") + Info("Initialize COM") +
           Info("Found: Rimkit 32bit DLL not installed.") +
           Info("Found: Rimkit  64bit DLL not installed.") +
           Error("RemoveParentFolder(): No files to check.") + Info("Uninitialize COM") +
           Info("Exiting uninstall");
}

// The uninstall of both DLLs registered from one folder; `folderLines` are
// logged when the folder stays.
inline std::string UninstallOfBoth(const std::wstring& folder,
                                   const std::string& folderLines = "") {
    const std::string x86 = Narrow(Join(folder, x86Name));
    const std::string x64 = Narrow(Join(folder, x64Name));
    return Info("Starting uninstall") + Info("Initialize COM") + Info("Unregistered: " + x86) +
           Info("Unregistered: " + x64) + Info("Deleted: " + x86) + Info("Deleted: " + x64) +
           folderLines + Info("Uninitialize COM") + Info("Exiting uninstall");
}

// The lines of an install whose folder selection logged `folderLines` and
// chose `folder`, where both DLLs are written and registered.
inline std::string InstallOfBoth(const std::string& folderLines, const std::wstring& folder) {
    const std::string x64 = Narrow(Join(folder, x64Name));
    const std::string x86 = Narrow(Join(folder, x86Name));
    return Info("Starting install") + Info("Initialize COM") + folderLines +
           Info("Written: " + x64 +
                " bytes: " + std::to_string(PayloadBytes("RIMKIT_PAYLOAD_X64").size())) +
           Info("Written: " + x86 +
                " bytes: " + std::to_string(PayloadBytes("RIMKIT_PAYLOAD_X86").size())) +
           Info("Registered: " + x64) + Info("Registered: " + x86) + Info("Uninitialize COM") +
           Info("Exiting install");
}

// Folder selection lines for a base folder that gets a new version folder.
inline std::string NewVersionFolder(const std::wstring& typed, const std::wstring& expanded) {
    const std::string version = Narrow(Join(expanded, L"9_1_1"));
    return Info("Expanding: " + Narrow(typed)) + Info("Expanded: " + Narrow(expanded)) +
           Info("Install path: " + version) + Info("Created: " + version);
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
inline std::wstring RecoveryFolder() {
    return ProgramFiles() + L"\\Vexo";
}
inline const std::string interruptedWarning = Warning(
    "An earlier run was interrupted; the next install or uninstall undoes what it changed.");

// Deletions left for the next restart by an earlier test must not reach
// into a later one.
inline void ForgetDeletionsAtRestart() {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                       L"PendingFileRenameOperations");
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

class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveRegistrations();
        ForgetDeletionsAtRestart();
        testsupport::RemoveTree(L"C:\\Ops\\Data");
        testsupport::RemoveTree(RecoveryFolder());
    }

    void TearDown() override {
        // A run that ended normally took its way back with it.
        EXPECT_FALSE(testsupport::PathExists(RecoveryFolder()));
    }

    std::string Run(const std::wstring& arguments, const std::wstring& workingFolder = L"",
                    std::uint32_t exitCode = succeeded) const {
        const RunResult run = tool.Run(arguments, workingFolder);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, exitCode) << Narrow(arguments);
        return run.output;
    }

    // Both DLLs are in `folder`, byte for byte the payload, and registered there.
    static void ExpectInstalledIn(const std::wstring& folder) {
        EXPECT_EQ(ReadFileBytes(Join(folder, x64Name)), PayloadBytes("RIMKIT_PAYLOAD_X64"));
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

inline const std::string& versionLines = testsupport::lines::version;
inline const std::string& prompt = testsupport::lines::prompt;

} // namespace operations
