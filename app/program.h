// The program as a whole: start-up, the main window with its events, and the
// end. WinMain only calls RunProgram; tests load the main window themselves.
#pragma once

#include <windows.h>

namespace yz {

// Start-up, message loop and shutdown; the process's exit code.
int RunProgram();
// The main window from its control table, with its events bound; nullptr
// when it cannot be created.
HWND LoadMainWindow();
// The routines of RegisterBeforeExit, once.
void RunBeforeExitRoutines();

}  // namespace yz
