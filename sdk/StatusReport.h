#pragma once

#include "platform/Bitness.h"

#include <optional>
#include <string>

// Logs the known-folder tokens, a legend, and one status line for each SDK
// DLL: 32-bit first, then 64-bit; then a warning for each registered DLL
// that is there but does not hold this version's bytes. Changes nothing.
void ReportStatus();

// Logs the status line of one DLL from the path its registration in `view`
// names.
void ReportComponentStatus(const std::optional<std::wstring>& registeredPath,
                           const std::string& displayName, Vexo::Platform::Bitness view);
