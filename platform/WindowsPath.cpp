#include "platform/WindowsPath.h"

#include <windows.h>

namespace Vexo::Platform {

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

bool SameCharacter(wchar_t left, wchar_t right) {
    return left == right;
}

// Letter case as the file system ignores it, non-ASCII letters included.
bool SameLetterAnyCase(wchar_t left, wchar_t right) {
    return CompareStringOrdinal(&left, 1, &right, 1, TRUE) == CSTR_EQUAL;
}

using CharacterMatch = bool (*)(wchar_t, wchar_t);

bool SameText(std::wstring_view left, std::wstring_view right, CharacterMatch match) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (!match(left[i], right[i])) {
            return false;
        }
    }
    return true;
}

// The relative parts match element by element: either separator, and a run
// of them counts as one.
bool SameRelativePart(std::wstring_view left, std::wstring_view right, CharacterMatch match) {
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
        } else if (!match(left[l++], right[r++])) {
            return false;
        }
    }
    return l == left.size() && r == right.size();
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the comparison is symmetric.
bool SamePathText(std::wstring_view left, std::wstring_view right, CharacterMatch match) {
    const PathParts leftParts = SplitPath(left);
    const PathParts rightParts = SplitPath(right);
    return SameText(leftParts.rootName, rightParts.rootName, match) &&
           leftParts.hasRootSeparator == rightParts.hasRootSeparator &&
           SameRelativePart(leftParts.relative, rightParts.relative, match);
}

} // namespace

std::wstring ParentFolder(std::wstring_view path) {
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

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the comparison is symmetric.
bool SameFolder(std::wstring_view left, std::wstring_view right) {
    return SamePathText(left, right, SameCharacter);
}

bool SameFile(std::wstring_view left, std::wstring_view right) {
    return SamePathText(left, right, SameLetterAnyCase);
}

std::wstring_view LastElement(std::wstring_view path) {
    const std::wstring_view relative = SplitPath(path).relative;
    std::size_t start = relative.size();
    while (start > 0 && !IsSeparator(relative[start - 1])) {
        --start;
    }
    return relative.substr(start);
}

std::optional<std::wstring> RestBelow(const std::wstring& path, const std::wstring& folder) {
    if (path.size() < folder.size() || !SameFile(path.substr(0, folder.size()), folder)) {
        return std::nullopt;
    }
    if (path.size() > folder.size() && !IsSeparator(path[folder.size()])) {
        return std::nullopt;
    }
    return path.substr(folder.size());
}

std::wstring LongForm(const std::wstring& fullPath) {
    if (fullPath.rfind(L"\\\\", 0) == 0) {
        const bool extended = fullPath.size() > 3 && (fullPath[2] == L'?' || fullPath[2] == L'.') &&
                              IsSeparator(fullPath[3]);
        return extended ? fullPath : L"\\\\?\\UNC\\" + fullPath.substr(2);
    }
    const PathParts parts = SplitPath(fullPath);
    if (parts.rootName.size() != 2 || !parts.hasRootSeparator) {
        return fullPath;
    }
    return L"\\\\?\\" + fullPath;
}

} // namespace Vexo::Platform
