#include "platform/KnownFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

namespace {

struct CoTaskMemDeleter {
    void operator()(wchar_t* block) const { CoTaskMemFree(block); }
};
using UniqueCoTaskMemText = std::unique_ptr<wchar_t, CoTaskMemDeleter>;

std::optional<std::wstring> KnownFolderPath(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &path);
    // The system may hand out a buffer even when it fails; it is freed either way.
    const UniqueCoTaskMemText owner(path);
    if (result != S_OK || path == nullptr) {
        return std::nullopt;
    }
    return std::wstring(path);
}

int TokenRank(const std::wstring& text) {
    if (text == programDataToken) {
        return 0;
    }
    if (text == localAppDataToken) {
        return 1;
    }
    if (text == programFilesToken) {
        return 2;
    }
    return 3;
}

} // namespace

bool KnownFolderOrder::operator()(const std::wstring& left, const std::wstring& right) const {
    const int leftRank = TokenRank(left);
    const int rightRank = TokenRank(right);
    if (leftRank != rightRank) {
        return leftRank < rightRank;
    }
    return leftRank == 3 && left < right;
}

KnownFolderMap MakeKnownFolderMap() {
    struct KnownFolder {
        const wchar_t* token;
        REFKNOWNFOLDERID id;
    };
    const KnownFolder folders[] = {{localAppDataToken, FOLDERID_LocalAppData},
                                   {programDataToken, FOLDERID_ProgramData},
                                   {programFilesToken, FOLDERID_ProgramFiles}};
    KnownFolderMap map;
    for (const auto& folder : folders) {
        if (const auto path = KnownFolderPath(folder.id)) {
            map.emplace(folder.token, *path);
        }
    }
    return map;
}

std::optional<std::wstring> ProgramFilesFolder64() {
    return KnownFolderPath(FOLDERID_ProgramFilesX64);
}

std::wstring ExpandKnownFolders(const std::wstring& path, const KnownFolderMap& map) {
    std::wstring expanded = path;
    for (const auto& [token, folder] : map) {
        // An empty token would match everywhere without end.
        if (token.empty()) {
            continue;
        }
        // A plain replacement: the folder text is taken literally and not
        // searched again for the token it replaced.
        for (auto position = expanded.find(token); position != std::wstring::npos;
             position = expanded.find(token, position + folder.size())) {
            expanded.replace(position, token.size(), folder);
        }
    }
    return expanded;
}
