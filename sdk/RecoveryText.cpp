#include "sdk/RecoveryText.h"

#include "core/Text.h"

using Vexo::Platform::Bitness;

namespace {

constexpr char header[] = "rimkit_manager recovery record 1\n";

void AddField(std::string& text, const char* name, const std::wstring& value) {
    const std::string bytes = toNarrow(value);
    text += std::string(name) + " " + std::to_string(bytes.size()) + ":" + bytes + "\n";
}

std::wstring ViewsText(const std::vector<Bitness>& views) {
    std::wstring text;
    for (const auto view : views) {
        text += view == Bitness::Bits32 ? L"32" : L"64";
    }
    return text;
}

std::optional<std::vector<Bitness>> ParseViews(const std::wstring& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<Bitness> views;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const std::wstring view = text.substr(at, 2);
        if (view != L"32" && view != L"64") {
            return std::nullopt;
        }
        views.push_back(view == L"32" ? Bitness::Bits32 : Bitness::Bits64);
    }
    return views;
}

// Reads one field at `at`: its name and value; false at the end or when the
// text is not a field.
bool ReadField(const std::string& text, std::size_t& at, std::string& name, std::wstring& value) {
    const auto space = text.find(' ', at);
    const auto colon = text.find(':', at);
    if (space == std::string::npos || colon == std::string::npos || space > colon) {
        return false;
    }
    const std::string length = text.substr(space + 1, colon - space - 1);
    if (length.empty() || length.size() > 9 ||
        length.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const std::size_t size = std::stoul(length);
    if (colon + 1 + size >= text.size() || text[colon + 1 + size] != '\n') {
        return false;
    }
    name = text.substr(at, space - at);
    value = toWide(text.substr(colon + 1, size));
    at = colon + 2 + size;
    return true;
}

std::vector<std::wstring>* PathList(RecoveryState& state, const std::string& name) {
    if (name == "written") {
        return &state.changes.written;
    }
    if (name == "handed") {
        return &state.changes.handedToRegsvr32;
    }
    if (name == "registered") {
        return &state.changes.registered;
    }
    if (name == "made") {
        return &state.recordFolders;
    }
    return nullptr;
}

// Applies what belongs to the last previous file; false when it does not fit.
bool ApplyToFile(ParsedRecovery& record, const std::string& name, const std::wstring& value) {
    auto& files = record.state.previous.files;
    if (name == "file") {
        files.push_back(RememberedFile{value, std::nullopt, {}});
        record.savedCopies.emplace_back();
        return true;
    }
    if (files.empty()) {
        return false;
    }
    if (name == "saved") {
        record.savedCopies.back() = value;
        return true;
    }
    const auto views = name == "views" ? ParseViews(value) : std::nullopt;
    if (views) {
        files.back().views = *views;
    }
    return views.has_value();
}

// Applies one field to the record being read; false when it does not fit.
bool Apply(ParsedRecovery& record, const std::string& name, const std::wstring& value) {
    auto& state = record.state;
    if (name == "named32") {
        state.previous.named32 = value;
    } else if (name == "named64") {
        state.previous.named64 = value;
    } else if (name == "folder") {
        state.changes.createdFolders.emplace_back(value);
    } else if (auto* list = PathList(state, name)) {
        list->push_back(value);
    } else {
        return ApplyToFile(record, name, value);
    }
    return true;
}

} // namespace

std::string RecoveryText(const RecoveryState& state, const std::vector<std::wstring>& savedCopies) {
    std::string text = header;
    if (state.previous.named32) {
        AddField(text, "named32", *state.previous.named32);
    }
    if (state.previous.named64) {
        AddField(text, "named64", *state.previous.named64);
    }
    for (std::size_t index = 0; index < state.previous.files.size(); ++index) {
        const RememberedFile& file = state.previous.files[index];
        AddField(text, "file", file.path);
        AddField(text, "views", ViewsText(file.views));
        if (index < savedCopies.size() && !savedCopies[index].empty()) {
            AddField(text, "saved", savedCopies[index]);
        }
    }
    for (const auto& folder : state.changes.createdFolders) {
        AddField(text, "folder", folder.wstring());
    }
    const std::pair<const char*, const std::vector<std::wstring>*> lists[] = {
        {"written", &state.changes.written},
        {"handed", &state.changes.handedToRegsvr32},
        {"registered", &state.changes.registered},
        {"made", &state.recordFolders}};
    for (const auto& [name, paths] : lists) {
        for (const auto& path : *paths) {
            AddField(text, name, path);
        }
    }
    return text;
}

std::optional<ParsedRecovery> ParseRecoveryText(const std::string& text) {
    if (text.compare(0, sizeof(header) - 1, header) != 0) {
        return std::nullopt;
    }
    ParsedRecovery record;
    std::size_t at = sizeof(header) - 1;
    std::string name;
    std::wstring value;
    while (at < text.size()) {
        if (!ReadField(text, at, name, value) || !Apply(record, name, value)) {
            return std::nullopt;
        }
    }
    return record;
}
