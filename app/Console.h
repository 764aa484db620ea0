#pragma once

// Gives the process a console and points the standard streams at it. A
// stream whose console device cannot be opened stays where it was.
void OpenConsole();

// Waits for one key press when one can come: only when standard input is a
// console. Elsewhere (a pipe, a file, no console at all) it returns at once.
void WaitForKeyPress();
