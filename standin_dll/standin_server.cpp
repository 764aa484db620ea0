// A minimal in-process COM server. Registering it records the DLL's own full
// path as the default value of the class's ServerBinary key (in the registry
// view of the DLL's bitness); unregistering it removes the class key again.
#include <windows.h>
#include <olectl.h>

namespace {

constexpr wchar_t classKey[] = L"SOFTWARE\\Classes\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}";
constexpr wchar_t serverBinaryKey[] =
    L"SOFTWARE\\Classes\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\\ServerBinary";

#ifdef STANDIN_REGISTRATION_FAILS
constexpr bool registrationFails = true;
#else
constexpr bool registrationFails = false;
#endif

// Test doubles: a server whose registration takes far too long, another
// build of the server (other bytes, the same behaviour), and one that needs a
// runtime DLL the machine does not have.
#if defined(STANDIN_REGISTRATION_HANGS)
constexpr DWORD registrationDelayMilliseconds = 8000;
#elif defined(STANDIN_OTHER_BUILD)
constexpr DWORD registrationDelayMilliseconds = 1;
#else
constexpr DWORD registrationDelayMilliseconds = 0;
#endif

// A slow server: registering and unregistering each take a few seconds, and
// say when they start (a named event of the test's, if it made one), so
// that a test can stop the tool at a known point.
#ifdef STANDIN_SLOW
constexpr DWORD slowMilliseconds = 3000;
#else
constexpr DWORD slowMilliseconds = 0;
#endif

// A server whose registration writes its key and then reports failure; and
// one that, besides, cannot be unregistered.
#ifdef STANDIN_WRITES_THEN_FAILS
constexpr bool writesThenFails = true;
#else
constexpr bool writesThenFails = false;
#endif
#ifdef STANDIN_UNREGISTRATION_FAILS
constexpr bool unregistrationFails = true;
#else
constexpr bool unregistrationFails = false;
#endif

#ifdef STANDIN_NEEDS_RUNTIME
extern "C" __declspec(dllimport) int PlantedRuntimeVersion(void);
#else
int PlantedRuntimeVersion() {
    return 1;
}
#endif

HMODULE thisModule = nullptr;

constexpr DWORD maxPathLength = 32768;

// Fills `path` with the DLL's own full path; returns its length, 0 on failure.
DWORD ModulePath(wchar_t (&path)[maxPathLength]) {
    const DWORD length = GetModuleFileNameW(thisModule, path, maxPathLength);
    return length < maxPathLength ? length : 0;
}

HRESULT WriteServerBinary(const wchar_t* path, DWORD length) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, serverBinaryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    const auto bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    const LONG status =
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

#ifdef _WIN64
constexpr wchar_t bitnessName[] = L"x64";
#else
constexpr wchar_t bitnessName[] = L"x86";
#endif

// Signals "RimkitTestDouble.<step>.<bitness>" when a test waits for it, then
// takes its time.
void Dawdle(const wchar_t* step) {
    if (slowMilliseconds == 0) {
        return;
    }
    wchar_t name[64] = L"RimkitTestDouble.";
    lstrcatW(name, step);
    lstrcatW(name, L".");
    lstrcatW(name, bitnessName);
    if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(event);
        CloseHandle(event);
    }
    Sleep(slowMilliseconds);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    if (registrationFails || PlantedRuntimeVersion() != 1) {
        return SELFREG_E_CLASS;
    }
    Sleep(registrationDelayMilliseconds);
    Dawdle(L"Registering");
    static wchar_t path[maxPathLength];
    const DWORD length = ModulePath(path);
    if (length == 0) {
        return SELFREG_E_CLASS;
    }
    if (writesThenFails) {
        WriteServerBinary(path, length);
        return SELFREG_E_CLASS;
    }
    return WriteServerBinary(path, length);
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    Dawdle(L"Unregistering");
    if (unregistrationFails) {
        return SELFREG_E_CLASS;
    }
    const LONG status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object != nullptr) {
        *object = nullptr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return S_OK;
}
