// Every handler the main window's events call. Plain procedures on the window
// thread: they keep no state and read the user's choices from the controls.
#pragma once

#include <string>

namespace yz {

// columns/
void RefreshColumn(int column);           // change handling of column 1..4
void ClearColumn(int column);
void ImportDroppedFile(int column, const std::string& fileListText);
// Binds the four drop objects to the four column boxes (main window created).
void BindColumnDropTargets();
// Mirrors every change of the include boxes of columns 2..4 into Columns()
// (main window created, before anything can change them).
void WatchIncludeBoxes();

// generator/
void GenerateCommand();
void DedupWarning();

// output/
void CopyResult();
void ExportResult();
void ResetResult();

// ui/
void OpenHelpWindow();

// app/
void MainWindowCreated();
void ExitCleanUp();
// Routines run once, in registration order, after the message loop has ended
// and before the exit routines release the columns: the generator registers
// one that tells a combination run still going to stop (and waits for it to
// let go of the lists). Registering a routine twice adds it once. Window
// thread only; no window exists any more when they run.
void RegisterBeforeExit(void (*routine)());

}  // namespace yz
