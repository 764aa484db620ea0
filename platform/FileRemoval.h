#pragma once

#include "core/Expected.h"

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

// Deletes each marked file and returns the list with `deleted` set where that
// succeeded. Logs nothing.
FileList DeleteFiles(FileList fileList);

// Removes the one folder that holds every file of the list, when it is empty
// (a link there is removed itself, never what it points to). Never removes
// anything above it.
Expected<bool> RemoveParentFolder(const FileList& fileList);

// The one folder that holds every file of the list; nothing when the list is
// empty or its files lie in different folders.
std::optional<std::wstring> SharedParentFolder(const FileList& fileList);
