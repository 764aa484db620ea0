#include "platform/Wow64Path.h"

#include "platform/FullPath.h"
#include "platform/SystemFolder.h"
#include "platform/WindowsPath.h"

#include <optional>

namespace Vexo::Platform {

namespace {

// Folders of System32 that 32-bit programs see as they are.
bool IsLeftAlone(const std::wstring& rest) {
    for (const auto* shared : {L"\\catroot", L"\\catroot2", L"\\driverstore", L"\\drivers\\etc",
                               L"\\logfiles", L"\\spool"}) {
        if (RestBelow(rest, shared)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::wstring FileSeenBy32BitPrograms(const std::wstring& path) {
    std::wstring text(path.c_str());
    const auto windows = WindowsFolder();
    const auto system = SystemFolder();
    const auto system32 = SystemFolder32();
    if (!windows || !system || !system32) {
        return text; // a system without 32-bit programs redirects nothing
    }
    const std::wstring full = FullPath(text);
    if (const auto rest = RestBelow(full, *system); rest && !IsLeftAlone(*rest)) {
        return *system32 + *rest;
    }
    if (const auto rest = RestBelow(full, *windows + L"\\Sysnative")) {
        return *system + *rest;
    }
    return text;
}

} // namespace Vexo::Platform
