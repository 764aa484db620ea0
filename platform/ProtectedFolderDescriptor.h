#pragma once

#include "platform/FolderProtection.h"

#include <windows.h>

#include <functional>
#include <string>

namespace Vexo::Platform {

// The descriptor (its text form) a folder the tool makes for itself gets at
// creation: owned by Administrators when `withOwner`, full control for SYSTEM
// and Administrators, inherited by what is made inside and nothing from
// above; and reading and executing for users and app packages when others
// may read.
std::wstring ProtectedFolderText(OthersMay others, bool withOwner);

// Runs `create` with the owner given, and once more without it when the
// system refuses that owner (ERROR_INVALID_OWNER: a token that may not name
// Administrators); the creator then owns what is made. Returns the Windows
// error code of the last try, ERROR_SUCCESS when it made it.
DWORD CreateOwnedOrByCreator(const std::function<DWORD(bool withOwner)>& create);

} // namespace Vexo::Platform
