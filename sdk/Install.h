#pragma once

#include "core/Expected.h"

#include <filesystem>

// Writes the SDK DLLs that the program carries into the install folder chosen
// from `path` and registers each of them. Fails only when no install folder
// can be had; per-DLL failures are logged, and a file that could not be
// registered is deleted again.
Expected<bool> Install(std::filesystem::path path);
