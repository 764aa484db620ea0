#include "platform/TemporaryFolder.h"

#include <windows.h>

namespace Vexo::Platform {

std::optional<std::wstring> TemporaryFolder() {
    constexpr DWORD bufferLength = 260;
    std::wstring buffer(bufferLength, L'\0');
    const DWORD length = GetTempPathW(bufferLength, buffer.data());
    if (length == 0 || length > bufferLength) {
        return std::nullopt;
    }
    buffer.resize(length);
    return buffer;
}

} // namespace Vexo::Platform
