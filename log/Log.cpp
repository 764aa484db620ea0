#include "log/Log.h"

#include "core/Format.h"
#include "core/FormatAttribute.h"
#include "log/Logger.h"

#include <cstdarg>

namespace {

void logFormatted(LogLevel level, const char* format, va_list arguments) RIMKIT_PRINTF_FORMAT(2, 0);

void logFormatted(LogLevel level, const char* format, va_list arguments) {
    Logger* logger = currentLogger();
    if (logger == nullptr) {
        return;
    }
    logger->log(level, formatStringV(format, arguments));
}

} // namespace

void logMessage(LogLevel level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    logFormatted(level, format, arguments);
    va_end(arguments);
}

void logInfo(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    logFormatted(Vexo::Log::Info, format, arguments);
    va_end(arguments);
}

void logWarning(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    logFormatted(Vexo::Log::Warning, format, arguments);
    va_end(arguments);
}

void logError(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    logFormatted(Vexo::Log::Error, format, arguments);
    va_end(arguments);
}
