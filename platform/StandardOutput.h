#pragma once

#include <string>

namespace Vexo::Platform {

// Writes `text` to standard output in one write, after what the C runtime
// still holds for it. A console decodes each write on its own, so a letter
// of several UTF-8 bytes shows right only when its bytes come together; the
// runtime's own printf to a console writes one byte at a time. Files and
// pipes get the same bytes as through printf (in text mode, CR LF line ends).
void WriteToStandardOutput(const std::string& text);

} // namespace Vexo::Platform
