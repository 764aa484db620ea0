#include "platform/DelayedDeletion.h"

#include <windows.h>

namespace Vexo::Platform {

bool DeleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

} // namespace Vexo::Platform
