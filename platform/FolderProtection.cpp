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

// Access lists: full control for SYSTEM and Administrators, inherited by
// what is made inside, nothing inherited from above; and the same with
// reading for users.
constexpr wchar_t administratorsOnly[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr wchar_t usersMayRead[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

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

// Gives the folder the access list of `text`, and Administrators as its
// owner when asked.
Expected<bool> Apply(const std::wstring& folder, const wchar_t* text, bool setOwner) {
    const auto descriptor = SecurityDescriptor::FromText(text);
    if (descriptor.hasError()) {
        return descriptor.error();
    }
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    GetSecurityDescriptorDacl(descriptor.value().get(), &present, &dacl, &defaulted);
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(administrators);
    if (setOwner &&
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)) {
        return LastWindowsError("protecting " + toNarrow(folder));
    }
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    if (setOwner) {
        what |= OWNER_SECURITY_INFORMATION;
    }
    std::wstring name = folder;
    const DWORD result =
        SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what,
                              setOwner ? administrators : nullptr, nullptr, dacl, nullptr);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return LastWindowsError("protecting " + toNarrow(folder));
    }
    return true;
}

} // namespace

Protection ProtectionOf(const std::wstring& path, Reach reach) {
    return ProtectionIfPresent(path, reach).value_or(Protection::OthersCanChange);
}

std::optional<UnprotectedLevel> FirstUnprotectedLevel(const std::wstring& path) {
    const std::wstring full = FullPath(path);
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

Expected<bool> CreateFolder(const std::wstring& folder) {
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        return LastWindowsError("creating a folder");
    }
    return true;
}

Expected<bool> CreateAdminOnlyFolder(const std::wstring& folder) {
    // The owner is the creator's: Administrators for an elevated run.
    const auto descriptor = SecurityDescriptor::FromText(administratorsOnly);
    if (descriptor.hasError()) {
        return descriptor.error();
    }
    SECURITY_ATTRIBUTES attributes = descriptor.value().Attributes();
    if (!CreateDirectoryW(folder.c_str(), &attributes)) {
        return LastWindowsError("creating a folder");
    }
    return true;
}

Expected<bool> Protect(const std::wstring& folder, OthersMay others) {
    // Its owner could give itself any access again: one that is not trusted
    // is replaced by Administrators.
    const UniqueHandle object(CreateFileW(
        folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool ownerTrusted =
        object.valid() &&
        GetSecurityInfo(object.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
        IsTrusted(owner, RunningAccount());
    const LocalMemory<> descriptorOwner(descriptor);
    return Apply(folder, others == OthersMay::Nothing ? administratorsOnly : usersMayRead,
                 !ownerTrusted);
}

} // namespace Vexo::Platform
