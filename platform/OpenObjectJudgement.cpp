#include "platform/OpenObjectJudgement.h"

#include "platform/FinalPath.h"
#include "platform/FullPath.h"
#include "platform/LinkTag.h"
#include "platform/LocalMemory.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>
#include <aclapi.h>

namespace Vexo::Platform {

Expected<bool> LeadsElsewhere(const UniqueHandle& object, const std::wstring& path) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(object.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
        return LastWindowsError("reading the reparse tag");
    }
    if (IsLinkReparsePoint(tag.FileAttributes, tag.ReparseTag)) {
        return true;
    }
    // A final path the system cannot tell is not known to be this one.
    const std::wstring final = FinalPathOf(object);
    return final.empty() || !SameFile(final, FullPath(path));
}

Expected<bool> OnlyTrustedMayChange(const UniqueHandle& object, Reach reach) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return LastWindowsError("reading the access list");
    }
    const LocalMemory<> owner(descriptor);
    return OnlyTrustedMayChange(descriptor, RunningAccount(), reach);
}

} // namespace Vexo::Platform
