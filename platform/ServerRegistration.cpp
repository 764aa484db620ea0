#include "platform/ServerRegistration.h"

#include "log/Log.h"
#include "platform/FullPath.h"
#include "platform/SystemFolder.h"
#include "platform/UniqueHandle.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>

namespace {

using Vexo::Platform::Bitness;

std::optional<std::wstring> SystemFolderOf(Bitness bitness) {
    return bitness == Bitness::Bits64 ? Vexo::Platform::SystemFolder()
                                      : Vexo::Platform::SystemFolder32();
}

// Ends a regsvr32 that ran past its bound, so that it cannot register or
// unregister anything once the caller has moved on.
void End(const Vexo::Platform::UniqueHandle& process) {
    TerminateProcess(process.get(), ERROR_TIMEOUT);
    WaitForSingleObject(process.get(), 10 * 1000);
}

} // namespace

bool RunRegsvr32(const std::wstring& path, const std::wstring& arguments, Bitness bitness,
                 unsigned long boundMilliseconds) {
    // By its full path, the one of the DLL's own bitness: the bare name would
    // be looked up in the current folder and along PATH first, where anyone
    // may have put a regsvr32 of their own for this elevated process to run;
    // and handing a 32-bit DLL to the 64-bit regsvr32 relies on it starting
    // the other one itself. Its current folder is the system folder too, so
    // that no DLL the server needs is taken from the caller's folder.
    const auto systemFolder = SystemFolderOf(bitness);
    if (!systemFolder) {
        return false;
    }
    const std::wstring regsvr32 = *systemFolder + L"\\regsvr32.exe";
    // A relative path would be taken from regsvr32's own current folder.
    const std::wstring parameters = arguments + L" \"" + Vexo::Platform::FullPath(path) + L"\"";

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
    info.lpDirectory = systemFolder->c_str();
    info.nShow = SW_HIDE;

    const BOOL launched = ShellExecuteExW(&info);
    const Vexo::Platform::UniqueHandle process(info.hProcess);
    if (!launched || reinterpret_cast<UINT_PTR>(info.hInstApp) <= 32 || !process.valid()) {
        return false;
    }
    if (WaitForSingleObject(process.get(), boundMilliseconds) != WAIT_OBJECT_0) {
        End(process);
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
