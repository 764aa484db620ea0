#include "platform/SystemFolder.h"

#include <windows.h>

namespace Vexo::Platform {

namespace {

// Asks `query` for a folder: it fills a buffer of the given size and returns
// the length, or the size it needs (terminator included) when that is larger.
template <typename Query> std::optional<std::wstring> AskFolder(Query query) {
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.assign(length, L'\0');
        length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    buffer.resize(length);
    return buffer;
}

} // namespace

std::optional<std::wstring> SystemFolder() {
    return AskFolder(GetSystemDirectoryW);
}

std::optional<std::wstring> SystemFolder32() {
    return AskFolder(GetSystemWow64DirectoryW);
}

std::optional<std::wstring> WindowsFolder() {
    return AskFolder(GetSystemWindowsDirectoryW);
}

} // namespace Vexo::Platform
