#pragma once

#include <windows.h>

namespace Vexo::Platform {

// Whether a file or folder with these attributes and reparse tag is a
// symbolic link or a junction, which leads elsewhere. Other reparse points
// (compressed, deduplicated, cloud files) hold what is theirs.
bool IsLinkReparsePoint(DWORD attributes, DWORD reparseTag);

} // namespace Vexo::Platform
