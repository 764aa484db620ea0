#include "platform/PathPresence.h"

#include "platform/UniqueHandle.h"

#include <windows.h>

namespace Vexo::Platform {

PathPresence QueryPathPresence(const std::wstring& path) {
    // No access rights asked for: only the object's attributes, which opens
    // files that others hold exclusively too. Backup semantics open folders.
    const UniqueHandle handle(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle.valid()) {
        return PathPresence::Present;
    }
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME:
        return PathPresence::Absent;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return PathPresence::Unreadable;
    default:
        return PathPresence::Unreachable;
    }
}

} // namespace Vexo::Platform
