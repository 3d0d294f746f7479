// The window-and-control runtime: windows built from a control table,
// controls looked up by name, events dispatched to plain handler procedures,
// and property reads and writes that any thread may make; a worker thread's
// call is carried out synchronously on the window thread.
//
// Texts crossing this interface are GBK bytes; the runtime converts them with
// code page 936 where they meet a window, whatever the machine's ANSI code
// page is.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "ui/control_table.h"

namespace yz::ui {

using Handler = void (*)();

// Events of a window's controls: which handler runs for what. A dropped
// file reaches its column through the column's own drop target instead
// (columns/drop_win.h), which keeps the names in UTF-16.
struct EventBinding {
    const char* control;   // nullptr: the window itself (Created)
    enum Event { TextChanged, Click, LeftButtonDown, Created } event;
    Handler handler;
};

// --- Start-up and shutdown (window thread) ---
// OleInitialize, the program's directory as the current directory, common
// controls. Returns false when OLE could not be initialised.
bool InitRuntime();
// Exit routines run once, in registration order, after the message loop;
// registering one twice adds it once.
void RegisterExitRoutine(void (*routine)());
void RunExitRoutines();
// Creates a top-level window from its table, centred on the full screen,
// raises its Created event, shows it. nullptr on failure.
// keepTabOrder: Tab and Shift+Tab cycle through the controls that take the
// focus in table order (the overload below names the cycle instead).
HWND LoadWindow(const WindowSpec& window, const ControlSpec* controls, int count,
                const EventBinding* events, int eventCount, bool keepTabOrder);
HWND LoadWindow(const WindowSpec& window, const ControlSpec* controls, int count,
                const EventBinding* events, int eventCount,
                const char* const* tabOrder, int tabCount);
// Dispatches messages until the last window of the program is gone.
// Returns the quit code.
int RunMessageLoop();
// The program's directory (GBK), fixed by InitRuntime.
const std::string& ProgramDirectory();
HWND MainWindow();
// Windows that LoadWindow made and that still exist.
int OpenWindowCount();
// Handles a key press before the focused control sees it (Tab, Shift+Tab,
// Esc, Enter, F1); true when the message was taken. RunMessageLoop calls it,
// a test or a modal loop of the program's own may too.
bool PreTranslateKey(MSG& msg);

// --- Controls by name (any thread) ---
HWND Window(std::string_view name);
std::string GetText(std::string_view name);          // whole text, GBK
// Writes an edit box's whole text. For a column box the change handling runs
// exactly once, synchronously, also when the text is unchanged.
void SetText(std::string_view name, std::string_view text);
void SetCaption(std::string_view name, std::string_view text);
bool GetChecked(std::string_view name);
void SetChecked(std::string_view name, bool checked);
void SetProgressMax(int maximum);   // 32-bit range
void SetProgressPos(int position);
// Reads an edit box's whole text into `out`, reusing the buffers of earlier
// calls: the column change handling reads megabytes on every keystroke.
void ReadText(std::string_view name, std::string& out);
// Length of the text in UTF-16 units, 0 for an empty box.
int TextLength(std::string_view name);
// A check box's ticked state changes (a click, Space, BM_SETCHECK from anyone):
// fn is told on the window thread after the change. One observer.
void SetCheckObserver(void (*fn)(std::string_view control, bool checked));

// Runs fn on the window thread and returns when it has run. On the window
// thread it runs at once. Returns false when the window is gone (fn did not
// run).
bool OnWindowThread(const std::function<void()>& fn);
bool IsWindowThread();

// --- Text meets window ---
std::wstring WideFromGbk(std::string_view gbk);
std::string GbkFromWide(std::wstring_view wide);

// Opens the clipboard for owner (nullptr: the thread), trying again for
// about 100 ms while another program holds it (Wine's clipboard manager does
// for a moment). True when it is open; the caller closes it.
bool OpenClipboardWithRetry(HWND owner);

// --- Control skin (window thread) ---
// 1, 2 or 3 switches the skin on with that frame colour scheme for every
// window of the thread, existing and created later; any other number switches
// it off and gives every window its own drawing back.
bool SwitchSkin(int scheme);
int SkinScheme();   // 0 when off
COLORREF SkinFrameColour(int scheme);

// A plain message box: OK only, no icon, no owner, task-modal, the title
// "提示". Window thread only.
void ShowMessage(std::string_view text);

}  // namespace yz::ui
