#include "platform/WindowsFolder.h"

#include "platform/FileIdentity.h"
#include "platform/FinalPath.h"
#include "platform/FullPath.h"
#include "platform/SystemFolder.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsPath.h"

#include <windows.h>

#include <optional>

namespace Vexo::Platform {

namespace {

// What the file or folder at the path is on disc, and where it really is
// (links and junctions followed, the \\?\ form taken off).
struct Identity {
    FileIdentity file;
    std::wstring finalPath;
};

std::optional<Identity> IdentityOf(const std::wstring& path) {
    const UniqueHandle object(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!object.valid() || !GetFileInformationByHandle(object.get(), &information)) {
        return std::nullopt;
    }
    return Identity{FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                                 information.nFileIndexLow},
                    FinalPathOf(object)};
}

// The nearest of `path` and the folders above it that is there.
std::optional<Identity> NearestExisting(std::wstring path) {
    for (;;) {
        if (auto identity = IdentityOf(path)) {
            return identity;
        }
        const std::wstring parent = ParentFolder(path);
        if (parent.empty() || parent == path) {
            return std::nullopt;
        }
        path = parent;
    }
}

} // namespace

bool IsInWindowsFolder(const std::wstring& path) {
    const auto folder = WindowsFolder();
    const auto windows = folder ? IdentityOf(*folder) : std::nullopt;
    auto level = NearestExisting(FullPath(path));
    if (!windows || !level) {
        return false;
    }
    // Up from where the path really leads: every folder on that way is there.
    for (std::wstring way = level->finalPath; level; level = IdentityOf(way)) {
        if (level->file == windows->file) {
            return true;
        }
        const std::wstring parent = ParentFolder(way);
        if (parent.empty() || parent == way) {
            break;
        }
        way = parent;
    }
    return false;
}

} // namespace Vexo::Platform
