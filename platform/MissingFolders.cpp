#include "platform/MissingFolders.h"

namespace fs = std::filesystem;

namespace Vexo::Platform {

std::vector<fs::path> MissingFolders(const fs::path& folder, std::error_code& error) {
    std::vector<fs::path> missing;
    for (fs::path level = folder; !level.empty(); level = level.parent_path()) {
        if (fs::exists(level, error) || error || level == level.parent_path()) {
            break;
        }
        missing.insert(missing.begin(), level);
    }
    return missing;
}

} // namespace Vexo::Platform
