#pragma once

// Gives the process a console and points the standard streams at it, all but
// those the caller sent to a file or a pipe: they stay where they are. A
// stream whose console device cannot be opened stays where it was, too.
void OpenConsole();

// Waits for one key press when one can come and the prompt was seen: only
// when standard input and standard output are both a console. Elsewhere (a
// pipe, a file, no console at all) it returns at once.
void WaitForKeyPress();
