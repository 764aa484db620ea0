#include "platform/DelayedDeletion.h"

#include "core/Text.h"
#include "platform/FreshFile.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>

#include <cstdint>

namespace Vexo::Platform {

namespace {

// As many names as a fresh file tries.
constexpr unsigned asideNames = 10;

// In the long form: the aside name may take a path past 259 characters.
std::uint32_t Rename(const std::wstring& from, const std::wstring& to) {
    return ResultOfCall(MoveFileExW(LongForm(FullPath(from)).c_str(), LongForm(to).c_str(), 0) !=
                        0);
}

bool NameTaken(std::uint32_t windowsError) {
    return windowsError == ERROR_ALREADY_EXISTS || windowsError == ERROR_FILE_EXISTS;
}

} // namespace

bool DeleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

Expected<std::wstring> MoveAside(const std::wstring& path, unsigned long retryMilliseconds,
                                 const BeforeRename& beforeRename) {
    const std::wstring file(path.c_str());
    const std::wstring full = FullPath(file);
    std::uint32_t result = ERROR_ALREADY_EXISTS;
    for (unsigned attempt = 0; attempt < asideNames && NameTaken(result); ++attempt) {
        const std::wstring aside = FreshName(full, attempt, L"old");
        if (beforeRename && !beforeRename(aside)) {
            return Vexo::Error("Not renamed aside: " + toNarrow(file), 0);
        }
        result = RetryWhileHeld([&] { return Rename(file, aside); }, retryMilliseconds);
        if (result == ERROR_SUCCESS) {
            return aside;
        }
    }
    return Vexo::Error("Unable to rename aside " + toNarrow(file),
                       static_cast<std::int32_t>(result));
}

} // namespace Vexo::Platform
