#pragma once

// Marks a function as taking a printf format at argument `formatIndex` and its
// values from `firstValueIndex` on (0 for a va_list), so that the compiler
// checks every call. Formatting goes through mingw's C99 printf
// (__USE_MINGW_ANSI_STDIO), not msvcrt's dialect: GCC calls that gnu_printf,
// clang knows only printf, which it checks by the same C99 rules.
#if defined(__clang__)
#define RIMKIT_PRINTF_FORMAT(formatIndex, firstValueIndex)                                         \
    __attribute__((format(printf, formatIndex, firstValueIndex)))
#else
#define RIMKIT_PRINTF_FORMAT(formatIndex, firstValueIndex)                                         \
    __attribute__((format(gnu_printf, formatIndex, firstValueIndex)))
#endif
