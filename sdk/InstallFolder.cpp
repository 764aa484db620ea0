#include "sdk/InstallFolder.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/ApplicationPath.h"
#include "platform/FullPath.h"
#include "platform/KnownFolders.h"

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

bool IsEmptyFolder(const fs::path& folder) {
    std::error_code error;
    const bool empty =
        fs::is_directory(OnDisc(folder), error) && fs::is_empty(OnDisc(folder), error);
    return empty && !error;
}

// Creates `folder` with every missing folder above it, outermost first, and
// adds each one it made to `created`. True when it made `folder` itself.
bool CreateFolders(const fs::path& folder, std::vector<fs::path>& created, std::error_code& error) {
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
        if (!fs::create_directory(*level, error) || error) {
            return false;
        }
        created.push_back(*level);
    }
    return !missing.empty();
}

Vexo::Error CannotCreate(const fs::path& folder) {
    return Vexo::Error("Failed to create folder: " + Narrow(folder), 0);
}

// The folder exists at the end, or the reason why not: creating it failed, or
// something that is not a folder stands there.
Expected<bool> EnsureFolderExists(const fs::path& folder, std::vector<fs::path>& created) {
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
    if (!CreateFolders(folder, created, error) || error) {
        return CannotCreate(folder);
    }
    logInfo("Created: %s\n", Narrow(folder).c_str());
    return true;
}

} // namespace

void ApplyVersionFolder(fs::path& folder, const Vexo::Resources::Version& version,
                        std::vector<fs::path>& created) {
    const fs::path candidate = folder / VersionFolderName(version);
    logInfo("Install path: %s\n", Narrow(candidate).c_str());

    std::error_code error;
    if (CreateFolders(candidate, created, error) && !error) {
        folder = candidate;
        logInfo("Created: %s\n", Narrow(folder).c_str());
        return;
    }
    if (!error && IsEmptyFolder(candidate)) {
        folder = candidate;
        logInfo("Directory already created but empty...reusing: %s\n", Narrow(folder).c_str());
        return;
    }
    logWarning("Error creating install directory or directory busy: %s\n",
               Narrow(candidate).c_str());
    logInfo("Defaulting to install path: %s\n", Narrow(folder).c_str());
}

Expected<fs::path> SelectInstallFolder(fs::path path, std::vector<fs::path>& created) {
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
        .onValue([&path, &created](const Vexo::Resources::Version& version) {
            ApplyVersionFolder(path, version, created);
        })
        .onError([](const Vexo::Error& error) { logWarning("%s\n", error.message.c_str()); });

    const auto exists = EnsureFolderExists(path, created);
    if (exists.hasError()) {
        return exists.error();
    }
    return path;
}
