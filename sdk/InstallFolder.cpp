#include "sdk/InstallFolder.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/ApplicationPath.h"
#include "platform/DelayedDeletion.h"
#include "platform/FileRemoval.h"
#include "platform/FullPath.h"
#include "platform/KnownFolders.h"
#include "sdk/ComponentTable.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Narrow(const fs::path& path) {
    return toNarrow(path.wstring());
}

std::wstring VersionFolderName(const Vexo::Resources::Version& version) {
    return std::to_wstring(version.major) + L"_" + std::to_wstring(version.minor) + L"_" +
           std::to_wstring(version.build);
}

// Where `path` is on disc. A drive-relative path ("C:", "C:sdk") names a
// place in the current folder of that drive, which the file-system library
// does not resolve itself; the logs keep the path as it was given.
fs::path OnDisc(const fs::path& path) {
    if (path.has_root_name() && !path.has_root_directory()) {
        return Vexo::Platform::FullPath(path.wstring());
    }
    return path;
}

bool IsAsideCopy(const fs::path& file) {
    const std::wstring name = file.filename().wstring();
    return std::any_of(ComponentTable.begin(), ComponentTable.end(),
                       [&name](const SdkComponent& component) {
                           return Vexo::Platform::IsMovedAsideName(name, component.fileName);
                       });
}

// What this tool itself leaves in a version folder: the SDK's DLLs (an
// install writes over them) and the copies of them that a run renamed aside
// for the next restart.
bool IsOwnLeftover(const fs::directory_entry& entry) {
    std::error_code error;
    return entry.is_regular_file(error) && !error &&
           (FindComponent(entry.path().wstring()) != nullptr || IsAsideCopy(entry.path()));
}

// The folder holds nothing, or nothing but this tool's own leftovers.
bool HoldsNothingElse(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(OnDisc(folder), error) || error) {
        return false;
    }
    fs::directory_iterator entries(OnDisc(folder), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (!IsOwnLeftover(*entries)) {
            return false;
        }
    }
    return !error;
}

// Deletes the copies renamed aside where nothing has them in use any more;
// one still in use is deleted at the restart it was scheduled for.
void DeleteAsideCopies(const fs::path& folder) {
    FileList copies;
    std::error_code error;
    fs::directory_iterator entries(OnDisc(folder), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (IsAsideCopy(entries->path())) {
            copies.push_back(FileEntry{entries->path().wstring(), true, false});
        }
    }
    for (const auto& copy : DeleteFiles(copies)) {
        if (copy.deleted) {
            logInfo("Deleted: %s\n", toNarrow(copy.path).c_str());
        }
    }
}

// Creates `folder` with every missing folder above it, outermost first,
// noting each one in `changes` before it makes it. True when it made
// `folder` itself.
bool CreateFolders(const fs::path& folder, InstallChanges& changes, std::error_code& error) {
    std::vector<fs::path> missing;
    for (fs::path level = OnDisc(folder); !level.empty(); level = level.parent_path()) {
        if (fs::exists(level, error) || error || level == level.parent_path()) {
            break;
        }
        missing.push_back(level);
    }
    if (error) {
        return false;
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        if (!changes.AboutToCreateFolder(*level) || !fs::create_directory(*level, error) || error) {
            return false;
        }
    }
    return !missing.empty();
}

Vexo::Error CannotCreate(const fs::path& folder) {
    return Vexo::Error("Failed to create folder: " + Narrow(folder), 0);
}

// The folder exists at the end, or the reason why not: creating it failed, or
// something that is not a folder stands there.
Expected<bool> EnsureFolderExists(const fs::path& folder, InstallChanges& changes) {
    std::error_code error;
    const fs::file_status status = fs::status(OnDisc(folder), error);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            return CannotCreate(folder);
        }
        return true;
    }
    if (error && status.type() != fs::file_type::not_found) {
        return CannotCreate(folder);
    }
    if (!CreateFolders(folder, changes, error) || error) {
        return CannotCreate(folder);
    }
    logInfo("Created: %s\n", Narrow(folder).c_str());
    return true;
}

} // namespace

void ApplyVersionFolder(fs::path& folder, const Vexo::Resources::Version& version,
                        InstallChanges& changes) {
    const fs::path candidate = folder / VersionFolderName(version);
    logInfo("Install path: %s\n", Narrow(candidate).c_str());

    std::error_code error;
    if (CreateFolders(candidate, changes, error) && !error) {
        folder = candidate;
        logInfo("Created: %s\n", Narrow(folder).c_str());
        return;
    }
    if (!error && HoldsNothingElse(candidate)) {
        folder = candidate;
        logInfo("Directory already created but empty...reusing: %s\n", Narrow(folder).c_str());
        DeleteAsideCopies(folder);
        return;
    }
    logWarning("Error creating install directory or directory busy: %s\n",
               Narrow(candidate).c_str());
    logInfo("Defaulting to install path: %s\n", Narrow(folder).c_str());
}

Expected<fs::path> SelectInstallFolder(fs::path path, InstallChanges& changes) {
    if (path.empty()) {
        path = L".";
    }
    if (path == fs::path(L".")) {
        const auto program = ApplicationPath();
        if (program.hasError()) {
            return program.error();
        }
        // The separator before the file name stays: C:\Tools\ for C:\Tools\tool.exe.
        path = fs::path(program.value()).remove_filename();
    }

    logInfo("Expanding: %s\n", Narrow(path).c_str());
    path = ExpandKnownFolders(path.wstring(), MakeKnownFolderMap());
    logInfo("Expanded: %s\n", Narrow(path).c_str());

    Vexo::Resources::ReadVersion()
        .onValue([&path, &changes](const Vexo::Resources::Version& version) {
            ApplyVersionFolder(path, version, changes);
        })
        .onError([](const Vexo::Error& error) { logWarning("%s\n", error.message.c_str()); });

    const auto exists = EnsureFolderExists(path, changes);
    if (exists.hasError()) {
        return exists.error();
    }
    return path;
}
