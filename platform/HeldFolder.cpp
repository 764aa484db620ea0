#include "platform/HeldFolder.h"

#include <windows.h>

namespace Vexo::Platform {

std::optional<HeldFolder> HeldFolder::Hold(const std::wstring& path) {
    // Listing is an access that sharing rules count, so a rename or a
    // deletion, which needs delete sharing, is refused while this is open.
    UniqueHandle handle(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::nullopt;
    }
    return HeldFolder(std::move(handle));
}

} // namespace Vexo::Platform
