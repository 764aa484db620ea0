#pragma once

#include "core/Expected.h"
#include "platform/Resources.h"
#include "sdk/InstallChanges.h"

#include <filesystem>

// Turns the --path value into the install folder and makes sure it exists:
// empty or "." is the program's own folder, known-folder tokens are expanded,
// and a version folder (major_minor_build) is used unless one that holds
// something is already there. Fails with "Failed to create folder: " and the
// path when no folder can be had there. Each folder it makes on the way,
// outermost first, is noted in `changes` before it is made.
Expected<std::filesystem::path> SelectInstallFolder(std::filesystem::path path,
                                                    InstallChanges& changes);

// Replaces `folder` by its version sub-folder when that one could be created
// or holds nothing but what this tool left there (the SDK's DLLs and the
// copies of them renamed aside for a restart, which it deletes where it can);
// leaves it as it is otherwise. Notes the folders it makes in `changes`.
void ApplyVersionFolder(std::filesystem::path& folder, const Vexo::Resources::Version& version,
                        InstallChanges& changes);
