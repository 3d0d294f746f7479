// End-to-end driver: starts the real program in a fresh temporary folder and
// drives it from this process at the Win32 message level, as a user would.
//
// A test is a few lines:
//
//     TEST(Columns, CountsWords) {
//         App app;                                   // started, window up
//         app.TypeAsUser("编辑框_第一列", "a\r\nb");
//         EXPECT_EQ(app.Text("标签_第一列"), "2个");
//     }
//
// Texts are GBK bytes like everywhere in the program (narrow literals in the
// tests are GBK: the build sets -fexec-charset=CP936). Controls are named as
// in ui/control_table.h. Every wait is bounded; a hard failure (the program
// does not start, does not answer, a control is missing) throws
// std::runtime_error, which GoogleTest reports as a failure of the test.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/win_files.h"

namespace yz::e2e {

// Times are in milliseconds. (<chrono> does not build with the GBK execution
// character set of this project: it holds a literal "\u00b5s".)
using Millis = DWORD;

// --- Texts: GBK <-> UTF-16 with code page 936, whatever the ANSI code page ---
std::wstring Wide(std::string_view gbk);
std::string Gbk(std::wstring_view wide);

// The program under test: the --app=<path> argument of e2e_tests.exe; a Unix
// path "/x/y" becomes "Z:\x\y".
std::wstring ProgramPath();

// Polls pred every few milliseconds until it holds or the time is up.
bool WaitFor(const std::function<bool()>& pred, Millis timeout = 5000);

// A result text cut after each CR LF; a last piece without one is kept too.
std::vector<std::string> Lines(const std::string& text);

// Posts a click of a message box's only button (OK when it has several);
// does not wait and never throws, so another thread may use it.
void PressMessageBox(HWND box);

// --- Files ---
using test::FolderEntries;
using test::ReadFileBytes;
using test::WriteFileBytes;
bool FileExists(const std::wstring& path);

// --- Clipboard (opened in a short retry loop: Wine's clipboard manager may
// hold it for a moment) ---
std::optional<std::string> ClipboardBytes(UINT format = CF_TEXT);  // up to the first zero
bool SetClipboardBytes(std::string_view bytes, UINT format = CF_TEXT);
bool EmptyTheClipboard();

enum Mods : unsigned { kNoMods = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

class App {
public:
    enum class Start { Now, Later };
    // Copies the program into a fresh temporary folder and, with Start::Now,
    // starts it (from another current directory) and waits for its main
    // window.
    explicit App(Start when = Start::Now);
    ~App();  // kills the program if it still runs, removes the folder
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // For Start::Later: put files into Folder() first, then start.
    void Launch();

    HWND hwnd() const { return hwnd_; }
    DWORD pid() const { return pid_; }
    DWORD thread() const { return thread_; }
    const std::wstring& Folder() const { return folder_; }          // the program's folder
    const std::wstring& ExePath() const { return exe_; }
    const std::wstring& StartDirectory() const { return startDir_; } // where it was started from
    std::wstring InFolder(std::string_view gbkName) const;          // Folder() + "\" + name

    bool Running() const;
    void Close();                                                   // WM_CLOSE to the main window
    std::optional<DWORD> WaitExit(Millis timeout = 10000);           // exit code, or nothing on timeout
    void Kill();
    // The process's current directory, read from its process parameters.
    std::wstring CurrentDirectory() const;

    // --- Controls, by their names in the control tables ---
    // window: the top-level window holding the control (default: the main one).
    HWND Control(std::string_view name, HWND window = nullptr) const;
    std::string Text(std::string_view name, HWND window = nullptr) const;
    void SetText(std::string_view name, std::string_view gbk);      // WM_SETTEXT (not a user edit)
    // Select all, then replace: a user's paste, raises EN_CHANGE.
    void TypeAsUser(std::string_view name, std::string_view gbk);
    // WM_CHAR for each UTF-16 unit, posted through the program's message
    // loop; returns when the program has handled them.
    void TypeChars(std::string_view name, std::wstring_view text);
    // BM_CLICK, posted (a click may open a modal box); returns when handled.
    void Click(std::string_view name, HWND window = nullptr);
    bool Checked(std::string_view name) const;
    int ProgressPos() const;
    int ProgressMax() const;
    // WM_KEYDOWN + WM_KEYUP posted to the focused control, with the given
    // modifiers held in the program's key state; returns when handled.
    void KeyDown(UINT vk, unsigned mods = kNoMods);
    HWND FocusedWindow() const;
    std::string Focused() const;  // the focused control's name, "" if none of the table
    void SetFocus(std::string_view name);
    // WM_LBUTTONDOWN + WM_LBUTTONUP posted at a point inside the control.
    void LeftButtonDown(std::string_view name, HWND window = nullptr);
    // A real mouse click (SendInput) at x, y of the control's window
    // rectangle: goes through hit-testing, so whatever lies on top there
    // gets it. Negative x or y count from the right or bottom edge. Returns
    // before the program has handled it: wait for the effect with WaitFor.
    void MouseClick(std::string_view name, int x, int y, HWND window = nullptr);
    // Client rectangle of a control relative to its parent's client area.
    RECT RectInParent(std::string_view name, HWND window = nullptr) const;
    // Returns once the program has handled every message posted to it so far.
    void Settle() const;

    // --- Message boxes and other top-level windows of the program ---
    // A top-level dialog ("#32770") of this process with that title.
    HWND FindMessageBox(std::string_view title = "提示", Millis timeout = 5000) const;
    std::string MessageText(HWND box) const;
    void CloseMessageBox(HWND box);     // presses its only button; waits until it is gone
    // Every message box of this process, whatever its title.
    std::vector<HWND> MessageBoxes() const;
    // True when no message box with that title appears within the time.
    bool ExpectNoMessageBox(Millis within = 500, std::string_view title = "提示") const;
    // A visible top-level window of this process with that caption.
    HWND FindWindowByCaption(std::string_view caption, Millis timeout = 5000) const;
    std::vector<HWND> TopLevelWindows() const;  // visible ones of this process

    // SendMessageTimeout to a window of the program; throws when it does not answer.
    LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
    void Post(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;

private:
    void SettleUnlessClosed() const;

    std::wstring root_;      // temporary folder holding everything below
    std::wstring folder_;    // root_\app: the program and its files
    std::wstring startDir_;  // root_\elsewhere: the current directory at start
    std::wstring exe_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD thread_ = 0;
    HWND hwnd_ = nullptr;
};

}  // namespace yz::e2e
