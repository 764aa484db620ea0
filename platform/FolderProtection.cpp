#include "platform/FolderProtection.h"

#include "core/Text.h"
#include "platform/FinalPath.h"
#include "platform/FullPath.h"
#include "platform/LocalMemory.h"
#include "platform/SecurityDescriptor.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace Vexo::Platform {

namespace {

// Access lists: full control for SYSTEM and Administrators, inherited by
// what is made inside, nothing inherited from above; and the same with
// reading for users.
constexpr wchar_t administratorsOnly[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr wchar_t usersMayRead[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t trustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights that change a file or folder, or what is in it.
constexpr ACCESS_MASK changingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD |
                                       DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                       GENERIC_ALL;

// The account running this process.
std::vector<BYTE> ThisAccount() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueHandle owner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return IsWellKnownSid(sid, type) != FALSE;
}

bool IsTrusted(PSID sid, const std::vector<BYTE>& account) {
    if (IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
        (!account.empty() && EqualSid(sid, const_cast<BYTE*>(account.data())))) {
        return true;
    }
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(trustedInstaller, &installer)) {
        return false;
    }
    const LocalMemory<> owner(installer);
    return EqualSid(sid, installer) != FALSE;
}

// Whether every entry that gives the right to change it goes to a trusted
// account. An entry only for what is made inside is not this object's.
bool OnlyTrustedMayChange(const ACL* acl, const std::vector<BYTE>& account) {
    if (acl == nullptr) {
        return false; // no list at all: everyone may do anything
    }
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(acl), index, &entry)) {
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;
        }
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & changingRights) == 0) {
            continue;
        }
        // Entries of other kinds put their account elsewhere: not trusted.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !IsTrusted(const_cast<DWORD*>(&allowed->SidStart), account)) {
            return false;
        }
    }
    return true;
}

// Whether the open object is what `path` names itself, not what a link or
// junction on the way leads to.
bool LeadsToItself(const UniqueHandle& object, const std::wstring& path) {
    const std::wstring final = FinalPathOf(object);
    return !final.empty() && SameFile(final, FullPath(path));
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

Protection ProtectionOf(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return Protection::Link;
    }
    const UniqueHandle object(
        CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!object.valid() || !GetFileInformationByHandle(object.get(), &information)) {
        return Protection::OthersCanChange;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !LeadsToItself(object, path)) {
        return Protection::Link;
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return Protection::OthersCanChange;
    }
    const LocalMemory<> descriptorOwner(descriptor);
    const std::vector<BYTE> account = ThisAccount();
    return owner != nullptr && IsTrusted(owner, account) && OnlyTrustedMayChange(dacl, account)
               ? Protection::AdministratorsOnly
               : Protection::OthersCanChange;
}

std::optional<UnprotectedLevel> FirstUnprotectedLevel(const std::wstring& path) {
    std::vector<std::wstring> levels;
    for (std::wstring level = path; !level.empty(); level = ParentFolder(level)) {
        levels.insert(levels.begin(), level);
        if (ParentFolder(level) == level) {
            break;
        }
    }
    for (const auto& level : levels) {
        if (GetFileAttributesW(level.c_str()) == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        const Protection protection = ProtectionOf(level);
        if (protection != Protection::AdministratorsOnly) {
            return UnprotectedLevel{protection, level};
        }
    }
    return std::nullopt;
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

Expected<bool> CreateProtectedFolder(const std::wstring& folder, OthersMay others) {
    return others == OthersMay::Nothing ? CreateAdminOnlyFolder(folder) : CreateFolder(folder);
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
        IsTrusted(owner, ThisAccount());
    const LocalMemory<> descriptorOwner(descriptor);
    return Apply(folder, others == OthersMay::Nothing ? administratorsOnly : usersMayRead,
                 !ownerTrusted);
}

} // namespace Vexo::Platform
