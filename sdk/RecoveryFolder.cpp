#include "sdk/RecoveryFolder.h"

#include "core/Text.h"
#include "platform/FolderProtection.h"
#include "platform/FreshFile.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/KnownFolders.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "platform/ProtectedFileRead.h"
#include "sdk/ComponentTable.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using Vexo::Platform::FileReadProblem;
using Vexo::Platform::Protection;

namespace {

constexpr wchar_t recordName[] = L"rimkit_manager.recovery";

// More than any run writes: a record this long is not one of a run's.
constexpr std::uint64_t longestRecordBytes = 1 << 20;
// Far more than any SDK DLL.
constexpr std::uint64_t longestCopyBytes = 256ull << 20;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return (fs::path(folder) / name).wstring();
}

Vexo::Error CannotKeep(const std::wstring& path, std::int32_t windowsError) {
    return Vexo::Error("Unable to create " + toNarrow(path) + " (Windows error " +
                           std::to_string(windowsError) + ").",
                       windowsError);
}

Expected<bool> Keep(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const auto written =
        Vexo::Platform::WriteWholeFile(path, bytes, Vexo::Platform::passingHoldMilliseconds, true);
    if (written.outcome != Vexo::Platform::WriteOutcome::Written) {
        return CannotKeep(path, written.windowsError);
    }
    return true;
}

// A new record or copy that a stopped run never put in place.
bool IsFreshLeftover(const std::wstring& name) {
    if (Vexo::Platform::IsFreshName(name, recordName, L"new")) {
        return true;
    }
    for (std::size_t index = 0; index < ComponentTable.size(); ++index) {
        if (Vexo::Platform::IsFreshName(name, SavedCopyName(index), L"new")) {
            return true;
        }
    }
    return false;
}

// A link, a second name of another file, or a file others may change: what
// it holds cannot be the run's own.
bool OthersCouldHaveMade(FileReadProblem problem) {
    return problem == FileReadProblem::Link || problem == FileReadProblem::SecondName ||
           problem == FileReadProblem::OthersCanChange;
}

} // namespace

Vexo::Error RecordRefused(const std::wstring& recordPath, const Vexo::Error& reason) {
    return Vexo::Error("The recovery record " + toNarrow(recordPath) +
                           " cannot be used: " + reason.message + ". Nothing was changed.",
                       reason.code);
}

RecoveryFolder::RecoveryFolder(const std::wstring& programFiles)
    : m_levels{Join(programFiles, L"Vexo"), Join(programFiles, L"Vexo\\Rimkit"),
               Join(programFiles, L"Vexo\\Rimkit\\Recovery")},
      m_recordPath(Join(m_levels.back(), recordName)) {}

Expected<RecoveryFolder> RecoveryFolder::InProgramFiles() {
    const auto programFiles = ProgramFilesFolder64();
    if (!programFiles) {
        return Vexo::Error("Unable to find the Program Files folder.", 0);
    }
    return RecoveryFolder(*programFiles);
}

bool RecoveryFolder::HoldsRecord() const {
    return Vexo::Platform::QueryPathPresence(m_recordPath) != Vexo::Platform::PathPresence::Absent;
}

std::optional<Vexo::Error> RecoveryFolder::FolderRefusal() const {
    for (const auto& level : m_levels) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(level, error);
        if (status.type() == fs::file_type::not_found) {
            continue;
        }
        const Protection protection = Vexo::Platform::ProtectionOf(level);
        std::string why;
        if (protection == Protection::Link) {
            why = toNarrow(level) + " is a link";
        } else if (error || !fs::is_directory(status)) {
            why = toNarrow(level) + " is not a folder";
        } else if (protection == Protection::OthersCanChange) {
            why = "others than administrators can change " + toNarrow(level);
        } else {
            continue;
        }
        return Vexo::Error("The recovery folder cannot be kept: " + why + ". Nothing was changed.",
                           0);
    }
    return std::nullopt;
}

Expected<RecoveryRecord> RecoveryFolder::ReadRecord() const {
    const Vexo::Error othersCanChange(othersCanChangeIt, 0);
    const Vexo::Error damaged("it is damaged", 0);
    // Judged and read through one handle: a link, a second name or a file
    // others may change could be swapped between a look and a read.
    // A virus scanner or an indexer may have it open for a moment.
    Vexo::Platform::ProtectedFile read{};
    Vexo::Platform::RetryWhileHeld(
        [&] {
            read = Vexo::Platform::ReadProtectedFile(m_recordPath, longestRecordBytes);
            return read.problem == FileReadProblem::Unreadable ? read.windowsError : 0;
        },
        Vexo::Platform::passingHoldMilliseconds);
    if (OthersCouldHaveMade(read.problem)) {
        return othersCanChange;
    }
    if (read.problem == FileReadProblem::Unreadable) {
        // Held by another program past its retries, or refused for now: not
        // damaged, which an administrator would have to look into.
        return Vexo::Error("it cannot be read now (Windows error " +
                               std::to_string(read.windowsError) + ")",
                           unreadableNow);
    }
    if (read.problem != FileReadProblem::None) {
        return damaged;
    }
    auto record = ReadRecordText(std::string(read.bytes.begin(), read.bytes.end()), m_levels);
    if (record.hasError()) {
        return record;
    }
    // A saved copy counts only with the bytes the record noted for it; one
    // that lost them leaves its file without bytes to be written back from.
    // One that is a link or a second name of another file is not the run's.
    auto& files = record.value().previous.files;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!files[index].digest) {
            continue;
        }
        auto copy = Vexo::Platform::ReadProtectedFile(Join(m_levels.back(), SavedCopyName(index)),
                                                      longestCopyBytes);
        if (OthersCouldHaveMade(copy.problem)) {
            return othersCanChange;
        }
        if (copy.problem == FileReadProblem::None &&
            Vexo::Platform::DigestOf(copy.bytes) == files[index].digest) {
            files[index].bytes = std::move(copy.bytes);
        }
    }
    return record;
}

Expected<bool> RecoveryFolder::Prepare(std::vector<std::wstring>& made) const {
    if (auto refusal = FolderRefusal()) {
        return *refusal;
    }
    for (std::size_t index = 0; index < m_levels.size(); ++index) {
        const std::wstring& level = m_levels[index];
        std::error_code error;
        if (fs::symlink_status(level, error).type() != fs::file_type::not_found) {
            continue;
        }
        // The record's own folder is for administrators only; the ones
        // above it may hold other programs of the vendor, which users read.
        made.push_back(level);
        const auto created = Vexo::Platform::CreateProtectedFolder(
            level, index + 1 == m_levels.size() ? Vexo::Platform::OthersMay::Nothing
                                                : Vexo::Platform::OthersMay::Read);
        if (created.hasError()) {
            made.pop_back();
            return CannotKeep(level, created.error().code);
        }
    }
    // Someone may have made a level first: it is theirs, not the tool's.
    if (auto refusal = FolderRefusal()) {
        return *refusal;
    }
    return true;
}

Expected<bool> RecoveryFolder::SaveCopies(const PreviousInstallation& previous) const {
    for (std::size_t index = 0; index < previous.files.size(); ++index) {
        const auto& bytes = previous.files[index].bytes;
        if (bytes) {
            auto kept = Keep(Join(m_levels.back(), SavedCopyName(index)), *bytes);
            if (kept.hasError()) {
                return kept;
            }
        }
    }
    return true;
}

Expected<bool> RecoveryFolder::Write(const RecoveryRecord& record) const {
    const std::string text = RecordText(record);
    return Keep(m_recordPath, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void RecoveryFolder::Remove(const RecoveryRecord& record) const {
    // A link there is not the run's: what it leads to is never deleted.
    const auto removeOwn = [](const std::wstring& path, fs::file_type type) {
        std::error_code error;
        if (fs::symlink_status(path, error).type() == type &&
            Vexo::Platform::ProtectionOf(path) != Protection::Link) {
            fs::remove(path, error);
        }
    };
    // The record first: a record must never name copies that are gone.
    removeOwn(m_recordPath, fs::file_type::regular);
    // What a run stopped while it wrote the record or a copy left beside
    // them: without this the folders would never be empty again.
    std::error_code error;
    for (fs::directory_iterator entry(m_levels.back(), error), end; !error && entry != end;
         entry.increment(error)) {
        if (IsFreshLeftover(entry->path().filename().wstring())) {
            removeOwn(entry->path().wstring(), fs::file_type::regular);
        }
    }
    for (std::size_t index = 0; index < record.previous.files.size(); ++index) {
        if (record.previous.files[index].digest) {
            removeOwn(Join(m_levels.back(), SavedCopyName(index)), fs::file_type::regular);
        }
    }
    // Each only when empty: fs::remove never removes a folder that holds anything.
    removeOwn(m_levels.back(), fs::file_type::directory);
    const auto& made = record.recordFolders;
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        removeOwn(*folder, fs::file_type::directory);
    }
}
