#include "platform/DelayedDeletion.h"

#include "platform/WindowsPath.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace Vexo::Platform {

bool DeleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

namespace {

bool IsNumber(std::wstring_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t letter) {
        return letter >= L'0' && letter <= L'9';
    });
}

} // namespace

std::optional<std::wstring> MoveAside(const std::wstring& path) {
    const std::wstring original(path.c_str());
    const std::wstring stem = original + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64());
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::wstring aside = stem + L"-" + std::to_wstring(attempt) + L".old";
        // No replacing: a name someone else took stays theirs.
        if (MoveFileExW(original.c_str(), aside.c_str(), 0) != 0) {
            return aside;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool IsMovedAsideName(const std::wstring& name, const std::wstring& original) {
    // <original>.<process>-<tick>-<attempt>.old
    const std::wstring_view suffix = L".old";
    if (name.size() <= original.size() + 1 + suffix.size() ||
        !SameFile(std::wstring_view(name).substr(0, original.size()), original) ||
        name[original.size()] != L'.' || name.compare(name.size() - 4, 4, suffix) != 0) {
        return false;
    }
    std::wstring_view numbers(name);
    numbers = numbers.substr(original.size() + 1, name.size() - original.size() - 1 - 4);
    for (int part = 0; part < 2; ++part) {
        const auto dash = numbers.find(L'-');
        if (dash == std::wstring_view::npos || !IsNumber(numbers.substr(0, dash))) {
            return false;
        }
        numbers.remove_prefix(dash + 1);
    }
    return IsNumber(numbers);
}

} // namespace Vexo::Platform
