#pragma once

#include <string>

namespace Vexo::Platform {

// NUL-terminated UTF-16 text to UTF-8; empty when the system reports failure.
std::string Utf16ToUtf8(const wchar_t* text);

// UTF-8 text of any length (embedded NULs included) to UTF-16.
std::wstring Utf8ToUtf16(const std::string& text);

} // namespace Vexo::Platform
