#pragma once

#include <cstdarg>
#include <string>

// printf-style formatting into a new narrow string. A format that cannot be
// applied gives the empty string.
std::string formatString(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string formatStringV(const char* format, va_list arguments)
    __attribute__((format(gnu_printf, 1, 0)));
