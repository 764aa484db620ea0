#pragma once

#include "core/Expected.h"
#include "platform/Resources.h"

#include <filesystem>

// Turns the --path value into the install folder and makes sure it exists:
// empty or "." is the program's own folder, known-folder tokens are expanded,
// and a version folder (major_minor_build) is used unless one that holds
// something is already there. Fails with "Failed to create folder: " and the
// path when no folder can be had there.
Expected<std::filesystem::path> SelectInstallFolder(std::filesystem::path path);

// Replaces `folder` by its version sub-folder when that one could be created
// or is empty; leaves it as it is otherwise.
void ApplyVersionFolder(std::filesystem::path& folder, const Vexo::Resources::Version& version);
