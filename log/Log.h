#pragma once

#include "core/FormatAttribute.h"
#include "log/LogLevel.h"

// Formats a message with formatString and hands it to the process-wide
// logger at the given level. Variable text belongs in the arguments, never in
// the format. Without an installed logger the message is dropped.
void logMessage(LogLevel level, const char* format, ...) RIMKIT_PRINTF_FORMAT(2, 3);
void logInfo(const char* format, ...) RIMKIT_PRINTF_FORMAT(1, 2);
void logWarning(const char* format, ...) RIMKIT_PRINTF_FORMAT(1, 2);
void logError(const char* format, ...) RIMKIT_PRINTF_FORMAT(1, 2);
