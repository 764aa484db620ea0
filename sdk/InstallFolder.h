#pragma once

#include "core/Expected.h"
#include "sdk/RunChanges.h"

#include <filesystem>
#include <vector>

// Turns the --path value into the install folder and makes sure it exists:
// empty or "." is the program's own folder, known-folder tokens are
// expanded, and a version folder (major_minor_build) is used unless one that
// holds something else than this tool's own leftovers (the SDK's DLLs and
// the copies of them it made beside them, which it deletes where it can) is
// already there. Before anything is made, it refuses a folder in the
// Windows folder ("Not installed, in the Windows folder: <folder>") and one
// where a DLL path would be longer than Windows serves ("Install path too
// long: <DLL path>"). Fails with "Failed to create folder: " and the path
// when no folder can be had there. The folders it makes are noted in
// `changes` before they are made, outermost first, with `files` (by name)
// as the files to be written into the innermost one.
// The same choice made silently, before anything changes, and judged by
// the same rules, and also refused ("Not installed, in a folder that others
// can change: <folder>") when others could change the folder or rename one on
// the way to it. An accepted folder is judged again as it is selected.
Expected<bool> JudgeInstallFolder(std::filesystem::path path);

Expected<std::filesystem::path> SelectInstallFolder(std::filesystem::path path,
                                                    const std::vector<MadeFile>& files,
                                                    RunChanges& changes);
