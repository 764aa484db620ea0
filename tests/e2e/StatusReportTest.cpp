// --status as a user sees it: the known folders, the legend and one line per
// DLL, for registrations written into this prefix's real registry.
#include "support/Environment.h"
#include "support/ExpectedOutput.h"
#include "support/ToolSandbox.h"

#include "core/Text.h"
#include "platform/UniqueHandle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using testsupport::RegistryView;
using testsupport::ToolSandbox;

namespace {

const std::wstring root = L"C:\\Status";

// What one registry view holds at the SDK's ServerBinary key.
struct Registration {
    enum class Kind { None, String, ExpandString } kind = Kind::None;
    std::wstring path;
};

Registration None() {
    return {};
}
Registration String(std::wstring path) {
    return {Registration::Kind::String, std::move(path)};
}
Registration ExpandString(std::wstring path) {
    return {Registration::Kind::ExpandString, std::move(path)};
}

void Apply(RegistryView view, const Registration& registration) {
    testsupport::DeleteRegistryTree(view, testsupport::sdkClassKey);
    const auto bytes = static_cast<std::uint32_t>((registration.path.size() + 1) * sizeof(wchar_t));
    switch (registration.kind) {
    case Registration::Kind::None:
        break;
    case Registration::Kind::String:
        testsupport::SetDefaultString(view, testsupport::sdkServerBinaryKey, registration.path);
        break;
    case Registration::Kind::ExpandString:
        testsupport::SetDefaultValue(view, testsupport::sdkServerBinaryKey, REG_EXPAND_SZ,
                                     registration.path.c_str(), bytes);
        break;
    }
}

void MakeFile(const std::wstring& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testsupport::WriteFileBytes(path, "MZ");
}

void CopyFile(const char* buildPath, const std::wstring& to, const std::string& extra = "") {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    testsupport::WriteFileBytes(to, testsupport::ReadFileBytes(testsupport::BuildPath(buildPath)) +
                                        extra);
}

struct Scenario {
    const char* name;
    Registration bits32;
    Registration bits64;
    std::string line32; // after "Info: Status: Rimkit 32bit DLL: "
    std::string line64;
    bool other32 = false; // the registered file is named as not this version's DLL
    bool other64 = false;
    bool holds64 = false; // this process holds the 64-bit file exclusively while the tool runs
};

class StatusReport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        MakeFile(root + L"\\x86\\vexo_steering_wheel_x86.dll");
        MakeFile(root + L"\\x64\\vexo_steering_wheel_x64.dll");
        MakeFile(root + L"\\Prógrammé 日本\\vexo_steering_wheel_x64.dll");
        MakeFile(L"C:\\windows\\system32\\vexo_steering_wheel_x64.dll");
        CopyFile("RIMKIT_STANDIN_X86", root + L"\\intact\\vexo_steering_wheel_x86.dll");
        CopyFile("RIMKIT_STANDIN_X86", L"C:\\windows\\syswow64\\vexo_steering_wheel_x86.dll");
        CopyFile("RIMKIT_STANDIN_X64", root + L"\\intact\\vexo_steering_wheel_x64.dll");
        CopyFile("RIMKIT_STANDIN_X86", root + L"\\swapped\\vexo_steering_wheel_x64.dll");
        CopyFile("RIMKIT_STANDIN_X64", root + L"\\longer\\vexo_steering_wheel_x64.dll", "\n");
    }

    std::string RunStatus() const {
        const auto run = tool.Run(L"--status");
        EXPECT_EQ(run.exitCode, 0u);
        return run.output;
    }

    static std::string Expected(const Scenario& scenario) {
        namespace lines = testsupport::lines;
        const std::string other = "Warning: Registered file is not this version's DLL: ";
        return lines::console + lines::version + lines::StatusHeader() +
               "Info: Status: Rimkit 32bit DLL: " + scenario.line32 + "\r\n" +
               "Info: Status: Rimkit 64bit DLL: " + scenario.line64 + "\r\n" +
               (scenario.other32 ? other + toNarrow(scenario.bits32.path) + "\r\n" : "") +
               (scenario.other64 ? other + toNarrow(scenario.bits64.path) + "\r\n" : "") +
               lines::prompt;
    }
    static std::string Expected(const std::string& line32, const std::string& line64) {
        return Expected(Scenario{"", None(), None(), line32, line64});
    }

    ToolSandbox tool{L"C:\\Tools\\Status"};
};

} // namespace

TEST_F(StatusReport, OneLinePerDllForEachKindOfRegistration) {
    const Scenario scenarios[] = {
        {"nothing registered", None(), None(), "Not installed", "Not installed"},
        {"this version's DLLs", String(root + L"\\intact\\vexo_steering_wheel_x86.dll"),
         String(root + L"\\intact\\vexo_steering_wheel_x64.dll"),
         "Installed at: C:\\Status\\intact\\vexo_steering_wheel_x86.dll",
         "Installed at: C:\\Status\\intact\\vexo_steering_wheel_x64.dll"},
        {"the 64-bit DLL replaced by other bytes",
         String(root + L"\\intact\\vexo_steering_wheel_x86.dll"),
         String(root + L"\\x64\\vexo_steering_wheel_x64.dll"),
         "Installed at: C:\\Status\\intact\\vexo_steering_wheel_x86.dll",
         "Installed at: C:\\Status\\x64\\vexo_steering_wheel_x64.dll", false, true},
        {"the 32-bit DLL where the 64-bit one belongs", None(),
         String(root + L"\\swapped\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Installed at: C:\\Status\\swapped\\vexo_steering_wheel_x64.dll", false, true},
        {"the 64-bit DLL and one byte more", None(),
         String(root + L"\\longer\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Installed at: C:\\Status\\longer\\vexo_steering_wheel_x64.dll", false, true},
        {"both files present with other bytes",
         String(root + L"\\x86\\vexo_steering_wheel_x86.dll"),
         String(root + L"\\x64\\vexo_steering_wheel_x64.dll"),
         "Installed at: C:\\Status\\x86\\vexo_steering_wheel_x86.dll",
         "Installed at: C:\\Status\\x64\\vexo_steering_wheel_x64.dll", true, true},
        {"both files gone", String(root + L"\\gone\\vexo_steering_wheel_x86.dll"),
         String(root + L"\\gone\\vexo_steering_wheel_x64.dll"),
         "Not found at: C:\\Status\\gone\\vexo_steering_wheel_x86.dll",
         "Not found at: C:\\Status\\gone\\vexo_steering_wheel_x64.dll"},
        {"expandable strings are not read",
         ExpandString(root + L"\\x86\\vexo_steering_wheel_x86.dll"),
         ExpandString(root + L"\\x64\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Not installed"},
        {"a folder counts as present, and is no DLL; the views are apart", String(root), None(),
         "Installed at: C:\\Status", "Not installed", true},
        {"non-ASCII path in UTF-8", None(),
         String(root + L"\\Prógrammé 日本\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Installed at: C:\\Status\\Prógrammé 日本\\vexo_steering_wheel_x64.dll", false, true},
        {"tokens are not expanded", String(L"%ProgramFiles%\\vexo_steering_wheel_x86.dll"), None(),
         "Not found at: %ProgramFiles%\\vexo_steering_wheel_x86.dll", "Not installed"},
        {"a network path that cannot be reached", None(),
         String(L"\\\\no-such-host\\share\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Not found at: \\\\no-such-host\\share\\vexo_steering_wheel_x64.dll"},
        // Each view's file is the one its programs open: a 32-bit one's
        // System32 is SysWOW64, and its Sysnative is System32.
        {"System32 of the 32-bit view",
         String(L"C:\\windows\\system32\\vexo_steering_wheel_x86.dll"),
         String(L"C:\\windows\\system32\\vexo_steering_wheel_x86.dll"),
         "Installed at: C:\\windows\\system32\\vexo_steering_wheel_x86.dll",
         "Not found at: C:\\windows\\system32\\vexo_steering_wheel_x86.dll"},
        {"Sysnative of the 32-bit view",
         String(L"C:\\windows\\Sysnative\\vexo_steering_wheel_x64.dll"),
         String(L"C:\\windows\\syswow64\\vexo_steering_wheel_x64.dll"),
         "Installed at: C:\\windows\\Sysnative\\vexo_steering_wheel_x64.dll",
         "Not found at: C:\\windows\\syswow64\\vexo_steering_wheel_x64.dll", true},
        // The presence check asks for no access, so no share mode keeps it
        // out; its bytes cannot be read, so it cannot be shown to be ours.
        {"a file another process holds exclusively", None(),
         String(root + L"\\x64\\vexo_steering_wheel_x64.dll"), "Not installed",
         "Installed at: C:\\Status\\x64\\vexo_steering_wheel_x64.dll", false, true, true},
    };
    for (const auto& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        Apply(RegistryView::Bits32, scenario.bits32);
        Apply(RegistryView::Bits64, scenario.bits64);
        const Vexo::Platform::UniqueHandle held(
            scenario.holds64 ? CreateFileW(scenario.bits64.path.c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr)
                             : nullptr);
        ASSERT_EQ(held.valid(), scenario.holds64);
        EXPECT_EQ(RunStatus(), Expected(scenario));
    }
}

TEST_F(StatusReport, DllsRegisteredByRegsvr32AreInstalledAndThenNotFoundWhenDeleted) {
    const bool can32 = testsupport::PathExists(L"C:\\windows\\syswow64\\regsvr32.exe");
    Apply(RegistryView::Bits32, None());
    Apply(RegistryView::Bits64, None());
    const std::wstring folder = root + L"\\Registered Copies";
    std::filesystem::create_directories(folder);
    const std::wstring x64 = folder + L"\\vexo_steering_wheel_x64.dll";
    const std::wstring x86 = folder + L"\\vexo_steering_wheel_x86.dll";
    std::filesystem::copy_file(testsupport::BuildPath("RIMKIT_STANDIN_X64"), x64);
    std::filesystem::copy_file(testsupport::BuildPath("RIMKIT_STANDIN_X86"), x86);

    const std::wstring regsvr32 = L"C:\\windows\\system32\\regsvr32.exe";
    ASSERT_EQ(testsupport::RunProgram(regsvr32, L"/s \"" + x64 + L"\"").exitCode, 0u);
    if (can32) {
        ASSERT_EQ(testsupport::RunProgram(regsvr32, L"/s \"" + x86 + L"\"", 600).exitCode, 0u);
    }
    const std::string line32 = can32 ? "Installed at: " + toNarrow(x86) : "Not installed";
    EXPECT_EQ(RunStatus(), Expected(line32, "Installed at: " + toNarrow(x64)));

    std::filesystem::remove(x64);
    std::filesystem::remove(x86);
    const std::string gone32 = can32 ? "Not found at: " + toNarrow(x86) : "Not installed";
    EXPECT_EQ(RunStatus(), Expected(gone32, "Not found at: " + toNarrow(x64)));
    if (!can32) {
        GTEST_SKIP() << "32-bit programs cannot run here; only the 64-bit DLL was registered";
    }
}
