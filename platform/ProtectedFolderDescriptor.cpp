#include "platform/ProtectedFolderDescriptor.h"

namespace Vexo::Platform {

std::wstring ProtectedFolderText(OthersMay others, bool withOwner) {
    std::wstring text = withOwner ? L"O:BA" : L"";
    text += L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (others == OthersMay::Read) {
        text += L"(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AC)";
    }
    return text;
}

DWORD CreateOwnedOrByCreator(const std::function<DWORD(bool withOwner)>& create) {
    const DWORD result = create(true);
    return result == ERROR_INVALID_OWNER ? create(false) : result;
}

} // namespace Vexo::Platform
