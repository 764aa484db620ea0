#include "sdk/InstallFolder.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/ApplicationPath.h"
#include "platform/FileRemoval.h"
#include "platform/FolderProtection.h"
#include "platform/FullPath.h"
#include "platform/MissingFolders.h"
#include "platform/KnownFolders.h"
#include "platform/Resources.h"
#include "platform/WindowsFolder.h"
#include "sdk/ComponentTable.h"
#include "sdk/FileDeletion.h"

#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The longest path a program without long-path support can load a DLL from
// (MAX_PATH less its terminating NUL).
constexpr std::size_t longestDllPath = 259;

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

// A copy of an SDK DLL that a run made beside it: renamed aside for a
// restart, or written and never put in place because the run was stopped.
bool IsCopyItMade(const std::wstring& path) {
    return IsCopyOfComponent(path, L"old") || IsCopyOfComponent(path, L"new");
}

// What this tool itself leaves in a version folder: the SDK's DLLs (an
// install writes over them) and the copies of them that it made beside them.
bool IsOwnLeftover(const fs::directory_entry& entry) {
    std::error_code error;
    const std::wstring path = entry.path().wstring();
    return entry.is_regular_file(error) && !error &&
           (FindComponent(path) != nullptr || IsCopyItMade(path));
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

// The files as they are to lie in `folder`.
std::vector<MadeFile> FilesIn(const fs::path& folder, const std::vector<MadeFile>& files) {
    std::vector<MadeFile> placed;
    placed.reserve(files.size());
    for (const auto& file : files) {
        placed.push_back(MadeFile{(folder / file.path).wstring(), file.digest});
    }
    return placed;
}

// Creates `folder` with every missing folder above it, outermost first,
// noting them in `changes` before it makes them. True when it made
// `folder` itself.
bool CreateFolders(const fs::path& folder, const std::vector<MadeFile>& files, RunChanges& changes,
                   std::error_code& error) {
    const std::vector<fs::path> missing = Vexo::Platform::MissingFolders(OnDisc(folder), error);
    if (error || missing.empty() ||
        !changes.AboutToCreateFolders(missing, FilesIn(folder, files))) {
        return false;
    }
    for (auto level = missing.begin(); level != missing.end(); ++level) {
        // Made with an access list of its own, never taken over from a
        // folder someone else made there first.
        if (Vexo::Platform::CreateProtectedFolder(level->wstring(), Vexo::Platform::OthersMay::Read)
                .hasError()) {
            changes.NotCreated(std::vector<fs::path>(level, missing.end()));
            return false;
        }
    }
    return true;
}

Vexo::Error CannotCreate(const fs::path& folder, const RunChanges& changes) {
    if (changes.writeAheadFailure) {
        return *changes.writeAheadFailure;
    }
    return Vexo::Error("Failed to create folder: " + Narrow(folder), 0);
}

// The folder exists at the end, or the reason why not: creating it failed, or
// something that is not a folder stands there.
Expected<bool> EnsureFolderExists(const fs::path& folder, const std::vector<MadeFile>& files,
                                  RunChanges& changes) {
    std::error_code error;
    const fs::file_status status = fs::status(OnDisc(folder), error);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            return CannotCreate(folder, changes);
        }
        return true;
    }
    if (error && status.type() != fs::file_type::not_found) {
        return CannotCreate(folder, changes);
    }
    if (!CreateFolders(folder, files, changes, error) || error) {
        return CannotCreate(folder, changes);
    }
    logInfo("Created: %s\n", Narrow(folder).c_str());
    return true;
}

// Windows serves neither a DLL in its own folder to the tool, nor one whose
// path is too long to a program that loads it; nothing is made for either.
Expected<bool> CheckPlace(const fs::path& folder, const std::vector<MadeFile>& files) {
    if (Vexo::Platform::IsInWindowsFolder(OnDisc(folder).wstring())) {
        return Vexo::Error("Not installed, in the Windows folder: " + Narrow(folder), 0);
    }
    for (const auto& file : files) {
        const std::wstring dll = Vexo::Platform::FullPath((OnDisc(folder) / file.path).wstring());
        if (dll.size() > longestDllPath) {
            return Vexo::Error("Install path too long: " + toNarrow(dll), 0);
        }
    }
    // Whoever can change the folder, or rename one on the way to it, can put
    // their own DLL where the elevated regsvr32 and every later program load
    // it from.
    if (const auto level = Vexo::Platform::FirstUnprotectedLevel(OnDisc(folder).wstring())) {
        return Vexo::Error(
            "Not installed, in a folder that others can change: " + toNarrow(level->level), 0);
    }
    return true;
}

void LogBusy(const fs::path& candidate, const fs::path& base) {
    logWarning("Error creating install directory or directory busy: %s\n",
               Narrow(candidate).c_str());
    logInfo("Defaulting to install path: %s\n", Narrow(base).c_str());
}

// The version sub-folder where it can be made or holds nothing but this
// tool's leftovers, after the checks; the base folder otherwise.
Expected<fs::path> ApplyVersionFolder(const fs::path& base, const Vexo::Resources::Version& version,
                                      const std::vector<MadeFile>& files, RunChanges& changes) {
    const fs::path candidate = base / VersionFolderName(version);
    logInfo("Install path: %s\n", Narrow(candidate).c_str());
    std::error_code error;
    const bool missing = !fs::exists(OnDisc(candidate), error) && !error;
    if (!missing && !HoldsNothingElse(candidate)) {
        LogBusy(candidate, base);
        return base;
    }
    const auto place = CheckPlace(candidate, files);
    if (place.hasError()) {
        return place.error();
    }
    if (!missing) {
        logInfo("Directory already created but empty...reusing: %s\n", Narrow(candidate).c_str());
        // The copies it made beside the DLLs go where nothing has them in
        // use any more; one still in use goes at the restart it waits for.
        DeleteCopiesIn(OnDisc(candidate).wstring(), {L"old", L"new"});
        return candidate;
    }
    if (CreateFolders(candidate, files, changes, error) && !error) {
        logInfo("Created: %s\n", Narrow(candidate).c_str());
        return candidate;
    }
    if (changes.writeAheadFailure) {
        return *changes.writeAheadFailure;
    }
    LogBusy(candidate, base);
    return base;
}

// The base folder before its tokens are expanded: empty or "." is the
// program's own folder.
Expected<fs::path> BaseAsTyped(fs::path path) {
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
    return path;
}

} // namespace

Expected<bool> JudgeInstallFolder(fs::path path) {
    auto base = BaseAsTyped(std::move(path));
    if (base.hasError()) {
        return true; // the selection itself reports it
    }
    path = ExpandKnownFolders(base.value().wstring(), MakeKnownFolderMap());
    if (const auto version = Vexo::Resources::ReadVersion(); version.hasValue()) {
        const fs::path candidate = path / VersionFolderName(version.value());
        std::error_code error;
        if ((!fs::exists(OnDisc(candidate), error) && !error) || HoldsNothingElse(candidate)) {
            path = candidate;
        }
    }
    std::vector<MadeFile> files;
    files.reserve(ComponentTable.size());
    for (const auto& component : ComponentTable) {
        files.push_back(MadeFile{component.fileName, {}});
    }
    return CheckPlace(path, files);
}

Expected<fs::path> SelectInstallFolder(fs::path path, const std::vector<MadeFile>& files,
                                       RunChanges& changes) {
    auto base = BaseAsTyped(std::move(path));
    if (base.hasError()) {
        return base.error();
    }
    path = std::move(base.value());

    logInfo("Expanding: %s\n", Narrow(path).c_str());
    path = ExpandKnownFolders(path.wstring(), MakeKnownFolderMap());
    logInfo("Expanded: %s\n", Narrow(path).c_str());

    // A version folder that is chosen has been checked already.
    bool checked = false;
    const auto version = Vexo::Resources::ReadVersion();
    if (version.hasError()) {
        logWarning("%s\n", version.error().message.c_str());
    } else {
        auto chosen = ApplyVersionFolder(path, version.value(), files, changes);
        if (chosen.hasError()) {
            return chosen.error();
        }
        checked = chosen.value() != path;
        path = chosen.value();
    }

    if (!checked) {
        const auto place = CheckPlace(path, files);
        if (place.hasError()) {
            return place.error();
        }
    }
    const auto exists = EnsureFolderExists(path, files, changes);
    if (exists.hasError()) {
        return exists.error();
    }
    return path;
}
