#pragma once

#include "platform/FileRemoval.h"
#include "sdk/PendingDeletions.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Deletes the marked files of a copy of the list. A DLL that cannot be
// deleted is renamed aside instead (DeleteOrMoveAside); a copy renamed aside
// before is deleted where it is, or stays for the restart. Every copy that
// waits for the restart is added to `pending`. Logs one line for each marked
// entry: "Deleted: "; at Warning, "Delete: Failed: " for a file that waits
// for the restart (the run goes on without it) and "Not deleted, in use: "
// with the Windows error for one left where it is, never to be scheduled
// (an SDK file no registration names, which the next install writes over);
// at Error, "Delete: Failed: " for any other failure. Returns that copy with
// `deleted` set where the file is gone from its path.
FileList DeleteMarkedFiles(const FileList& fileList, PendingDeletions& pending);

// Logs at Warning that the file stays where it is, held by someone who lets
// nobody delete or rename it.
void LogLeftInUse(const std::wstring& path, std::int32_t windowsError);

// Deletes the copies of the SDK's DLLs that runs made in `folder` under a
// fresh name of one of `kinds` ("new": written and never put in place; "old":
// renamed aside for a restart), logging "Deleted: " for each that went. One
// that something still has in use stays, for the restart it waits for.
void DeleteCopiesIn(const std::wstring& folder, std::initializer_list<std::wstring_view> kinds);
