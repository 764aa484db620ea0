#include "platform/NewFile.h"

#include "platform/PassingHold.h"

#include <windows.h>

namespace Vexo::Platform {

namespace {

// A link or junction standing for a folder cannot be replaced by a file;
// RemoveDirectoryW removes such a link itself, and fails on a real folder
// that holds anything.
void RemoveFolderLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const DWORD folderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & folderLink) == folderLink) {
        RemoveDirectoryW(path.c_str());
    }
}

} // namespace

Expected<FreshFile> CreateNewFile(const std::wstring& path) {
    RemoveFolderLink(path);
    auto file = FreshFile::Create(path);
    if (file.hasError()) {
        return file.error();
    }
    const auto placed = file.value().PutInPlace(tryOnce);
    if (placed.hasError()) {
        return placed.error();
    }
    return std::move(file.value());
}

} // namespace Vexo::Platform
