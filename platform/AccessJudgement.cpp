#include "platform/AccessJudgement.h"

#include "platform/LocalMemory.h"
#include "platform/UniqueHandle.h"

#include <sddl.h>

namespace Vexo::Platform {

namespace {

constexpr wchar_t trustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights by which others could rename, replace or delete the object or what
// lies in it, or change who may. Creating something new of one's own in a
// folder on the way is fine: C:\ lets users make folders there.
constexpr ACCESS_MASK placeRights =
    DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
// Where the DLLs lie, or in a file itself, adding or writing is changing too.
constexpr ACCESS_MASK contentsRights =
    placeRights | FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE;

ACCESS_MASK CountedRights(Reach reach) {
    return reach == Reach::Place ? placeRights : contentsRights;
}

bool IsTrustedInstaller(PSID sid) {
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(trustedInstaller, &installer)) {
        return false;
    }
    const LocalMemory<> owner(installer);
    return EqualSid(sid, installer) != FALSE;
}

bool IsDeny(BYTE type) {
    switch (type) {
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        return true;
    default:
        return false;
    }
}

// Whether the entry leaves the counted rights to trusted accounts. A deny
// entry grants nothing, and stops only its own account; an inherit-only
// entry is for what is made inside, not for this object.
bool EntryKeepsOthersOut(const ACE_HEADER* header, ACCESS_MASK counted,
                         const std::vector<BYTE>& account) {
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || IsDeny(header->AceType)) {
        return true;
    }
    // Every kind of entry holds its rights right after its header.
    const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    if ((allowed->Mask & counted) == 0) {
        return true;
    }
    // Object, callback and compound entries hold their account elsewhere, or
    // grant under conditions: which account they serve cannot be told safely.
    return header->AceType == ACCESS_ALLOWED_ACE_TYPE &&
           IsTrusted(const_cast<DWORD*>(&allowed->SidStart), account);
}

bool OwnerTrusted(PSECURITY_DESCRIPTOR descriptor, const std::vector<BYTE>& account) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr &&
           IsTrusted(owner, account);
}

bool AccessListTrusted(PSECURITY_DESCRIPTOR descriptor, const std::vector<BYTE>& account,
                       Reach reach) {
    BOOL present = FALSE;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == nullptr) {
        return false; // no list at all: everyone may do anything
    }
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry) ||
            !EntryKeepsOthersOut(static_cast<const ACE_HEADER*>(entry), CountedRights(reach),
                                 account)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsTrusted(PSID sid, const std::vector<BYTE>& account) {
    return IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsTrustedInstaller(sid) ||
           (!account.empty() && EqualSid(sid, const_cast<BYTE*>(account.data())));
}

std::vector<BYTE> RunningAccount() {
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

bool OnlyTrustedMayChange(PSECURITY_DESCRIPTOR descriptor, const std::vector<BYTE>& account,
                          Reach reach) {
    // An owner can always rewrite the access list.
    return OwnerTrusted(descriptor, account) && AccessListTrusted(descriptor, account, reach);
}

} // namespace Vexo::Platform
