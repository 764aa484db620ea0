#include "platform/FileRemoval.h"

#include "core/Text.h"
#include "log/Log.h"

#include <windows.h>

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// Windows path rules, written out because libstdc++ (mingw) does not take
// "\\server" or "\??\" for root names, nor only letters for drives.
bool IsSeparator(wchar_t character) {
    return character == L'\\' || character == L'/';
}

bool IsDriveLetter(wchar_t character) {
    return (character >= L'A' && character <= L'Z') || (character >= L'a' && character <= L'z');
}

// Length of the root name: "C:", "\\server", or a device prefix such as "\\?", "\\." or "\??".
std::size_t RootNameLength(std::wstring_view path) {
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
        return 2;
    }
    if (path.empty() || !IsSeparator(path[0])) {
        return 0;
    }
    if (path.size() >= 4 && IsSeparator(path[3]) && (path.size() == 4 || !IsSeparator(path[4])) &&
        ((IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.')) ||
         (path[1] == L'?' && path[2] == L'?'))) {
        return 3;
    }
    if (path.size() >= 3 && IsSeparator(path[1]) && !IsSeparator(path[2])) {
        std::size_t end = 3;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        return end;
    }
    return 0;
}

struct PathParts {
    std::wstring_view rootName;
    bool hasRootSeparator = false;
    std::wstring_view relative;
};

PathParts SplitPath(std::wstring_view path) {
    const std::size_t rootNameEnd = RootNameLength(path);
    std::size_t relativeStart = rootNameEnd;
    while (relativeStart < path.size() && IsSeparator(path[relativeStart])) {
        ++relativeStart;
    }
    return {path.substr(0, rootNameEnd), relativeStart > rootNameEnd, path.substr(relativeStart)};
}

std::wstring ParentOf(std::wstring_view path) {
    const std::size_t relativeStart = path.size() - SplitPath(path).relative.size();
    std::size_t end = path.size();
    while (end > relativeStart && !IsSeparator(path[end - 1])) {
        --end;
    }
    while (end > relativeStart && IsSeparator(path[end - 1])) {
        --end;
    }
    return std::wstring(path.substr(0, end));
}

// The relative parts match element by element: either separator, and a run
// of them counts as one.
bool SameRelativePart(std::wstring_view left, std::wstring_view right) {
    std::size_t l = 0;
    std::size_t r = 0;
    while (l < left.size() && r < right.size()) {
        const bool leftSeparator = IsSeparator(left[l]);
        if (leftSeparator != IsSeparator(right[r])) {
            return false;
        }
        if (leftSeparator) {
            while (l < left.size() && IsSeparator(left[l])) {
                ++l;
            }
            while (r < right.size() && IsSeparator(right[r])) {
                ++r;
            }
        } else if (left[l++] != right[r++]) {
            return false;
        }
    }
    return l == left.size() && r == right.size();
}

bool SamePath(std::wstring_view left, std::wstring_view right) {
    const PathParts leftParts = SplitPath(left);
    const PathParts rightParts = SplitPath(right);
    return leftParts.rootName == rightParts.rootName &&
           leftParts.hasRootSeparator == rightParts.hasRootSeparator &&
           SameRelativePart(leftParts.relative, rightParts.relative);
}

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

void DeleteMarkedFiles(const FileList& fileList) {
    for (const auto& entry : DeleteFiles(fileList)) {
        if (!entry.marked) {
            continue;
        }
        if (entry.deleted) {
            logInfo("Deleted: %s\n", toNarrow(entry.path).c_str());
        } else {
            logError("Delete: Failed: %s\n", toNarrow(entry.path).c_str());
        }
    }
}

Expected<bool> RemoveParentFolder(const FileList& fileList) {
    if (fileList.empty()) {
        return MakeError("RemoveParentFolder(): No files to check.");
    }
    const std::wstring parent = ParentOf(FileName(fileList.front().path));
    for (const auto& entry : fileList) {
        const std::wstring entryParent = ParentOf(FileName(entry.path));
        if (!SamePath(parent, entryParent)) {
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
