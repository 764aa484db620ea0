#pragma once

#include "core/Expected.h"

#include <filesystem>

// The full path of the running program file, or the error
// "ApplicationPath():GetModuleFileName(): Failed." when it does not fit in
// 1024 characters or cannot be had.
Expected<std::filesystem::path> ApplicationPath();
