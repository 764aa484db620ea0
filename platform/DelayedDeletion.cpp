#include "platform/DelayedDeletion.h"

#include <windows.h>

namespace Vexo::Platform {

bool DeleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::optional<std::wstring> MoveAside(const std::wstring& path) {
    const std::wstring original(path.c_str());
    const std::wstring stem = original + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64());
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::wstring aside = stem + L"-" + std::to_wstring(attempt) + L".old";
        // No replacing: a name someone else took stays theirs.
        if (MoveFileExW(original.c_str(), aside.c_str(), 0) != 0) {
            return aside;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace Vexo::Platform
