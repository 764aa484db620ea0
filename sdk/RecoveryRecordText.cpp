#include "sdk/RecoveryRecord.h"

#include "core/Text.h"
#include "platform/FullPath.h"
#include "platform/WindowsFolder.h"
#include "platform/WindowsPath.h"
#include "sdk/ComponentTable.h"

#include <algorithm>
#include <filesystem>
#include <optional>

using Vexo::Platform::Bitness;
using Vexo::Platform::ContentDigest;

namespace {

constexpr char header[] = "rimkit_manager recovery record 2\n";
constexpr char endField[] = "end";
constexpr char damaged[] = "it is damaged";
// Far more fields than any run writes: a record that long is no run's, and
// is not read further.
constexpr std::size_t mostFields = 1000;

std::string Field(const std::string& name, const std::string& value) {
    return name + " " + std::to_string(value.size()) + ":" + value + "\n";
}

std::string PathField(const char* name, const std::wstring& path) {
    return Field(name, toNarrow(Vexo::Platform::FullPath(path)));
}

// "<size> <sha256> <path>": a file with what it held.
std::string DigestField(const char* name, const ContentDigest& digest, const std::wstring& path) {
    return Field(name, Vexo::Platform::DigestText(digest) + " " + toNarrow(path));
}

std::string ViewsText(const std::vector<Bitness>& views) {
    std::string text;
    for (const auto view : views) {
        text += view == Bitness::Bits32 ? "32" : "64";
    }
    return text;
}

std::string Checksum(const std::string& text) {
    const auto digest = Vexo::Platform::DigestOf(text);
    return digest ? Vexo::Platform::Sha256Text(*digest) : std::string();
}

// One field of the text: its name and value.
struct TextField {
    std::string name;
    std::string value;
};

// Reads the field at `at`; nothing when the text there is not a field.
std::optional<TextField> ReadField(const std::string& text, std::size_t& at) {
    const auto space = text.find(' ', at);
    const auto colon = text.find(':', at);
    if (space == std::string::npos || colon == std::string::npos || space > colon) {
        return std::nullopt;
    }
    const std::string length = text.substr(space + 1, colon - space - 1);
    if (length.empty() || length.size() > 9 ||
        length.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t size = std::stoul(length);
    if (colon + 1 + size >= text.size() || text[colon + 1 + size] != '\n') {
        return std::nullopt;
    }
    TextField field{text.substr(at, space - at), text.substr(colon + 1, size)};
    at = colon + 2 + size;
    return field;
}

std::optional<std::vector<Bitness>> ParseViews(const std::string& text) {
    std::vector<Bitness> views;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const std::string view = text.substr(at, 2);
        if (view != "32" && view != "64") {
            return std::nullopt;
        }
        views.push_back(view == "32" ? Bitness::Bits32 : Bitness::Bits64);
    }
    return views;
}

// "<size> <sha256> <path>"
std::optional<MadeFile> ParseMadeFile(const std::string& value) {
    const auto second = value.find(' ', value.find(' ') + 1);
    if (second == std::string::npos || second + 1 >= value.size()) {
        return std::nullopt;
    }
    const auto digest = Vexo::Platform::ParseDigestText(std::string_view(value).substr(0, second));
    if (!digest) {
        return std::nullopt;
    }
    return MadeFile{toWide(value.substr(second + 1)), *digest};
}

// The record as read, with the name each saved copy was given.
struct ParsedText {
    RecoveryRecord record;
    std::vector<std::wstring> savedAs;
};

bool ApplyToLastFile(ParsedText& parsed, const TextField& field) {
    auto& files = parsed.record.previous.files;
    if (files.empty()) {
        return false;
    }
    if (field.name == "views") {
        const auto views = ParseViews(field.value);
        if (views) {
            files.back().views = *views;
        }
        return views.has_value();
    }
    const auto saved = field.name == "saved" ? ParseMadeFile(field.value) : std::nullopt;
    if (saved) {
        files.back().digest = saved->digest;
        parsed.savedAs.back() = saved->path;
    }
    return saved.has_value();
}

bool ApplyMadeFile(std::vector<MadeFile>& list, const std::string& value) {
    const auto file = ParseMadeFile(value);
    if (file) {
        list.push_back(*file);
    }
    return file.has_value();
}

std::vector<std::wstring>* PathList(RecoveryRecord& record, const std::string& name) {
    if (name == "handed") {
        return &record.changes.handedToRegsvr32;
    }
    if (name == "registered") {
        return &record.changes.registered;
    }
    if (name == "made") {
        return &record.recordFolders;
    }
    return nullptr;
}

// Applies one field; false when it is none of this version's or does not fit.
bool Apply(ParsedText& parsed, const TextField& field) {
    RecoveryRecord& record = parsed.record;
    const std::wstring value = toWide(field.value);
    if (field.name == "named32") {
        record.previous.named32 = value;
    } else if (field.name == "named64") {
        record.previous.named64 = value;
    } else if (field.name == "file") {
        record.previous.files.push_back(RememberedFile{value, std::nullopt, std::nullopt, {}});
        parsed.savedAs.emplace_back();
    } else if (field.name == "folder") {
        record.changes.createdFolders.emplace_back(value);
    } else if (field.name == "install") {
        if (!record.changes.installFolder.empty()) {
            return false;
        }
        record.changes.installFolder = value;
    } else if (field.name == "written") {
        return ApplyMadeFile(record.changes.written, field.value);
    } else if (field.name == "aside") {
        return ApplyMadeFile(record.changes.movedAside, field.value);
    } else if (auto* list = PathList(record, field.name)) {
        list->push_back(value);
    } else {
        return ApplyToLastFile(parsed, field);
    }
    return true;
}

std::optional<ParsedText> Parse(const std::string& text) {
    if (text.compare(0, sizeof(header) - 1, header) != 0) {
        return std::nullopt;
    }
    ParsedText parsed;
    std::size_t at = sizeof(header) - 1;
    for (std::size_t fields = 0; at < text.size() && fields <= mostFields; ++fields) {
        const std::size_t start = at;
        const auto field = ReadField(text, at);
        if (!field) {
            return std::nullopt;
        }
        if (field->name == endField) {
            // The last line, over all before it: a record cut anywhere, or
            // changed, is not whole.
            if (at != text.size() || field->value != Checksum(text.substr(0, start))) {
                return std::nullopt;
            }
            return parsed;
        }
        if (!Apply(parsed, *field)) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// A full path in the one form a run writes: "." and ".." resolved, so
// that no path reaches elsewhere than its text says.
bool IsFullPath(const std::wstring& path) {
    const std::filesystem::path parsed(path);
    return parsed.has_root_name() && parsed.has_root_directory() &&
           Vexo::Platform::FullPath(path) == path;
}

// A file a run could have written, renamed aside or handed to regsvr32: an
// SDK DLL (or a copy of one it renamed aside) in the install folder that the
// record names, outside the Windows folder.
bool IsSdkFileInInstallFolder(const std::wstring& path, bool asideCopy,
                              const std::wstring& installFolder) {
    return IsFullPath(path) && (asideCopy ? IsAsideCopy(path) : FindComponent(path) != nullptr) &&
           !installFolder.empty() &&
           Vexo::Platform::SameFile(Vexo::Platform::ParentFolder(path), installFolder) &&
           !Vexo::Platform::IsInWindowsFolder(path);
}

bool HoldsWrittenFile(const std::filesystem::path& folder, const std::vector<MadeFile>& written) {
    if (!IsFullPath(folder.wstring())) {
        return false;
    }
    std::wstring text = folder.wstring();
    while (!text.empty() && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    return std::any_of(written.begin(), written.end(), [&text](const MadeFile& file) {
        const auto rest = Vexo::Platform::RestBelow(file.path, text);
        return rest && !rest->empty();
    });
}

// A previous file is one that a view named before the run, as full paths.
bool NamedByItsViews(const RememberedFile& file, const PreviousInstallation& previous) {
    const auto names = [&](Bitness view) {
        const auto& named = view == Bitness::Bits32 ? previous.named32 : previous.named64;
        return named && Vexo::Platform::SameFile(Vexo::Platform::FullPath(*named), file.path);
    };
    return !file.views.empty() && std::all_of(file.views.begin(), file.views.end(), names);
}

// The first path that no run could have put in the record.
std::optional<std::wstring> ForeignPath(const ParsedText& parsed,
                                        const std::vector<std::wstring>& recordFolders) {
    const RecoveryRecord& record = parsed.record;
    for (std::size_t index = 0; index < record.previous.files.size(); ++index) {
        const RememberedFile& file = record.previous.files[index];
        // A file in the Windows folder is only ever registered again, never
        // written back, so it has no copy.
        const bool writtenBack = file.digest.has_value();
        if (!IsFullPath(file.path) || FindComponent(file.path) == nullptr ||
            !NamedByItsViews(file, record.previous) ||
            (writtenBack && Vexo::Platform::IsInWindowsFolder(file.path))) {
            return file.path;
        }
        if (writtenBack && parsed.savedAs[index] != SavedCopyName(index)) {
            return parsed.savedAs[index];
        }
    }
    const RunChanges& changes = record.changes;
    if (!changes.installFolder.empty() && !IsFullPath(changes.installFolder)) {
        return changes.installFolder;
    }
    for (const auto& file : changes.written) {
        if (!IsSdkFileInInstallFolder(file.path, false, changes.installFolder)) {
            return file.path;
        }
    }
    for (const auto& file : changes.movedAside) {
        if (!IsSdkFileInInstallFolder(file.path, true, changes.installFolder)) {
            return file.path;
        }
    }
    for (const auto* list : {&changes.handedToRegsvr32, &changes.registered}) {
        for (const auto& path : *list) {
            if (!IsSdkFileInInstallFolder(path, false, changes.installFolder)) {
                return path;
            }
        }
    }
    for (const auto& folder : changes.createdFolders) {
        if (!HoldsWrittenFile(folder, changes.written)) {
            return folder.wstring();
        }
    }
    for (const auto& folder : record.recordFolders) {
        if (!IsFullPath(folder) || !Vexo::Platform::AnySameFileOnDisc(recordFolders, folder)) {
            return folder;
        }
    }
    return std::nullopt;
}

} // namespace

std::wstring SavedCopyName(std::size_t index) {
    return L"previous-" + std::to_wstring(index) + L".bin";
}

std::string RecordText(const RecoveryRecord& record) {
    std::string text = header;
    const PreviousInstallation& previous = record.previous;
    if (previous.named32) {
        text += Field("named32", toNarrow(*previous.named32));
    }
    if (previous.named64) {
        text += Field("named64", toNarrow(*previous.named64));
    }
    for (std::size_t index = 0; index < previous.files.size(); ++index) {
        const RememberedFile& file = previous.files[index];
        text += PathField("file", file.path);
        text += Field("views", ViewsText(file.views));
        if (file.digest) {
            text += DigestField("saved", *file.digest, SavedCopyName(index));
        }
    }
    const RunChanges& changes = record.changes;
    for (const auto& folder : changes.createdFolders) {
        text += PathField("folder", folder.wstring());
    }
    if (!changes.installFolder.empty()) {
        text += PathField("install", changes.installFolder);
    }
    for (const auto& [name, files] :
         {std::pair("written", &changes.written), std::pair("aside", &changes.movedAside)}) {
        for (const auto& file : *files) {
            text += DigestField(name, file.digest, Vexo::Platform::FullPath(file.path));
        }
    }
    for (const auto& [name, paths] :
         {std::pair("handed", &changes.handedToRegsvr32),
          std::pair("registered", &changes.registered), std::pair("made", &record.recordFolders)}) {
        for (const auto& path : *paths) {
            text += PathField(name, path);
        }
    }
    return text + Field(endField, Checksum(text));
}

Expected<RecoveryRecord> ReadRecordText(const std::string& text,
                                        const std::vector<std::wstring>& recordFolders) {
    auto parsed = Parse(text);
    if (!parsed) {
        return Vexo::Error(damaged, 0);
    }
    if (const auto foreign = ForeignPath(*parsed, recordFolders)) {
        return Vexo::Error("it names a file that is not the SDK's: " + toNarrow(*foreign), 0);
    }
    return std::move(parsed->record);
}
