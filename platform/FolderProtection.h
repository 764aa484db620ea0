#pragma once

#include "core/Expected.h"
#include "platform/AccessJudgement.h"

#include <optional>
#include <string>

namespace Vexo::Platform {

enum class Protection {
    AdministratorsOnly, // only SYSTEM, Administrators, TrustedInstaller and this account can change
                        // it
    OthersCanChange,    // another account may change it, or that cannot be told
    Link,               // a link or junction: what it leads to is not this path's
};

// How well what is at `path` is protected, judged through one handle opened
// without following a link: it must be no symbolic link or junction, the
// path must lead to itself, and its owner and access list must let only
// trusted accounts change it as `reach` counts (see OnlyTrustedMayChange).
// What cannot be opened or judged counts as OthersCanChange.
Protection ProtectionOf(const std::wstring& path, Reach reach = Reach::Contents);

struct UnprotectedLevel {
    Protection protection;
    std::wstring level;
};

// The first level on the way to `path` (the full path of a folder or a file)
// that fails: every existing folder above it from the root down, judged as a
// place on the way, then `path` itself, when it exists, as what holds the
// tool's files. Levels that do not exist yet are the tool's to make, and are
// skipped. Nothing when every level passes.
std::optional<UnprotectedLevel> FirstUnprotectedLevel(const std::wstring& path);

// Who besides SYSTEM and Administrators may use a folder it protects.
enum class OthersMay { Nothing, Read };

// Makes one folder (its parent must exist) with its owner and access list
// given at creation, so that it is never open to others for a moment:
// Administrators own it (or the creator, when the system refuses that
// owner), and SYSTEM and Administrators have full control, inherited by what
// is made inside; others may read and execute when `others` says so. Fails
// with the Windows error code when anything stands there already: a folder
// someone else made first is never taken for the tool's own.
Expected<bool> CreateProtectedFolder(const std::wstring& folder, OthersMay others);

} // namespace Vexo::Platform
