// What a planted program or DLL does when it runs: it leaves an empty file
// named after itself with ".ran" appended (regsvr32.exe.ran, version.dll.ran),
// so that a test can tell that it ran, and which copy of it.
#pragma once

#include <windows.h>

static void LeaveMark(HMODULE module) {
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    lstrcpyW(path + length, L".ran");
    const HANDLE mark =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) {
        CloseHandle(mark);
    }
}
