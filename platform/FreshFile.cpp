#include "platform/FreshFile.h"

#include "core/Text.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/ProtectedFolderDescriptor.h"
#include "platform/ReadOnlyAttribute.h"
#include "platform/SecurityDescriptor.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vexo::Platform {

namespace {

bool IsNumber(std::wstring_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t letter) {
        return letter >= L'0' && letter <= L'9';
    });
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

// Renames the open file to `path`, in place of the name there: the old name
// goes, never the file a link points to.
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

// CREATE_NEW refuses whatever is there already, a link included. The owner,
// when asked for, is given at creation: the access list comes from the folder.
UniqueHandle CreateNew(const std::wstring& fresh, bool ownedByAdministrators) {
    UniqueHandle file;
    const DWORD result = CreateOwnedOrByCreator([&](bool withOwner) -> DWORD {
        const auto owner = SecurityDescriptor::FromText(L"O:BA");
        if (owner.hasError()) {
            return static_cast<DWORD>(owner.error().code);
        }
        SECURITY_ATTRIBUTES attributes = owner.value().Attributes();
        file.reset(CreateFileW(fresh.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               ownedByAdministrators && withOwner ? &attributes : nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
        return file.valid() ? ERROR_SUCCESS : GetLastError();
    });
    SetLastError(result);
    return file;
}

} // namespace

std::wstring FreshName(const std::wstring& path, unsigned attempt, std::wstring_view kind) {
    return std::wstring(path.c_str()) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(attempt) + L"." +
           std::wstring(kind);
}

bool IsFreshName(std::wstring_view name, std::wstring_view original, std::wstring_view kind) {
    const std::size_t fixed = original.size() + 1 + 1 + kind.size();
    if (name.size() <= fixed || !SameFile(name.substr(0, original.size()), original) ||
        name[original.size()] != L'.' || name[name.size() - kind.size() - 1] != L'.' ||
        name.substr(name.size() - kind.size()) != kind) {
        return false;
    }
    // <process>-<tick>-<attempt>
    std::wstring_view numbers = name.substr(original.size() + 1, name.size() - fixed);
    for (int part = 0; part < 2; ++part) {
        const auto dash = numbers.find(L'-');
        if (dash == std::wstring_view::npos || !IsNumber(numbers.substr(0, dash))) {
            return false;
        }
        numbers.remove_prefix(dash + 1);
    }
    return IsNumber(numbers);
}

FreshFile::FreshFile(UniqueHandle file, UniqueHandle renamer, std::wstring target)
    : m_file(std::move(file)), m_renamer(std::move(renamer)), m_target(std::move(target)) {}

Expected<FreshFile> FreshFile::Create(const std::wstring& target, bool ownedByAdministrators) {
    // The rename takes a full path; a relative one is resolved now, once.
    const std::wstring path = FullPath(target);
    for (unsigned attempt = 0;; ++attempt) {
        // CREATE_NEW refuses whatever is there already, a link included, so
        // the file is this process's own. Readers share writing but not
        // deletion, so this handle may not hold the right to delete.
        // The suffix may take a path past 259 characters.
        const std::wstring fresh = LongForm(FreshName(path, attempt, L"new"));
        UniqueHandle file = CreateNew(fresh, ownedByAdministrators);
        if (!file.valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS && attempt < 9) {
                continue;
            }
            return LastWindowsError("Unable to create " + toNarrow(fresh));
        }
        UniqueHandle renamer(ReOpenFile(file.get(), DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
        if (!renamer.valid()) {
            const Vexo::Error error = LastWindowsError("Unable to rename " + toNarrow(fresh));
            file.reset();
            DeleteFileW(fresh.c_str());
            return error;
        }
        return FreshFile(std::move(file), std::move(renamer), path);
    }
}

FreshFile::~FreshFile() {
    if (m_renamer.valid()) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(m_renamer.get(), FileDispositionInfo, &disposition,
                                   sizeof(disposition));
    }
}

bool FreshFile::Append(std::string_view bytes) const {
    while (!bytes.empty()) {
        constexpr std::size_t chunk = 1 << 20;
        const auto size = static_cast<DWORD>(std::min(chunk, bytes.size()));
        DWORD written = 0;
        if (!WriteFile(m_file.get(), bytes.data(), size, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool FreshFile::Flush() const {
    return FlushFileBuffers(m_file.get()) != 0;
}

Expected<bool> FreshFile::PutInPlace(unsigned long retryMilliseconds) {
    // Windows replaces no read-only file.
    ClearReadOnly(m_target);
    const std::uint32_t result = RetryWhileHeld(
        [this] { return ResultOfCall(MoveOnto(m_renamer, m_target)); }, retryMilliseconds);
    if (result != ERROR_SUCCESS) {
        return Vexo::Error("Unable to replace " + toNarrow(m_target),
                           static_cast<std::int32_t>(result));
    }
    m_renamer.reset();
    // Renaming on one volume is not a copy, which MOVEFILE_WRITE_THROUGH
    // would cover; flushing the file under its new name commits the rename
    // with it. The file is in place whatever this flush says (its bytes
    // reached the disc before the rename), so a failure here does not undo
    // the placing: a caller that noted the file keeps it noted, and a power
    // cut can at most leave the old file there, which the note covers.
    Flush();
    return true;
}

} // namespace Vexo::Platform
