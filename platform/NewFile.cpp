#include "platform/NewFile.h"

#include "core/Text.h"

#include <windows.h>

#include <cstddef>
#include <vector>

namespace Vexo::Platform {

namespace {

Vexo::Error MakeError(std::string message) {
    return Vexo::Error(std::move(message), 0);
}

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

// A name beside `path` that no earlier run left behind: CREATE_NEW refuses
// whatever is there already, a link included.
std::wstring FreshName(const std::wstring& path) {
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(GetTickCount64()) + L".new";
}

// The rename below takes the system's own form of a path.
std::wstring SystemPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return L"\\??\\" + path.substr(4);
    }
    if (path.rfind(L"\\\\", 0) == 0) {
        return L"\\??\\UNC\\" + path.substr(2);
    }
    return L"\\??\\" + path;
}

// Renames the open file to `path`, in place of the name there. The old name
// goes, never the file a link points to, and the file never stands under a
// name that someone else made.
bool MoveOnto(const UniqueHandle& file, const std::wstring& path) {
    const std::wstring target = SystemPath(path);
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    target.copy(info->FileName, target.size());
    return SetFileInformationByHandle(file.get(), FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

void DeleteOpenFile(const UniqueHandle& file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

} // namespace

Expected<NewFile> NewFile::Create(const std::wstring& path) {
    RemoveFolderLink(path);
    // Made here and now under a fresh name, so it is this process's own file.
    // Readers share writing but not deletion, so this handle may not hold
    // the right to delete, which the rename needs: a second one does.
    const std::wstring freshName = FreshName(path);
    UniqueHandle file(CreateFileW(freshName.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        return MakeError("Unable to create " + toNarrow(freshName) + ".");
    }
    const UniqueHandle renamer(
        ReOpenFile(file.get(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    if (!renamer.valid()) {
        file.reset();
        DeleteFileW(freshName.c_str());
        return MakeError("Unable to rename " + toNarrow(freshName) + ".");
    }
    if (!MoveOnto(renamer, path)) {
        DeleteOpenFile(renamer);
        return MakeError("Unable to put a new file at " + toNarrow(path) + ".");
    }
    return NewFile(std::move(file));
}

bool NewFile::append(std::string_view bytes) const {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    return WriteFile(m_handle.get(), bytes.data(), size, &written, nullptr) != 0 && written == size;
}

} // namespace Vexo::Platform
