#pragma once

#include "core/Expected.h"
#include "platform/AccessJudgement.h"
#include "platform/UniqueHandle.h"

#include <string>

namespace Vexo::Platform {

// Judgements of a file or folder through the one handle it is used by, so
// that nothing can be swapped in between. The handle is opened without
// following a link, with READ_CONTROL and FILE_READ_ATTRIBUTES at least.
// Errors carry the Windows error code.

// Whether the open object is a symbolic link or junction itself, or `path`
// (the name it was opened by) leads elsewhere through one higher up.
Expected<bool> LeadsElsewhere(const UniqueHandle& object, const std::wstring& path);

// Whether the open object's owner and access list let only trusted accounts
// change it as `reach` counts.
Expected<bool> OnlyTrustedMayChange(const UniqueHandle& object, Reach reach);

} // namespace Vexo::Platform
