// A DLL someone put where the tool might load one from (as version.dll, or
// under any other name): it leaves its mark as soon as it is loaded. As
// version.dll it also answers every version query with a failure.
#include "LeaveMark.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        LeaveMark(instance);
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI
    VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    (void)block;
    (void)subBlock;
    (void)buffer;
    (void)length;
    return FALSE;
}
