#include "sdk/PreviousInstallation.h"

#include "core/Text.h"
#include "platform/FileReader.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "platform/WindowsFolder.h"
#include "sdk/ComponentTable.h"
#include "sdk/Registrations.h"

#include <algorithm>

namespace {

using Vexo::Platform::Bitness;

RememberedFile* Find(std::vector<RememberedFile>& files, const std::wstring& path) {
    const auto known =
        std::find_if(files.begin(), files.end(), [&path](const RememberedFile& file) {
            return Vexo::Platform::SameFileOnDisc(file.path, path);
        });
    return known == files.end() ? nullptr : &*known;
}

// False when the file is there and cannot be read.
bool Remember(std::vector<RememberedFile>& files, Bitness view,
              const std::optional<std::wstring>& path) {
    if (!path || FindComponent(*path) == nullptr || !Vexo::Platform::IsPresent(*path)) {
        return true;
    }
    if (RememberedFile* known = Find(files, *path)) {
        known->views.push_back(view);
        return true;
    }
    RememberedFile file{*path, std::nullopt, std::nullopt, {view}};
    if (!Vexo::Platform::IsInWindowsFolder(*path)) {
        file.bytes = Vexo::Platform::ReadWholeFile(*path, Vexo::Platform::passingHoldMilliseconds);
        if (!file.bytes) {
            return false;
        }
        file.digest = Vexo::Platform::DigestOf(*file.bytes);
        if (!file.digest) {
            return false;
        }
    }
    files.push_back(std::move(file));
    return true;
}

} // namespace

Expected<PreviousInstallation> RememberInstallation() {
    PreviousInstallation previous{
        RegisteredPath(Bitness::Bits32), RegisteredPath(Bitness::Bits64), {}};
    for (const auto& [view, named] : {std::pair(Bitness::Bits32, previous.named32),
                                      std::pair(Bitness::Bits64, previous.named64)}) {
        if (!Remember(previous.files, view, named)) {
            return Vexo::Error("Unable to read " + toNarrow(*named) + ".", 0);
        }
    }
    return previous;
}

bool IsRemembered(const PreviousInstallation& previous, const std::wstring& path) {
    return std::any_of(previous.files.begin(), previous.files.end(),
                       [&path](const RememberedFile& file) {
                           return Vexo::Platform::SameFileOnDisc(file.path, path);
                       });
}
