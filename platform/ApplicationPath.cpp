#include "platform/ApplicationPath.h"

#include <windows.h>

Expected<std::filesystem::path> ApplicationPath() {
    constexpr DWORD bufferLength = 1024;
    wchar_t buffer[bufferLength] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, bufferLength);
    if (length == 0 || length == bufferLength) {
        return Vexo::Error("ApplicationPath():GetModuleFileName(): Failed.", 0);
    }
    return std::filesystem::path(buffer);
}
