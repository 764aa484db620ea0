#pragma once

#include "core/Expected.h"
#include "sdk/PendingDeletions.h"

#include <filesystem>

// Writes the SDK DLLs that the program carries into the install folder chosen
// from `path` and registers each of them. Fails only when no install folder
// can be had; per-DLL failures are logged, and a file that could not be
// registered is deleted again unless a registration still names it. Files
// that could not be deleted are added to `pending`.
Expected<bool> Install(std::filesystem::path path, PendingDeletions& pending);
