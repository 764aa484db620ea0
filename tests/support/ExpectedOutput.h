#pragma once

#include <string>

// Lines the tool writes to redirected standard output (text mode: CR LF).
namespace testsupport::lines {

inline const std::string version = "Info: v9.1.1\r\nInfo: \r\n";
inline const std::string console = "Info: Console logging enabled.\r\n";
inline const std::string prompt = "Press any key to exit.\r\n";

// The status report up to its two status lines: the known folders of this
// prefix, as the system reports them, and the legend.
std::string StatusHeader();

} // namespace testsupport::lines
