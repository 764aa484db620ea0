#pragma once

#include "sdk/RecoveryState.h"

#include <optional>
#include <string>
#include <vector>

// The text of a recovery record: one field a line, each as its name, the
// length of its value in bytes, a colon and the value in UTF-8, so that a
// path holds any character. The bytes of the previous files are kept beside
// the record, in the files that `savedCopies` names (empty: not kept).
std::string RecoveryText(const RecoveryState& state, const std::vector<std::wstring>& savedCopies);

// The record read back, with the name of each previous file's saved copy;
// nothing when the text is not a whole record.
struct ParsedRecovery {
    RecoveryState state;
    std::vector<std::wstring> savedCopies;
};
std::optional<ParsedRecovery> ParseRecoveryText(const std::string& text);
