#include "platform/FileRemoval.h"

#include "core/Text.h"
#include "platform/DelayedDeletion.h"
#include "platform/PassingHold.h"
#include "platform/ReadOnlyAttribute.h"
#include "platform/WindowsError.h"
#include "platform/WindowsPath.h"

#include <windows.h>

#include <cstddef>
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

using Outcome = FileRemoval::Outcome;

std::uint32_t TryDelete(const std::wstring& path) {
    Vexo::Platform::ClearReadOnly(path);
    return Vexo::Platform::ResultOfCall(DeleteFileW(path.c_str()) != 0);
}

// One try. A file that cannot be deleted is renamed aside, whatever kept it:
// a loaded DLL never becomes deletable by waiting, and neither does its copy
// while the program runs. It stays in use only while both fail for a passing
// hold.
FileRemoval TryRemove(const std::wstring& path) {
    const std::uint32_t deletion = TryDelete(path);
    if (deletion == ERROR_SUCCESS) {
        return {Outcome::Deleted, {}, 0};
    }
    const auto aside = Vexo::Platform::MoveAside(path, Vexo::Platform::tryOnce);
    if (aside.hasValue()) {
        return {Outcome::MovedAside, aside.value(), 0};
    }
    const auto renaming = static_cast<std::uint32_t>(aside.error().code);
    if (!Vexo::Platform::IsPassingHold(deletion)) {
        return {Outcome::Failed, {}, static_cast<std::int32_t>(deletion)};
    }
    return {Vexo::Platform::IsPassingHold(renaming) ? Outcome::InUse : Outcome::Failed,
            {},
            static_cast<std::int32_t>(renaming)};
}

} // namespace

FileList DeleteFiles(FileList fileList) {
    for (auto& entry : fileList) {
        if (entry.marked && TryDelete(std::wstring(FileName(entry.path))) == ERROR_SUCCESS) {
            entry.deleted = true;
        }
    }
    return fileList;
}

std::vector<FileRemoval> DeleteOrMoveAside(const std::vector<std::wstring>& paths,
                                           unsigned long retryMilliseconds) {
    // Untried counts as held, so that the first round tries every file.
    std::vector<FileRemoval> removals(paths.size(), FileRemoval{Outcome::InUse, {}, 0});
    Vexo::Platform::RetryWhileHeld(
        [&] {
            std::uint32_t held = ERROR_SUCCESS;
            for (std::size_t index = 0; index < paths.size(); ++index) {
                if (removals[index].outcome == Outcome::InUse) {
                    removals[index] = TryRemove(std::wstring(FileName(paths[index])));
                }
                if (removals[index].outcome == Outcome::InUse) {
                    held = static_cast<std::uint32_t>(removals[index].windowsError);
                }
            }
            return held;
        },
        retryMilliseconds);
    return removals;
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
