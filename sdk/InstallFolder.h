#pragma once

#include "core/Expected.h"
#include "platform/Resources.h"

#include <filesystem>
#include <vector>

// Turns the --path value into the install folder and makes sure it exists:
// empty or "." is the program's own folder, known-folder tokens are expanded,
// and a version folder (major_minor_build) is used unless one that holds
// something is already there. Fails with "Failed to create folder: " and the
// path when no folder can be had there. Each folder it makes on the way,
// outermost first, is added to `created`, also when it fails later.
Expected<std::filesystem::path> SelectInstallFolder(std::filesystem::path path,
                                                    std::vector<std::filesystem::path>& created);

// Replaces `folder` by its version sub-folder when that one could be created
// or is empty; leaves it as it is otherwise. Adds the folders it makes to
// `created`.
void ApplyVersionFolder(std::filesystem::path& folder, const Vexo::Resources::Version& version,
                        std::vector<std::filesystem::path>& created);
