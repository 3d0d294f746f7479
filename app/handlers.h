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

}  // namespace yz
