#pragma once

#include "core/Expected.h"
#include "core/OnExit.h"
#include "platform/Bitness.h"

#include <string>

// Arguments for regsvr32: register, and unregister.
inline constexpr wchar_t registerArguments[] = L"/s";
inline constexpr wchar_t unregisterArguments[] = L"/s /u";

// Long enough for a slow machine, short enough that a hung server does not
// stall the tool for good.
inline constexpr unsigned long regsvr32BoundMilliseconds = 60 * 1000;

// Has the regsvr32 of `bitness` (System32's for 64-bit DLLs, SysWOW64's for
// 32-bit ones) register or unregister the DLL at `path` (used up to its
// first NUL, as a full path), hidden, with its system folder as current folder, and waits
// for it at most `boundMilliseconds`. One that takes longer is ended. True
// only when regsvr32 ran and exited with 0; an error, with its cause and the
// Windows error code, when it could not be started inside this process's
// job (ProcessJob.h).
Expected<bool> RunRegsvr32(const std::wstring& path, const std::wstring& arguments,
                           Vexo::Platform::Bitness bitness,
                           unsigned long boundMilliseconds = regsvr32BoundMilliseconds);

// Initialises COM on this thread (apartment-threaded, no OLE1 DDE). True when
// the caller is to uninitialise it later: false only when COM was already
// initialised here.
bool InitializeCom();

// Uninitialises COM on this thread, once for each InitializeCom that said so.
void ReleaseCom();
