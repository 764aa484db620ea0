#pragma once

#include <string>

// Both are defined in platform/TextCodec.cpp, next to the system conversion
// they rest on; core/ itself uses nothing of the platform.

// Wide (UTF-16) text to UTF-8, up to the first NUL. A failed conversion gives
// the empty string; a lone surrogate becomes U+FFFD.
std::string toNarrow(const std::wstring& text);

// UTF-8 text back to wide text, every character kept (embedded NULs too).
std::wstring toWide(const std::string& text);
