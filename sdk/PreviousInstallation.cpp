#include "sdk/PreviousInstallation.h"

#include "platform/FileReader.h"
#include "platform/FullPath.h"
#include "platform/PathPresence.h"
#include "sdk/ComponentTable.h"
#include "sdk/Registrations.h"

#include <algorithm>

namespace {

using Vexo::Platform::Bitness;

void Remember(std::vector<RememberedFile>& files, Bitness view,
              const std::optional<std::wstring>& path) {
    if (!path || FindComponent(*path) == nullptr || !Vexo::Platform::IsPresent(*path)) {
        return;
    }
    const auto known =
        std::find_if(files.begin(), files.end(), [&path](const RememberedFile& file) {
            return Vexo::Platform::SameFileOnDisc(file.path, *path);
        });
    if (known != files.end()) {
        known->views.push_back(view);
        return;
    }
    files.push_back(RememberedFile{*path, Vexo::Platform::ReadWholeFile(*path), {view}});
}

} // namespace

PreviousInstallation RememberInstallation() {
    PreviousInstallation previous{
        RegisteredPath(Bitness::Bits32), RegisteredPath(Bitness::Bits64), {}};
    Remember(previous.files, Bitness::Bits32, previous.named32);
    Remember(previous.files, Bitness::Bits64, previous.named64);
    return previous;
}
