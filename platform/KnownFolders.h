#pragma once

#include <map>
#include <optional>
#include <string>

// The tokens an install path may use for system folders.
inline constexpr wchar_t localAppDataToken[] = L"%LocalAppData%";
inline constexpr wchar_t programDataToken[] = L"%ProgramData%";
inline constexpr wchar_t programFilesToken[] = L"%ProgramFiles%";

// Orders the tokens "%ProgramData%", "%LocalAppData%", "%ProgramFiles%"
// (any other text after them, by its characters).
struct KnownFolderOrder {
    bool operator()(const std::wstring& left, const std::wstring& right) const;
};

// Token to folder path (no trailing separator), one entry for each token
// whose folder the system reported.
using KnownFolderMap = std::map<std::wstring, std::wstring, KnownFolderOrder>;

KnownFolderMap MakeKnownFolderMap();

// The 64-bit Program Files folder, where only administrators may write;
// nothing when the system does not report it.
std::optional<std::wstring> ProgramFilesFolder64();

// Replaces every case-equal occurrence of each token, in the map's order, by
// its folder, character for character. Other text stays as it is.
std::wstring ExpandKnownFolders(const std::wstring& path, const KnownFolderMap& map);
