#pragma once

#include "core/Expected.h"

#include <optional>
#include <string>

namespace Vexo::Platform {

enum class Protection {
    AdministratorsOnly, // only SYSTEM, Administrators, TrustedInstaller and this account can change
                        // it
    OthersCanChange,    // another account may change it, or that cannot be told
    Link,               // a link or junction: what it leads to is not this path's
};

// How well what is at `path` is protected: it must be no link (no reparse
// point, and the path leads to itself), be owned by SYSTEM, Administrators,
// TrustedInstaller or the account running this process, and grant no other
// account the right to write to it, delete it, create in it, or change its
// owner or access.
Protection ProtectionOf(const std::wstring& path);

// The first level on the way to `path` that others can change, and how.
struct UnprotectedLevel {
    Protection protection;
    std::wstring level;
};
std::optional<UnprotectedLevel> FirstUnprotectedLevel(const std::wstring& path);

// Who besides SYSTEM and Administrators may use a folder it protects.
enum class OthersMay { Nothing, Read };

// Makes a folder (its parent must exist) that takes the access of its parent.
Expected<bool> CreateFolder(const std::wstring& folder);

// Makes a folder with a protected access list: full control for SYSTEM and
// Administrators, nothing inherited, nothing for anyone else.
Expected<bool> CreateAdminOnlyFolder(const std::wstring& folder);

// Makes a folder with its own protected access list.
Expected<bool> CreateProtectedFolder(const std::wstring& folder, OthersMay others);

// Protects an existing folder: Administrators own it, and its access list is
// full control for SYSTEM and Administrators (and reading for users, when
// asked), nothing inherited. What is in it inherits that.
Expected<bool> Protect(const std::wstring& folder, OthersMay others);

} // namespace Vexo::Platform
