// Copy, export and reset of the result. Each takes the result box's text as
// it is at that moment: the user's own edits included, and during a run the
// lines written so far. None of them stops or waits for a run.
#include "app/handlers.h"
#include "output/program_directory.h"
#include "output/result_io_win.h"
#include "ui/runtime.h"

namespace yz {

namespace {
constexpr const char* kResultBox = "编辑框_结果";
}

void CopyResult() {
    const std::string message = CopyMessage(PutClipboardText(ui::GetText(kResultBox)));
    if (!message.empty()) ui::ShowMessage(message);
}

void ExportResult() {
    const std::string path = ExportFilePath(ui::ProgramDirectory());
    const bool written = WriteWholeFile(path, ui::GetText(kResultBox));
    ui::ShowMessage(ExportMessage(written, path));
}

void ResetResult() {
    ui::SetText(kResultBox, "");
    ui::SetText("编辑框_输出条数", "0");
    ui::SetProgressPos(0);
}

}  // namespace yz
