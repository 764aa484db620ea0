// What someone might plant where the tool looks for a program or a DLL, built
// as regsvr32.exe and as version.dll and copied under other names. When it
// runs, or is loaded, it leaves an empty file named after itself with ".ran"
// appended, so that a test can tell which copy ran; a program writes its
// command line into it. As a program it reports success, as if it had
// registered the DLL; as version.dll it fails every version query; as
// vexo_runtime.dll it is the runtime that a test SDK DLL needs.
#include <windows.h>

static void LeaveMark(HMODULE module, const wchar_t* text) {
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    lstrcpyW(path + length, L".ran");
    const HANDLE mark =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(mark, text, (DWORD)(lstrlenW(text) * sizeof(wchar_t)), &written, NULL);
        CloseHandle(mark);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous, (void)commandLine, (void)show;
    LeaveMark(instance, GetCommandLineW());
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        LeaveMark(instance, L"");
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI
    VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    (void)block, (void)subBlock, (void)buffer, (void)length;
    return FALSE;
}

__declspec(dllexport) int PlantedRuntimeVersion(void) {
    return 1;
}
