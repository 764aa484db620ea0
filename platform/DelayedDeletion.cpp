#include "platform/DelayedDeletion.h"

#include <windows.h>

namespace Vexo::Platform {

bool DeleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool MoveAside(const std::wstring& path, const std::wstring& aside) {
    return MoveFileExW(std::wstring(path.c_str()).c_str(), aside.c_str(), 0) != 0;
}

} // namespace Vexo::Platform
