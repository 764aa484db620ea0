#pragma once

#include <windows.h>

#include <vector>

namespace Vexo::Platform {

// How far what is judged reaches into what the tool keeps there: which
// rights of others count against it.
enum class Reach {
    Place,    // a folder on the way to what is judged
    Contents, // the folder that holds the DLLs, or a file itself
};

// SID bytes of the account that runs this process; empty when unknown.
std::vector<BYTE> RunningAccount();

// Whether `sid` is SYSTEM, Administrators, TrustedInstaller or `account`.
bool IsTrusted(PSID sid, const std::vector<BYTE>& account);

// Whether the owner is trusted and only trusted accounts may change the
// object as `reach` counts; `account` is the one running the tool. Deny entries
// and inherit-only entries decide nothing here: a deny for one account does
// not stop another, and an inherit-only entry is for what is made inside.
bool OnlyTrustedMayChange(PSECURITY_DESCRIPTOR descriptor, const std::vector<BYTE>& account,
                          Reach reach);

} // namespace Vexo::Platform
