#include "sdk/RecoveryFolder.h"

#include "core/Text.h"
#include "platform/FolderProtection.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/KnownFolders.h"
#include "platform/PathPresence.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using Vexo::Platform::Protection;

namespace {

constexpr wchar_t recordName[] = L"rimkit_manager.recovery";

// A file about to be replaced may be open for a moment in a virus scanner
// or an indexer.
constexpr unsigned long retryMilliseconds = 1000;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return (fs::path(folder) / name).wstring();
}

Vexo::Error CannotKeep(const std::wstring& path, std::int32_t windowsError) {
    return Vexo::Error("Unable to create " + toNarrow(path) + " (Windows error " +
                           std::to_string(windowsError) + ").",
                       windowsError);
}

Expected<bool> Keep(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const auto written = Vexo::Platform::WriteWholeFile(path, bytes, retryMilliseconds);
    if (written.outcome != Vexo::Platform::WriteOutcome::Written) {
        return CannotKeep(path, written.windowsError);
    }
    return true;
}

} // namespace

Vexo::Error RecordRefused(const std::wstring& recordPath, const std::string& reason) {
    return Vexo::Error("The recovery record " + toNarrow(recordPath) +
                           " cannot be used: " + reason + ". Nothing was changed.",
                       0);
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

Expected<RecoveryRecord> RecoveryFolder::ReadRecord() const {
    const Vexo::Error othersCanChange(othersCanChangeIt, 0);
    for (const auto& level : m_levels) {
        if (Vexo::Platform::ProtectionOf(level) != Protection::AdministratorsOnly) {
            return othersCanChange;
        }
    }
    if (Vexo::Platform::ProtectionOf(m_recordPath) != Protection::AdministratorsOnly) {
        return othersCanChange;
    }
    const Vexo::Error damaged("it is damaged", 0);
    const auto text = Vexo::Platform::ReadWholeFile(m_recordPath);
    if (!text) {
        return damaged;
    }
    auto record = ReadRecordText(std::string(text->begin(), text->end()), m_levels);
    if (record.hasError()) {
        return record;
    }
    // A saved copy counts only with the bytes the record noted for it; one
    // that lost them leaves its file without bytes to be written back from.
    auto& files = record.value().previous.files;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!files[index].digest) {
            continue;
        }
        auto bytes = Vexo::Platform::ReadWholeFile(Join(m_levels.back(), SavedCopyName(index)));
        if (bytes && Vexo::Platform::DigestOf(*bytes) == files[index].digest) {
            files[index].bytes = std::move(bytes);
        }
    }
    return record;
}

Expected<bool> RecoveryFolder::Prepare(std::vector<std::wstring>& made) const {
    const Vexo::Error refused = RecordRefused(m_recordPath, othersCanChangeIt);
    for (std::size_t index = 0; index < m_levels.size(); ++index) {
        const std::wstring& level = m_levels[index];
        const bool own = index + 1 == m_levels.size();
        std::error_code error;
        if (!fs::exists(level, error) && !error) {
            // The record's own folder is for administrators only; the ones
            // above it take what Program Files gives.
            const auto created = own ? Vexo::Platform::CreateAdminOnlyFolder(level)
                                     : Vexo::Platform::CreateFolder(level);
            if (created.hasError()) {
                return CannotKeep(level, created.error().code);
            }
            made.push_back(level);
        }
        switch (Vexo::Platform::ProtectionOf(level)) {
        case Protection::AdministratorsOnly:
            continue;
        case Protection::Link:
            return refused;
        case Protection::OthersCanChange:
            if (Vexo::Platform::Protect(level, own ? Vexo::Platform::OthersMay::Nothing
                                                   : Vexo::Platform::OthersMay::Read)
                    .hasError() ||
                Vexo::Platform::ProtectionOf(level) != Protection::AdministratorsOnly) {
                return refused;
            }
        }
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
    std::error_code error;
    // The record first: a record must never name copies that are gone.
    fs::remove(m_recordPath, error);
    for (std::size_t index = 0; index < record.previous.files.size(); ++index) {
        if (record.previous.files[index].digest) {
            fs::remove(Join(m_levels.back(), SavedCopyName(index)), error);
        }
    }
    // Each only when empty: fs::remove never removes a folder that holds anything.
    fs::remove(m_levels.back(), error);
    const auto& made = record.recordFolders;
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        fs::remove(*folder, error);
    }
}
