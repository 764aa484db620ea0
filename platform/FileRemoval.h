#pragma once

#include "core/Expected.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One DLL file handled by an operation. `path` may end with a NUL read from
// the registry; the file is named by the text before the first NUL.
struct FileEntry {
    std::wstring path;
    bool marked = false;  // delete the file when the operation ends
    bool deleted = false; // the deletion succeeded
};

using FileList = std::vector<FileEntry>;

// Deletes each marked file where it is, read-only or not, and returns the
// list with `deleted` set where that succeeded. Logs nothing.
FileList DeleteFiles(FileList fileList);

// What became of a DLL that was to be deleted.
struct FileRemoval {
    enum class Outcome {
        Deleted,    // it is gone
        MovedAside, // it is renamed to `aside`, which is still to be deleted
        InUse,      // someone held it the whole time; it is where it was
        Failed      // it is not deleted for another reason
    };
    Outcome outcome;
    std::wstring aside;
    std::int32_t windowsError; // why it is where it was
};

// Deletes each DLL at `paths` (each named up to its first NUL), read-only or
// not. One that cannot be deleted is renamed aside at once (FreshName, kind
// "old"), without waiting: a DLL that a program has loaded can be renamed,
// never deleted, and its name is free at once. Only a file that can be
// neither deleted nor renamed, both for a passing hold, is tried again, for
// up to `retryMilliseconds` in all. Gives what became of each, in the order
// of `paths`.
std::vector<FileRemoval> DeleteOrMoveAside(const std::vector<std::wstring>& paths,
                                           unsigned long retryMilliseconds);

// Removes the one folder that holds every file of the list, when it is empty
// (a link there is removed itself, never what it points to). Never removes
// anything above it.
Expected<bool> RemoveParentFolder(const FileList& fileList);

// The one folder that holds every file of the list; nothing when the list is
// empty or its files lie in different folders.
std::optional<std::wstring> SharedParentFolder(const FileList& fileList);
