#pragma once

#include <string>

namespace Vexo::Platform {

enum class PathPresence {
    Present,    // something is there: a file, a folder, or a link to one of them
    Absent,     // nothing is there, or a link there points nowhere
    Unreadable, // something is there that this process may not look at
    Unreachable // the place cannot be reached now (a drive not ready, a network error...)
};

// Asks the file system about `path` (up to its first NUL), following links.
PathPresence QueryPathPresence(const std::wstring& path);

// Whether something is known to be at `path`.
inline bool IsPresent(const std::wstring& path) {
    return QueryPathPresence(path) == PathPresence::Present;
}

} // namespace Vexo::Platform
