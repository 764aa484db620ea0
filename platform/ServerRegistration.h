#pragma once

#include "core/OnExit.h"

#include <string>

// Arguments for regsvr32: register, and unregister.
inline constexpr wchar_t registerArguments[] = L"/s";
inline constexpr wchar_t unregisterArguments[] = L"/s /u";

// Has the system folder's regsvr32 register or unregister the DLL at
// `path` (used up to its first NUL), hidden, and waits for it, at most 60
// seconds. True only when regsvr32 ran and exited with 0.
bool RunRegsvr32(const std::wstring& path, const std::wstring& arguments);

// Initialises COM on this thread (apartment-threaded, no OLE1 DDE). True when
// the caller is to uninitialise it later: false only when COM was already
// initialised here.
bool InitializeCom();

// Logs "Uninitialize COM" and uninitialises COM.
void UninitializeCom();

// The COM scope of an operation: logs "Initialize COM" and initialises COM.
// Returns a guard that uninitialises it at the end of the caller's scope, or,
// when COM was already initialised, logs a warning and returns an empty guard.
OnExit OpenComScope();
