#pragma once

namespace Vexo::Platform {

// While it lives, the console of the process (if it has one) reads what is
// written to it as UTF-8, as the log is written. Left in its own code page
// (an OEM one such as 850 or 437), the console would show each non-ASCII
// letter of a path as two or three wrong ones. The console's code page is
// put back when the guard goes: a console inherited from a shell is shared
// with that shell and with whatever runs in it after the tool. Files and
// pipes take the bytes as they are; the code page does not touch them.
class Utf8ConsoleOutput {
public:
    Utf8ConsoleOutput() noexcept;
    ~Utf8ConsoleOutput();

    // Not copyable or movable: the code page is put back exactly once.
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput(Utf8ConsoleOutput&&) = delete;
    Utf8ConsoleOutput& operator=(Utf8ConsoleOutput&&) = delete;

private:
    unsigned m_previousCodePage = 0; // 0: nothing was changed, nothing to put back
};

} // namespace Vexo::Platform
