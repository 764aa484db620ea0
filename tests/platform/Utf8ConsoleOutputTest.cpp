#include "platform/Utf8ConsoleOutput.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// A console inherited from a shell is the shell's: its code page is UTF-8
// while the tool writes and what it was once the tool is done. Wine keeps a
// code page only for a console on a terminal (e2e_terminal_key_wait runs
// this there); a headless Wine console has none and takes none.
TEST(Utf8ConsoleOutput, IsUtf8InsideItsScopeAndThePreviousCodePageAfter) {
    if (!SetConsoleOutputCP(850)) {
        GTEST_SKIP() << "this console keeps no code page";
    }
    {
        const Vexo::Platform::Utf8ConsoleOutput utf8;
        EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    }
    EXPECT_EQ(GetConsoleOutputCP(), 850u);
}

} // namespace
