#pragma once

#include <string>

namespace Vexo::Platform {

// Takes the read-only attribute off the file at `path` (used up to its first
// NUL), which Windows would otherwise refuse to delete or replace, now or at
// the next restart. A link there is changed itself, never what it leads to,
// and a file with a second name is left as it is: its attributes are that
// other name's too. Nothing happens when the file cannot be opened.
void ClearReadOnly(const std::wstring& path);

} // namespace Vexo::Platform
