#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Vexo::Platform {

// The parent of a Windows path ("\\" and "/" both separate): the path
// without its last element and the separators before it. A path that ends
// with a separator only loses those; the parent of a file in a root folder is
// that root ("C:\"), of a bare file name the empty path.
std::wstring ParentFolder(std::wstring_view path);

// Whether two folders are the same path: root names and relative parts equal
// character for character (letter case counts), either separator, and a run
// of separators counts as one.
bool SameFolder(std::wstring_view left, std::wstring_view right);

// Whether two paths name the same file by their text: as SameFolder, but
// letters compared without regard to case, as Windows names files.
bool SameFile(std::wstring_view left, std::wstring_view right);

// The last element of a path: its file name, empty when the path ends with a
// separator or is only a root.
std::wstring_view LastElement(std::wstring_view path);

// What follows `folder` (written without a separator at its end) in `path`
// when the path lies in it or is it, by their text: empty, or a separator
// and the rest.
std::optional<std::wstring> RestBelow(const std::wstring& path, const std::wstring& folder);

// The long form of a full path ("\\\\?\\C:\\...", "\\\\?\\UNC\\server\\..."), which the
// system takes past 259 characters: a name the tool makes beside a file whose
// path is just short enough would otherwise not be reachable. A path in that
// form already, or one that is not full, is given back as it is.
std::wstring LongForm(const std::wstring& fullPath);

} // namespace Vexo::Platform
