#include "sdk/InstallChanges.h"

#include <algorithm>
#include <iterator>

namespace {

bool KeepIfAsked(const InstallChanges& changes) {
    return !changes.keep || changes.keep(changes);
}

template <typename Path>
bool Note(InstallChanges& changes, std::vector<Path>& list, const Path& path) {
    list.push_back(path);
    return KeepIfAsked(changes);
}

} // namespace

bool InstallChanges::AboutToCreateFolder(const std::filesystem::path& folder) {
    return Note(*this, createdFolders, folder);
}

bool InstallChanges::AboutToWrite(const std::wstring& file) {
    return Note(*this, written, file);
}

bool InstallChanges::AboutToRegister(const std::wstring& file) {
    return Note(*this, handedToRegsvr32, file);
}

void InstallChanges::NotWritten(const std::wstring& file) {
    const auto last = std::find(written.rbegin(), written.rend(), file);
    if (last != written.rend()) {
        written.erase(std::next(last).base());
        KeepIfAsked(*this);
    }
}

void InstallChanges::Registered(const std::wstring& file) {
    // Already done: a failure to keep it only means a later run unregisters
    // it because a registration names it, as it would anyway.
    Note(*this, registered, file);
}
