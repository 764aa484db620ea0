#include "platform/TemporaryFolder.h"

#include <windows.h>

namespace Vexo::Platform {

namespace {

using TempPathFunction = decltype(&GetTempPathW);

// GetTempPath2W gives SYSTEM a folder of its own (C:\Windows\SystemTemp)
// instead of one that every user may write to; older systems lack it.
// kernel32 is loaded in every process, so its handle needs no release.
TempPathFunction FindTempPathFunction() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "GetTempPath2W") : nullptr;
    if (found == nullptr) {
        return &GetTempPathW;
    }
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<TempPathFunction>(reinterpret_cast<void (*)()>(found));
}

} // namespace

std::optional<std::wstring> TemporaryFolder() {
    constexpr DWORD bufferLength = 260;
    std::wstring buffer(bufferLength, L'\0');
    const DWORD length = FindTempPathFunction()(bufferLength, buffer.data());
    if (length == 0 || length > bufferLength) {
        return std::nullopt;
    }
    buffer.resize(length);
    return buffer;
}

} // namespace Vexo::Platform
