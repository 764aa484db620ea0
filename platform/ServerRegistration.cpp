#include "platform/ServerRegistration.h"

#include "log/Log.h"
#include "platform/SystemFolder.h"
#include "platform/UniqueHandle.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

namespace {

// Long enough for a slow machine, short enough that a hung server does not
// stall the tool for good.
constexpr DWORD regsvr32TimeoutMilliseconds = 60 * 1000;

} // namespace

bool RunRegsvr32(const std::wstring& path, const std::wstring& arguments) {
    // By its full path: the bare name would be looked up in the current
    // folder and along PATH first, where anyone may have put a regsvr32 of
    // their own for this elevated process to run.
    const auto systemFolder = Vexo::Platform::SystemFolder();
    if (!systemFolder) {
        return false;
    }
    const std::wstring regsvr32 = *systemFolder + L"\\regsvr32.exe";
    const std::wstring parameters = arguments + L" \"" + path.c_str() + L"\"";

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The process handle lets the caller learn the outcome: the launch alone
    // says nothing about whether the server was registered, and the DLL stays
    // in use until regsvr32 ends.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE |
                 SEE_MASK_WAITFORINPUTIDLE | SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = regsvr32.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;

    const BOOL launched = ShellExecuteExW(&info);
    const Vexo::Platform::UniqueHandle process(info.hProcess);
    if (!launched || reinterpret_cast<UINT_PTR>(info.hInstApp) <= 32 || !process.valid()) {
        return false;
    }
    if (WaitForSingleObject(process.get(), regsvr32TimeoutMilliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD exitCode = 0;
    return GetExitCodeProcess(process.get(), &exitCode) && exitCode == 0;
}

bool InitializeCom() {
    const HRESULT result =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    return result != S_FALSE;
}

void UninitializeCom() {
    logInfo("Uninitialize COM\n");
    CoUninitialize();
}

OnExit OpenComScope() {
    logInfo("Initialize COM\n");
    if (InitializeCom()) {
        return OnExit([] { UninitializeCom(); });
    }
    logWarning("Failed to initialize COM. Let's keep this between me and you ;)");
    return OnExit();
}
