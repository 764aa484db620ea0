#include "platform/ReadOnlyAttribute.h"

#include "platform/UniqueHandle.h"

#include <windows.h>

namespace Vexo::Platform {

void ClearReadOnly(const std::wstring& path) {
    // Attribute access shares with every holder: a scanner that has the file
    // open does not keep its attribute.
    const UniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        information.nNumberOfLinks != 1) {
        return;
    }
    // Zero times leave them as they are; zero attributes would too, so a
    // file left with none is given the plain one.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = information.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof(basic));
}

} // namespace Vexo::Platform
