#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

namespace Vexo::Platform {

// The folders missing on the way to `folder`, outermost first. The search
// stops, with `error` set, at a level that cannot be looked at.
std::vector<std::filesystem::path> MissingFolders(const std::filesystem::path& folder,
                                                  std::error_code& error);

} // namespace Vexo::Platform
