#include "platform/FolderProtection.h"

#include "core/Text.h"
#include "platform/FullPath.h"
#include "platform/LocalMemory.h"
#include "platform/OpenObjectJudgement.h"
#include "platform/ProtectedFolderDescriptor.h"
#include "platform/SecurityDescriptor.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>
#include <aclapi.h>

#include <optional>
#include <utility>
#include <vector>

namespace Vexo::Platform {

namespace {

// What is at `path` judged as `reach`, through one handle opened without
// following a link; nothing when nothing is there.
std::optional<Protection> ProtectionIfPresent(const std::wstring& path, Reach reach) {
    const UniqueHandle object(
        CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!object.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::nullopt;
        }
        return Protection::OthersCanChange;
    }
    const auto elsewhere = LeadsElsewhere(object, path);
    if (elsewhere.hasError()) {
        return Protection::OthersCanChange;
    }
    if (elsewhere.value()) {
        return Protection::Link;
    }
    const auto trusted = OnlyTrustedMayChange(object, reach);
    return trusted.hasValue() && trusted.value() ? Protection::AdministratorsOnly
                                                 : Protection::OthersCanChange;
}

// The folders above `path`, from its root down.
std::vector<std::wstring> FoldersAbove(const std::wstring& path) {
    std::vector<std::wstring> folders;
    std::wstring below = path;
    for (std::wstring level = ParentFolder(below); !level.empty() && !SameFile(level, below);
         level = ParentFolder(below)) {
        folders.insert(folders.begin(), level);
        below = level;
    }
    return folders;
}

} // namespace

Protection ProtectionOf(const std::wstring& path, Reach reach) {
    return ProtectionIfPresent(path, reach).value_or(Protection::OthersCanChange);
}

std::optional<UnprotectedLevel> FirstUnprotectedLevel(const std::wstring& path) {
    // "\\?\C:\..." is judged as "C:\...": the long form's own root is no
    // folder to open. "C:\Tools\" is the folder C:\Tools.
    std::wstring full = FullPath(path);
    if (full.rfind(L"\\\\?\\", 0) == 0 && full.size() > 6 && full[5] == L':') {
        full.erase(0, 4);
    }
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    std::vector<std::pair<std::wstring, Reach>> levels;
    for (auto& folder : FoldersAbove(full)) {
        levels.emplace_back(std::move(folder), Reach::Place);
    }
    levels.emplace_back(full, Reach::Contents);
    for (const auto& [level, reach] : levels) {
        const auto protection = ProtectionIfPresent(level, reach);
        if (protection && *protection != Protection::AdministratorsOnly) {
            return UnprotectedLevel{*protection, level};
        }
    }
    return std::nullopt;
}

Expected<bool> CreateProtectedFolder(const std::wstring& folder, OthersMay others) {
    const DWORD result = CreateOwnedOrByCreator([&](bool withOwner) -> DWORD {
        const std::wstring text = ProtectedFolderText(others, withOwner);
        const auto descriptor = SecurityDescriptor::FromText(text.c_str());
        if (descriptor.hasError()) {
            return static_cast<DWORD>(descriptor.error().code);
        }
        SECURITY_ATTRIBUTES attributes = descriptor.value().Attributes();
        return CreateDirectoryW(folder.c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
    });
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return LastWindowsError("creating a protected folder");
    }
    return true;
}

} // namespace Vexo::Platform
