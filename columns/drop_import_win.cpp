// The four columns' drop objects and the import of a dropped file.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <new>

#include "app/handlers.h"
#include "columns/drop_win.h"
#include "ui/control_table.h"
#include "ui/runtime.h"

namespace yz {
namespace {

// A drop object: the window it is bound to (once, for the life of the main
// window) and its drop target.
struct DropObject {
    HWND window = nullptr;
    DropTarget* target = nullptr;
};
DropObject g_dropObjects[5];  // columns 1..4

constexpr UINT_PTR kRevokeSubclassId = 0x4452;

// OLE keeps a reference to the target for as long as the window is
// registered; the registration must end while the window still exists.
LRESULT CALLBACK RevokeOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR column) {
    if (message == WM_DESTROY) {
        RevokeDragDrop(window);
        DropObject& object = g_dropObjects[column];
        if (object.target) {
            object.target->Release();
            object.target = nullptr;
        }
        RemoveWindowSubclass(window, RevokeOnDestroy, id);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

bool BindDropTarget(int column, HWND window) {
    DropObject& object = g_dropObjects[column];
    if (object.window != nullptr || window == nullptr) return false;
    DropTarget* target = new (std::nothrow) DropTarget([column](const DroppedFiles& files) {
        ImportDroppedFiles(column, files);
    });
    if (target == nullptr) return false;
    if (RegisterDragDrop(window, target) != S_OK) {
        target->Release();
        return false;
    }
    object.window = window;
    object.target = target;
    SetWindowSubclass(window, RevokeOnDestroy, kRevokeSubclassId, static_cast<DWORD_PTR>(column));
    return true;
}

}  // namespace

void BindColumnDropTargets() {
    // A column whose binding fails simply takes no dropped files.
    for (int column = 1; column <= 4; ++column) BindDropTarget(column, ui::Window(ui::kColumnEdit[column]));
}

void ImportDroppedFiles(int column, const DroppedFiles& files) {
    if (column < 1 || column > 4) return;
    const ImportPlan plan = PlanImport(files);
    switch (plan.action) {
        case ImportPlan::Write:
            // One write of the whole text; the column's change handling runs
            // once before it returns.
            ui::SetText(ui::kColumnEdit[column], plan.text);
            break;
        case ImportPlan::Tell:
            // The column keeps its text, list, count and include box.
            ui::ShowMessage(plan.message);
            break;
        case ImportPlan::Nothing:
            break;
    }
}

void ImportDroppedFile(int column, const std::string& fileListText) {
    ImportDroppedFiles(column, FilesFromListText(fileListText));
}

}  // namespace yz
