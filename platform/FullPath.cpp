#include "platform/FullPath.h"

#include "platform/WindowsPath.h"

#include <windows.h>

#include <algorithm>

namespace Vexo::Platform {

std::wstring FullPath(const std::wstring& path) {
    std::wstring text(path.c_str());
    const DWORD needed = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return text;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(text.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return text;
    }
    full.resize(length);
    return full;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the comparison is symmetric.
bool SameFileOnDisc(const std::wstring& left, const std::wstring& right) {
    return SameFile(FullPath(left), FullPath(right));
}

bool AnySameFileOnDisc(const std::vector<std::wstring>& paths, const std::wstring& path) {
    return std::any_of(paths.begin(), paths.end(),
                       [&path](const std::wstring& known) { return SameFileOnDisc(known, path); });
}

void AddOnce(std::vector<std::wstring>& paths, const std::wstring& path) {
    const std::wstring text(path.c_str());
    if (!AnySameFileOnDisc(paths, text)) {
        paths.push_back(text);
    }
}

} // namespace Vexo::Platform
