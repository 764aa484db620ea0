#include "platform/FileRemoval.h"

#include "core/Text.h"
#include "platform/WindowsPath.h"

#include <windows.h>

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// The file is named by the text before the first NUL; what follows names nothing.
std::wstring_view FileName(const std::wstring& path) {
    return std::wstring_view(path.c_str());
}

Vexo::Error MakeError(std::string message) {
    return Vexo::Error(std::move(message), 0);
}

} // namespace

FileList DeleteFiles(FileList fileList) {
    for (auto& entry : fileList) {
        if (entry.marked && DeleteFileW(entry.path.c_str()) != 0) {
            entry.deleted = true;
        }
    }
    return fileList;
}

Expected<bool> RemoveParentFolder(const FileList& fileList) {
    if (fileList.empty()) {
        return MakeError("RemoveParentFolder(): No files to check.");
    }
    const std::wstring parent = Vexo::Platform::ParentFolder(FileName(fileList.front().path));
    for (const auto& entry : fileList) {
        const std::wstring entryParent = Vexo::Platform::ParentFolder(FileName(entry.path));
        if (!Vexo::Platform::SameFolder(parent, entryParent)) {
            return MakeError("RemoveParentFolder(): Not removing the parent folder because not "
                             "all files have the same parent. " +
                             toNarrow(parent) + " != " + toNarrow(entryParent));
        }
    }
    // Removes an empty folder, or a link in its place, and never what is inside.
    std::error_code error;
    if (!std::filesystem::remove(parent, error)) {
        return MakeError("RemoveParentFolder(): Unable to remove folder " + toNarrow(parent));
    }
    return true;
}

std::optional<std::wstring> SharedParentFolder(const FileList& fileList) {
    if (fileList.empty()) {
        return std::nullopt;
    }
    const std::wstring parent = Vexo::Platform::ParentFolder(FileName(fileList.front().path));
    for (const auto& entry : fileList) {
        if (!Vexo::Platform::SameFolder(parent,
                                        Vexo::Platform::ParentFolder(FileName(entry.path)))) {
            return std::nullopt;
        }
    }
    return parent;
}
