#include "core/Text.h"

#include "platform/TextCodec.h"

std::string toNarrow(const std::wstring& text) {
    return Vexo::Platform::Utf16ToUtf8(text.c_str());
}

std::wstring toWide(const std::string& text) {
    return Vexo::Platform::Utf8ToUtf16(text);
}
