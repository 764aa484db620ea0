#include "core/Format.h"

#include <cstdio>
#include <vector>

std::string formatString(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatStringV(format, arguments);
    va_end(arguments);
    return text;
}

std::string formatStringV(const char* format, va_list arguments) {
    if (format == nullptr) {
        return {};
    }
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int written = std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    if (written < 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}
