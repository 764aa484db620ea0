#pragma once

#include "platform/UniqueHandle.h"

#include <string>

namespace Vexo::Platform {

// Where the open file or folder really is: its path with every link and
// junction on the way followed, in the usual form ("C:\...", "\\server\..."),
// without the "\\?\" prefix. Empty when the system cannot tell.
std::wstring FinalPathOf(const UniqueHandle& object);

} // namespace Vexo::Platform
