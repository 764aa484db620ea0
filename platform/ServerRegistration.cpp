#include "platform/ServerRegistration.h"

#include "platform/FullPath.h"
#include "platform/ProcessJob.h"
#include "platform/SystemFolder.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"

#include <windows.h>
#include <objbase.h>

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

Expected<bool> RunRegsvr32(const std::wstring& path, const std::wstring& arguments, Bitness bitness,
                           unsigned long boundMilliseconds) {
    // By its full path, the one of the DLL's own bitness: the bare name would
    // be looked up in the current folder and along PATH first, where anyone
    // may have put a regsvr32 of their own for this elevated process to run;
    // and handing a 32-bit DLL to the 64-bit regsvr32 relies on it starting
    // the other one itself. Its current folder is the system folder too, so
    // that no DLL the server needs is taken from the caller's folder.
    const auto systemFolder = SystemFolderOf(bitness);
    if (!systemFolder) {
        return Vexo::Platform::LastWindowsError("regsvr32 did not start");
    }
    const std::wstring regsvr32 = *systemFolder + L"\\regsvr32.exe";
    // A relative path would be taken from regsvr32's own current folder.
    std::wstring commandLine =
        L"\"" + regsvr32 + L"\" " + arguments + L" \"" + Vexo::Platform::FullPath(path) + L"\"";

    // It is born inside this process's job, which ends it when this process
    // ends, however it ends: a regsvr32 left running by a run that was
    // stopped would register or unregister behind the back of the next one.
    const auto inJob = Vexo::Platform::EndChildrenWithThisProcess();
    if (inJob.hasError()) {
        return inJob.error();
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    // No handle of this process is inherited: not the held DLL, not its output.
    if (!CreateProcessW(regsvr32.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        systemFolder->c_str(), &startup, &started)) {
        return Vexo::Platform::LastWindowsError("regsvr32 did not start");
    }
    const Vexo::Platform::UniqueHandle process(started.hProcess);
    const Vexo::Platform::UniqueHandle thread(started.hThread);
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

void ReleaseCom() {
    CoUninitialize();
}
