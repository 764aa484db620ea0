#include "platform/SystemFolder.h"

#include <windows.h>

namespace Vexo::Platform {

std::optional<std::wstring> SystemFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        // Too small: the call gave the size it needs, terminator included.
        buffer.assign(length, L'\0');
        length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    buffer.resize(length);
    return buffer;
}

} // namespace Vexo::Platform
