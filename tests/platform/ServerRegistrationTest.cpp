#include "platform/ServerRegistration.h"

#include "LogCapture.h"
#include "core/Text.h"
#include "platform/Registry.h"
#include "sdk/ComScope.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace testsupport;

namespace {

const std::wstring folder = L"C:\\rimkit platform\\servers with spaces";

// Empty when 32-bit programs run in this prefix, else why they cannot. The
// first 32-bit process of a prefix may be very slow under emulation.
const std::string& Why32BitCannotRun() {
    static const std::string reason = []() -> std::string {
        if (!PathExists(L"C:\\windows\\syswow64\\regsvr32.exe")) {
            return "this prefix has no C:\\windows\\syswow64\\regsvr32.exe";
        }
        try {
            const auto run = RunProgram(L"C:\\windows\\syswow64\\cmd.exe", L"/c exit 7", 400);
            if (run.timedOut) {
                return "a 32-bit process did not end within 400 seconds";
            }
            if (run.exitCode != 7) {
                return "a 32-bit process did not run (exit code " + std::to_string(run.exitCode) +
                       ")";
            }
        } catch (const std::exception& error) {
            return std::string("a 32-bit process did not start: ") + error.what();
        }
        return {};
    }();
    return reason;
}

struct Server {
    const char* arch;
    const char* standinVariable;
    const char* failingVariable;
    RegistryView view;
    RegistryView otherView;
    Vexo::Platform::Bitness bitness;
    // The ServerBinary key as a 64-bit process names it.
    std::wstring keyFrom64Bit;
};

std::ostream& operator<<(std::ostream& stream, const Server& server) {
    return stream << server.arch;
}

class Regsvr32Test : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        if (GetParam().view == RegistryView::Bits32 && !Why32BitCannotRun().empty()) {
            GTEST_SKIP() << "32-bit processes cannot run: " << Why32BitCannotRun();
        }
        for (const auto view : {RegistryView::Bits64, RegistryView::Bits32}) {
            DeleteRegistryTree(view, sdkClassKey);
        }
        std::filesystem::create_directories(folder);
    }

    std::wstring CopyIn(const char* variable, const std::wstring& name) const {
        std::wstring path = folder + L"\\" + name + L"_" + toWide(GetParam().arch) + L".dll";
        std::filesystem::copy_file(BuildPath(variable), path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }
};

TEST_P(Regsvr32Test, RegistersAndUnregistersInTheServersView) {
    const Server& server = GetParam();
    const std::wstring dll = CopyIn(server.standinVariable, L"standin");

    // The process has ended when RunRegsvr32 returns, so the registry is final.
    ASSERT_TRUE(RunRegsvr32(dll, registerArguments, server.bitness).value());
    EXPECT_EQ(ReadDefaultString(server.view, sdkServerBinaryKey), dll);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, server.keyFrom64Bit.c_str()), dll + L'\0');
    EXPECT_FALSE(KeyExists(server.otherView, sdkClassKey));

    ASSERT_TRUE(RunRegsvr32(dll, unregisterArguments, server.bitness).value());
    EXPECT_FALSE(KeyExists(server.view, sdkClassKey));

    // The path as read back from the registry, with its NUL.
    ASSERT_TRUE(RunRegsvr32(dll + L'\0', registerArguments, server.bitness).value());
    EXPECT_EQ(ReadDefaultString(server.view, sdkServerBinaryKey), dll);
}

TEST_P(Regsvr32Test, ReportsAFailedRegistration) {
    const Server& server = GetParam();
    const std::wstring failing = CopyIn(server.failingVariable, L"failing");
    EXPECT_FALSE(RunRegsvr32(failing, registerArguments, server.bitness).value());
    EXPECT_FALSE(RunRegsvr32(folder + L"\\missing.dll", registerArguments, server.bitness).value());
    EXPECT_FALSE(KeyExists(server.view, sdkClassKey));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Regsvr32Test,
    ::testing::Values(Server{"x64", "RIMKIT_STANDIN_X64", "RIMKIT_FAILING_X64",
                             RegistryView::Bits64, RegistryView::Bits32,
                             Vexo::Platform::Bitness::Bits64, sdkServerBinaryKey},
                      Server{"x86", "RIMKIT_STANDIN_X86", "RIMKIT_FAILING_X86",
                             RegistryView::Bits32, RegistryView::Bits64,
                             Vexo::Platform::Bitness::Bits32,
                             L"SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-"
                             L"2D7C90B3A4F5}\\ServerBinary"}),
    [](const auto& info) { return std::string(info.param.arch); });

TEST(Regsvr32, OneThatRunsPastItsBoundIsEnded) {
    DeleteRegistryTree(RegistryView::Bits64, sdkClassKey);
    std::filesystem::create_directories(folder);
    const std::wstring dll = folder + L"\\hanging_x64.dll";
    std::filesystem::copy_file(BuildPath("RIMKIT_HANGING_X64"), dll,
                               std::filesystem::copy_options::overwrite_existing);

    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(
        RunRegsvr32(dll, registerArguments, Vexo::Platform::Bitness::Bits64, 1000).value());
    EXPECT_LT(GetTickCount64() - start, 6000u);
    // Nothing has it loaded any more, and nothing registers it later.
    EXPECT_TRUE(DeleteFileW(dll.c_str()));
    Sleep(9000);
    EXPECT_FALSE(KeyExists(RegistryView::Bits64, sdkClassKey));
}

// Wine runs a regsvr32.exe planted in System32 when told to prefer it; it
// writes its command line into "regsvr32.exe.ran".
TEST(Regsvr32, System32sNeverGetsA32BitDll) {
    if (!Why32BitCannotRun().empty()) {
        GTEST_SKIP() << "32-bit processes cannot run: " << Why32BitCannotRun();
    }
    const std::wstring tool = L"C:\\windows\\system32\\regsvr32.exe";
    const auto plant = PlantRegsvr32InSystem32();
    std::filesystem::create_directories(folder);
    const std::wstring x86 = folder + L"\\x86.dll";
    const std::wstring x64 = folder + L"\\x64.dll";
    std::filesystem::copy_file(BuildPath("RIMKIT_STANDIN_X86"), x86,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(BuildPath("RIMKIT_STANDIN_X64"), x64,
                               std::filesystem::copy_options::overwrite_existing);

    EXPECT_TRUE(RunRegsvr32(x86, registerArguments, Vexo::Platform::Bitness::Bits32).value());
    EXPECT_EQ(ReadDefaultString(RegistryView::Bits32, sdkServerBinaryKey), x86);
    EXPECT_FALSE(PathExists(tool + L".ran")) << "System32's regsvr32 got the 32-bit DLL";
    EXPECT_TRUE(RunRegsvr32(x64, registerArguments, Vexo::Platform::Bitness::Bits64).value());
    const std::string mark = ReadFileBytes(tool + L".ran");
    const std::wstring commandLine(reinterpret_cast<const wchar_t*>(mark.data()),
                                   mark.size() / sizeof(wchar_t));
    EXPECT_NE(commandLine.find(x64), std::wstring::npos) << "the plant did not run";
}

// COM state belongs to a thread; each case has a fresh one.
template <typename Body> void OnNewThread(Body body) {
    std::thread(body).join();
}

TEST(Com, InitializeReportsWhetherTheCallerMustUninitialize) {
    OnNewThread([] {
        EXPECT_TRUE(InitializeCom());
        EXPECT_FALSE(InitializeCom());
        CoUninitialize();
        CoUninitialize();
    });
    // A thread already in the other apartment model fails, and is still told to uninitialise.
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_TRUE(InitializeCom());
        CoUninitialize();
    });
}

TEST(Com, ScopeLogsAndUninitializesAtItsEnd) {
    const LogCapture log;
    OnNewThread([&log] {
        { const OnExit scope = OpenComScope(); }
        // Uninitialised again: a new initialisation is the first one.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
        EXPECT_EQ(log.lines(), (std::vector<LogLine>{{Vexo::Log::Info, "Initialize COM\n"},
                                                     {Vexo::Log::Info, "Uninitialize COM\n"}}));
    });
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        const LogCapture inner;
        { const OnExit scope = OpenComScope(); }
        EXPECT_EQ(inner.lines(),
                  (std::vector<LogLine>{
                      {Vexo::Log::Info, "Initialize COM\n"},
                      {Vexo::Log::Warning,
                       "Failed to initialize COM. Let's keep this between me and you ;)"}}));
        CoUninitialize();
        CoUninitialize();
    });
}

} // namespace
