#pragma once

#include "core/Expected.h"
#include "platform/FreshFile.h"

#include <string>

namespace Vexo::Platform {

// Puts an empty file of this process's own at `path` and keeps it open for
// writing; others may read it meanwhile. Whatever was there is gone: a file,
// a symbolic link or one name of a hard-linked file is replaced, a link or
// junction standing for a folder is removed; never is anything it points to
// written or removed. A real folder there stays, and then this fails.
Expected<FreshFile> CreateNewFile(const std::wstring& path);

} // namespace Vexo::Platform
