#include "platform/FinalPath.h"

#include <windows.h>

namespace Vexo::Platform {

std::wstring FinalPathOf(const UniqueHandle& object) {
    std::wstring path(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(object.get(), path.data(), static_cast<DWORD>(path.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size()) {
        return {};
    }
    path.resize(length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return path.substr(4);
    }
    return path;
}

} // namespace Vexo::Platform
