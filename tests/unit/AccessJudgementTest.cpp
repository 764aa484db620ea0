// Real Windows descriptors and made-up ones, parsed by the system's own
// advapi32: Wine cannot show real access lists, so this table is what checks
// the judgement for Windows.
#include "platform/AccessJudgement.h"
#include "platform/LinkTag.h"
#include "platform/LocalMemory.h"
#include "platform/SecurityDescriptor.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using Vexo::Platform::Reach;

namespace {

const std::wstring TI = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::wstring me = L"S-1-5-21-1-2-3-1001";    // the account running the tool
const std::wstring other = L"S-1-5-21-1-2-3-1002"; // any other user
const std::wstring admins = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const std::wstring programData =
    L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)(A;OICI;0x1200a9;;;BU)"
    L"(A;CI;0x116;;;BU)";
const std::wstring driveRoot = L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                               L"(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";

// Administrators own it; `sid` has `rights` of its own.
std::wstring Grant(const std::wstring& rights, const std::wstring& sid = L"BU") {
    return L"O:BAD:P(A;;" + rights + L";;;" + sid + L")";
}

std::vector<BYTE> Sid(const std::wstring& text) {
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text.c_str(), &sid));
    const Vexo::Platform::LocalMemory<> owner(sid);
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

// The judgement of `text`, its first entry made of kind `retype` when given
// (Wine's advapi32 parses no object or callback entries).
bool Judged(const std::wstring& text, Reach reach, const std::vector<BYTE>& account,
            std::optional<BYTE> retype) {
    const auto descriptor = Vexo::Platform::SecurityDescriptor::FromText(text.c_str());
    EXPECT_TRUE(descriptor.hasValue()) << "unparsed";
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    void* entry = nullptr;
    if (descriptor.hasError()) {
        return false;
    }
    if (retype &&
        GetSecurityDescriptorDacl(descriptor.value().get(), &present, &dacl, &defaulted) &&
        dacl != nullptr && GetAce(dacl, 0, &entry)) {
        static_cast<ACE_HEADER*>(entry)->AceType = *retype;
    }
    return Vexo::Platform::OnlyTrustedMayChange(descriptor.value().get(), account, reach);
}

TEST(AccessJudgement, OnlyTrustedOwnersAndRightsPass) {
    const Reach place = Reach::Place;
    const Reach contents = Reach::Contents;
    const struct {
        const char* name;
        std::wstring text;
        Reach reach;
        bool expected;
        std::optional<BYTE> retype{};
    } rows[] = {
        {"Program Files",
         L"O:" + TI + L"G:" + TI +
             L"D:PAI(A;OICIIO;GA;;;CO)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;BA)"
             L"(A;;0x1301bf;;;BA)(A;OICIIO;GXGR;;;BU)(A;;0x1200a9;;;BU)(A;CIIO;GA;;;" +
             TI + L")(A;;FA;;;" + TI + L")(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)",
         place, true},
        {"made in Program Files",
         L"O:BAG:SYD:AI(A;ID;FA;;;" + TI + L")(A;CIIOID;GA;;;" + TI +
             L")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)"
             L"(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)"
             L"(A;ID;0x1200a9;;;AC)(A;OICIIOID;GXGR;;;AC)",
         contents, true},
        {"ProgramData on the way", programData, place, true},
        {"ProgramData holding", programData, contents, false},
        {"a user's folder in ProgramData",
         L"O:" + other + L"D:AI(A;OICI;FA;;;" + other + L")(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)",
         place, false},
        {"made in C:\\", L"O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)", place, false},
        {"C:\\ of SYSTEM", L"O:SY" + driveRoot, place, true},
        {"C:\\ of TrustedInstaller", L"O:" + TI + driveRoot, place, true},
        {"creator owner's own entry", Grant(L"0x1301bf", L"CO"), place, false},
        {"TrustedInstaller", Grant(L"FA", TI), contents, true},
        {"this account", L"O:" + me + L"D:P(A;;FA;;;" + me + L")", contents, true},
        {"another user may change it", Grant(L"FA", other), place, false},
        {"another user owns it", L"O:" + other + admins, place, false},
        {"no owner", admins, place, false},
        {"no access list", L"O:BA", place, false},
        {"a user denied, Users may write",
         L"O:BA" + admins + L"(D;;FA;;;" + other + L")" + L"(A;;FA;;;BU)", contents, false},
        {"a user denied, admins only", L"O:BA" + admins + L"(D;;FA;;;" + other + L")", contents,
         true},
        {"Users: all", Grant(L"GA"), place, false},
        {"Users: write", Grant(L"GW"), contents, false},
        {"Users: read", Grant(L"GR"), contents, true},
        {"Users: access list", Grant(L"0x40000"), place, false},
        {"Users: access list, holding", Grant(L"0x40000"), contents, false},
        {"Users: owner", Grant(L"0x80000"), place, false},
        {"Users: delete", Grant(L"0x10000"), place, false},
        {"Users: add a file on the way", Grant(L"0x2"), place, true},
        {"Users: add a file", Grant(L"0x2"), contents, false},
        {"object entry", Grant(L"FA", L"SY"), place, false, ACCESS_ALLOWED_OBJECT_ACE_TYPE},
        {"callback entry", Grant(L"FA", L"SY"), place, false, ACCESS_ALLOWED_CALLBACK_ACE_TYPE},
        {"callback object entry: read", Grant(L"0x1200a9"), place, true,
         ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE},
        {"object deny", Grant(L"FA"), place, true, ACCESS_DENIED_OBJECT_ACE_TYPE},
    };
    const std::vector<BYTE> account = Sid(me);
    for (const auto& row : rows) {
        EXPECT_EQ(Judged(row.text, row.reach, account, row.retype), row.expected) << row.name;
    }
    // Without a known account, only the well-known ones are trusted.
    EXPECT_FALSE(Judged(L"O:" + me + L"D:P(A;;FA;;;" + me + L")", place, {}, {}));
    // What the system reads as D:NO_ACCESS_CONTROL: everyone may do anything.
    SECURITY_DESCRIPTOR open{};
    std::vector<BYTE> administrators = Sid(L"S-1-5-32-544");
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorOwner(&open, administrators.data(), FALSE) &&
                SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_FALSE(Vexo::Platform::OnlyTrustedMayChange(&open, {}, place));
}

TEST(AccessJudgement, OnlySymbolicLinksAndJunctionsLeadElsewhere) {
    const DWORD reparse = FILE_ATTRIBUTE_REPARSE_POINT;
    const struct {
        DWORD attributes;
        DWORD tag;
        bool link;
    } rows[] = {{reparse, IO_REPARSE_TAG_SYMLINK, true},
                {reparse | FILE_ATTRIBUTE_DIRECTORY, IO_REPARSE_TAG_MOUNT_POINT, true},
                {reparse, IO_REPARSE_TAG_DEDUP, false},
                {reparse | FILE_ATTRIBUTE_DIRECTORY, IO_REPARSE_TAG_CLOUD_6, false},
                {FILE_ATTRIBUTE_NORMAL, IO_REPARSE_TAG_SYMLINK, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(Vexo::Platform::IsLinkReparsePoint(row.attributes, row.tag), row.link)
            << std::hex << row.tag;
    }
}

} // namespace
