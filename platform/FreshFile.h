#pragma once

#include "core/Expected.h"
#include "platform/UniqueHandle.h"

#include <string>
#include <string_view>

namespace Vexo::Platform {

// A name beside `path` that no earlier run left behind:
// <path>.<process>-<tick>-<attempt>.<kind>. A file being made is "new"; an
// old one renamed out of the way (for the restart to delete) is "old".
std::wstring FreshName(const std::wstring& path, unsigned attempt, std::wstring_view kind);

// Whether `name` is a fresh name of that kind for a file named `original`
// (letters compared without regard to case, as Windows names files).
bool IsFreshName(std::wstring_view name, std::wstring_view original, std::wstring_view kind);

// A file that this process made itself, under a fresh name beside `target`,
// and holds open for writing; others may read it meanwhile. Until it is put
// in place, it is deleted again when it goes. Every file the tool writes is
// made this way, so that what stands at the target is always whole: the old
// file or the new one, never half of one, whenever the machine stops.
class FreshFile {
public:
    // The error carries the Windows error code. `ownedByAdministrators`:
    // the file is made with Administrators as its owner where the system
    // lets this process name them, so that it is trusted whichever
    // administrator's account, or SYSTEM, reads it later.
    static Expected<FreshFile> Create(const std::wstring& target,
                                      bool ownedByAdministrators = false);

    FreshFile(FreshFile&& other) noexcept = default;
    FreshFile& operator=(FreshFile&&) = delete;
    FreshFile(const FreshFile&) = delete;
    FreshFile& operator=(const FreshFile&) = delete;
    ~FreshFile();

    // Writes all of `bytes` after what is in the file; false when the
    // system took fewer.
    bool Append(std::string_view bytes) const;

    // Flushes what was written to the disc.
    bool Flush() const;

    // Renames the file onto the target, in place of whatever file or link
    // stood there, which is never written through (a real folder there stays,
    // and this fails), and flushes it again so that the rename reaches the
    // disc too; once renamed, the file counts as placed. A read-only target loses that attribute
    // first (see ClearReadOnly). A target that someone has open for a moment (an indexer, a virus
    // scanner) is tried again for up to `retryMilliseconds`; 0 tries once. The error carries the
    // Windows error code.
    Expected<bool> PutInPlace(unsigned long retryMilliseconds);

private:
    FreshFile(UniqueHandle file, UniqueHandle renamer, std::wstring target);

    UniqueHandle m_file;
    // The right to rename and delete, in a handle of its own: readers that
    // do not share deletion (a log viewer) may open the file once it is in
    // place and this one is closed.
    UniqueHandle m_renamer;
    std::wstring m_target;
};

} // namespace Vexo::Platform
