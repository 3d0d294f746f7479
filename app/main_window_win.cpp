// The main window's events and the program's start-up and shutdown.
#include <vector>

#include "app/handlers.h"
#include "app/program.h"
#include "columns/column_store.h"
#include "ui/runtime.h"

namespace yz {
namespace {

using ui::EventBinding;

template <int C>
void Refresh() { RefreshColumn(C); }
template <int C>
void Clear() { ClearColumn(C); }

const EventBinding kMainEvents[] = {
    {nullptr, EventBinding::Created, MainWindowCreated},
    {"编辑框_第一列", EventBinding::TextChanged, Refresh<1>},
    {"编辑框_第二列", EventBinding::TextChanged, Refresh<2>},
    {"编辑框_第三列", EventBinding::TextChanged, Refresh<3>},
    {"编辑框_第四列", EventBinding::TextChanged, Refresh<4>},
    {"按钮_清空第一列", EventBinding::Click, Clear<1>},
    {"按钮_清空第二列", EventBinding::Click, Clear<2>},
    {"按钮_清空第三列", EventBinding::Click, Clear<3>},
    {"按钮_清空第四列", EventBinding::Click, Clear<4>},
    // The drop objects (拖放对象_第一列 to 第四列) are bound to the column
    // boxes by MainWindowCreated and import through their own drop targets,
    // which keep the dropped names in UTF-16 so any name opens.
    {"按钮_输出", EventBinding::Click, GenerateCommand},
    {"选择框_去重", EventBinding::Click, DedupWarning},
    {"按钮_复制", EventBinding::Click, CopyResult},
    {"按钮_重置", EventBinding::Click, ResetResult},
    {"按钮_导出", EventBinding::Click, ExportResult},
    {"透明标签_说明", EventBinding::LeftButtonDown, OpenHelpWindow},
};

std::vector<void (*)()>& BeforeExit() {
    static std::vector<void (*)()> routines;
    return routines;
}

}  // namespace

void MainWindowCreated() {
    ui::SwitchSkin(3);
    WatchIncludeBoxes();
    BindColumnDropTargets();
}

void ExitCleanUp() { Columns().ReleaseAll(); }

void RegisterBeforeExit(void (*routine)()) {
    for (auto r : BeforeExit())
        if (r == routine) return;
    BeforeExit().push_back(routine);
}

void RunBeforeExitRoutines() {
    static bool ran = false;
    if (ran) return;
    ran = true;
    for (auto r : BeforeExit()) r();
}

HWND LoadMainWindow() {
    return ui::LoadWindow(ui::kMainWindow, ui::kMainControls, static_cast<int>(std::size(ui::kMainControls)),
                          kMainEvents, static_cast<int>(std::size(kMainEvents)), ui::kMainTabOrder,
                          static_cast<int>(std::size(ui::kMainTabOrder)));
}

int RunProgram() {
    // Without OLE only the file drops are lost; the program still runs.
    ui::InitRuntime();
    Columns();   // every column starts as the empty list
    ui::RegisterExitRoutine(ExitCleanUp);
    if (!LoadMainWindow()) {
        MessageBoxW(nullptr, L"无法创建程序主窗口，程序将退出。", L"砚舟词语组合器", MB_ICONERROR | MB_OK);
        return -1;
    }
    ui::RunMessageLoop();
    RunBeforeExitRoutines();
    ui::RunExitRoutines();
    return 0;
}

}  // namespace yz
