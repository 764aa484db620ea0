#include "sdk/RecoveryRecord.h"

#include "core/Text.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/KnownFolders.h"
#include "platform/PathPresence.h"
#include "sdk/RecoveryText.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr wchar_t recordName[] = L"rimkit_manager.recovery";

Vexo::Error CannotKeep(const std::wstring& path) {
    return Vexo::Error("Unable to create " + toNarrow(path) + ".", 0);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return (fs::path(folder) / name).wstring();
}

// Makes each missing level of Vexo\Rimkit\Recovery, adding it to `made`.
bool MakeFolders(const fs::path& folder, std::vector<std::wstring>& made) {
    const fs::path rimkit = folder.parent_path();
    for (const fs::path& level : {rimkit.parent_path(), rimkit, folder}) {
        std::error_code error;
        if (fs::create_directory(level, error)) {
            made.push_back(level.wstring());
        }
        if (!fs::is_directory(level, error)) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

} // namespace

RecoveryRecord::RecoveryRecord(std::wstring folder)
    : m_folder(std::move(folder)), m_path(Join(m_folder, recordName)) {}

std::optional<RecoveryRecord> RecoveryRecord::InProgramFiles() {
    const auto programFiles = ProgramFilesFolder64();
    if (!programFiles) {
        return std::nullopt;
    }
    return RecoveryRecord(Join(*programFiles, L"Vexo\\Rimkit\\Recovery"));
}

bool RecoveryRecord::Exists() const {
    return Vexo::Platform::QueryPathPresence(m_path) != Vexo::Platform::PathPresence::Absent;
}

Expected<RecoveryState> RecoveryRecord::Read() const {
    const auto bytes = Vexo::Platform::ReadWholeFile(m_path);
    auto parsed =
        bytes ? ParseRecoveryText(std::string(bytes->begin(), bytes->end())) : std::nullopt;
    if (!parsed) {
        return Vexo::Error("Unable to read " + toNarrow(m_path) + ".", 0);
    }
    auto& files = parsed->state.previous.files;
    for (std::size_t index = 0; index < files.size(); ++index) {
        // Only a file of the record's own folder.
        const fs::path copy = fs::path(parsed->savedCopies[index]).filename();
        if (!copy.empty()) {
            files[index].bytes = Vexo::Platform::ReadWholeFile(Join(m_folder, copy.wstring()));
        }
    }
    return std::move(parsed->state);
}

Expected<bool> RecoveryRecord::Begin(RecoveryState& state) {
    if (!MakeFolders(m_folder, state.recordFolders)) {
        return CannotKeep(m_folder);
    }
    m_savedCopies.clear();
    for (std::size_t index = 0; index < state.previous.files.size(); ++index) {
        const auto& bytes = state.previous.files[index].bytes;
        const std::wstring name = L"previous-" + std::to_wstring(index) + L".bin";
        if (bytes && !Vexo::Platform::WriteFileDurably(Join(m_folder, name), *bytes)) {
            return CannotKeep(Join(m_folder, name));
        }
        m_savedCopies.push_back(bytes ? name : L"");
    }
    m_kept = state;
    for (auto& file : m_kept.previous.files) {
        file.bytes.reset();
    }
    if (!Update(state.changes)) {
        return CannotKeep(m_path);
    }
    return true;
}

bool RecoveryRecord::Update(const InstallChanges& changes) const {
    RecoveryState state = m_kept;
    state.changes = changes;
    state.changes.keep = nullptr;
    return Vexo::Platform::WriteFileDurably(m_path, Bytes(RecoveryText(state, m_savedCopies)));
}

void RecoveryRecord::Remove() const {
    std::error_code error;
    // The record first: a record must never name copies that are gone.
    fs::remove(m_path, error);
    fs::directory_iterator entries(m_folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code ignored;
        fs::remove(entries->path(), ignored);
    }
    fs::remove(m_folder, error);
    const auto& made = m_kept.recordFolders;
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        fs::remove(*folder, error);
    }
}
