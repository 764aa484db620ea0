#pragma once

#include "core/FormatAttribute.h"

#include <cstdarg>
#include <string>

// printf-style formatting into a new narrow string. A format that cannot be
// applied gives the empty string.
std::string formatString(const char* format, ...) RIMKIT_PRINTF_FORMAT(1, 2);
std::string formatStringV(const char* format, va_list arguments) RIMKIT_PRINTF_FORMAT(1, 0);
