// The window-and-control runtime over plain Win32: windows built from control
// tables, a name registry, event dispatch, cross-thread property access and
// the program's own message loop.
#include "ui/runtime.h"

#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "output/program_directory.h"
#include "ui/text_box_win.h"

namespace yz::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"YanzhouWindow";
// A worker's property access, carried out by the main window's procedure.
constexpr UINT kRunOnWindowThread = WM_APP + 1;
constexpr UINT_PTR kRuntimeSubclass = 0x595A0001;

struct WindowState;

struct Control {
    const ControlSpec* spec = nullptr;
    HWND hwnd = nullptr;          // nullptr for a drop object
    WindowState* window = nullptr;
    bool suppressChange = false;  // the runtime itself is writing the text
    bool lastChecked = false;     // check boxes: last state seen
};

struct WindowState {
    HWND hwnd = nullptr;
    std::vector<Control> controls;           // table order
    std::vector<EventBinding> events;
    std::vector<HWND> tabCycle;
    HWND lastFocus = nullptr;
};

std::mutex g_registryMutex;
std::map<std::string, Control*, std::less<>> g_byName;  // guarded by g_registryMutex
std::vector<WindowState*> g_windows;                    // window thread only
std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<DWORD> g_windowThread{0};
bool g_inLoop = false;
std::string g_programDirectory;
std::vector<void (*)()> g_exitRoutines;
bool g_exitRoutinesRan = false;
void (*g_checkObserver)(std::string_view, bool) = nullptr;
thread_local std::wstring t_wideBuffer;

WindowState* StateOf(HWND hwnd) {
    return reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

Control* FindControl(std::string_view name) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = g_byName.find(name);
    return it == g_byName.end() ? nullptr : it->second;
}

Control* ControlOfHwnd(HWND hwnd) {
    for (WindowState* w : g_windows)
        for (Control& c : w->controls)
            if (c.hwnd == hwnd) return &c;
    return nullptr;
}

void RaiseEvent(const WindowState& w, const ControlSpec* spec, EventBinding::Event event) {
    for (const EventBinding& e : w.events) {
        if (e.event != event || !e.handler) continue;
        if ((spec == nullptr) != (e.control == nullptr)) continue;
        if (spec && std::string_view(e.control) != spec->name) continue;
        e.handler();
    }
}

bool HasEvent(const WindowState& w, const ControlSpec* spec, EventBinding::Event event) {
    for (const EventBinding& e : w.events)
        if (e.event == event && e.control && std::string_view(e.control) == spec->name) return true;
    return false;
}

bool IsMultiLineEdit(HWND hwnd) {
    if (IsTextBox(hwnd)) return true;
    wchar_t cls[32];
    if (!GetClassNameW(hwnd, cls, 32) || lstrcmpiW(cls, L"Edit") != 0) return false;
    return (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
}

bool CanTakeFocus(HWND hwnd) {
    return hwnd && IsWindow(hwnd) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
}

HWND FirstInCycle(const WindowState& w) {
    for (HWND h : w.tabCycle)
        if (CanTakeFocus(h)) return h;
    return nullptr;
}

// Tab / Shift+Tab: the next control of the cycle that can take the focus.
void MoveFocus(WindowState& w, HWND from, bool backward) {
    const int n = static_cast<int>(w.tabCycle.size());
    if (n == 0) return;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (w.tabCycle[i] == from) at = i;
    for (int step = 1; step <= n; ++step) {
        int i;
        if (at < 0) i = backward ? n - step : step - 1;
        else i = ((at + (backward ? -step : step)) % n + n) % n;
        if (CanTakeFocus(w.tabCycle[i])) {
            SetFocus(w.tabCycle[i]);
            return;
        }
    }
}

// Count box: of the typed characters only digits and the minus sign pass;
// control characters (backspace, Ctrl+V) go through, pasted text is not
// filtered.
bool DigitFilterDrops(WPARAM ch) {
    return ch >= 32 && !(ch >= L'0' && ch <= L'9') && ch != L'-';
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    Control* c = reinterpret_cast<Control*>(ref);
    switch (c->spec->kind) {
    case Kind::Edit:
        if (msg == WM_CHAR && DigitFilterDrops(wp)) return 0;
        break;
    case Kind::TransparentLabel:
        if (msg == WM_NCHITTEST) return HTCLIENT;
        if (msg == WM_SETCURSOR) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
            return TRUE;
        }
        if (msg == WM_LBUTTONDOWN) {
            LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
            RaiseEvent(*c->window, c->spec, EventBinding::LeftButtonDown);
            return r;
        }
        break;
    case Kind::GroupBox:
        // A group box paints only its frame; the window clips its children,
        // so the group box fills its own inside with the window's colour.
        if (msg == WM_ERASEBKGND) {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        // The transparent label inside draws its text on the group box.
        if (msg == WM_CTLCOLORSTATIC) {
            Control* child = ControlOfHwnd(reinterpret_cast<HWND>(lp));
            if (child && child->spec->kind == Kind::TransparentLabel) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(0, 128, 0));
                return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
            }
        }
        break;
    case Kind::CheckBox:
        if (msg != BM_GETCHECK && msg != WM_NCDESTROY) {
            LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
            bool now = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (now != c->lastChecked) {
                c->lastChecked = now;
                if (g_checkObserver) g_checkObserver(c->spec->name, now);
            }
            return r;
        }
        break;
    default:
        break;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ControlProc, kRuntimeSubclass);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void Unregister(WindowState* w) {
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        for (auto it = g_byName.begin(); it != g_byName.end();) {
            if (it->second->window == w) it = g_byName.erase(it);
            else ++it;
        }
    }
    for (auto it = g_windows.begin(); it != g_windows.end(); ++it)
        if (*it == w) {
            g_windows.erase(it);
            break;
        }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WindowState* w = StateOf(hwnd);
    switch (msg) {
    case kRunOnWindowThread:
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 1;
    case WM_COMMAND:
        if (w && lp) {
            Control* c = ControlOfHwnd(reinterpret_cast<HWND>(lp));
            if (c && c->window == w) {
                const WORD code = HIWORD(wp);
                if (code == EN_CHANGE && !c->suppressChange)
                    RaiseEvent(*w, c->spec, EventBinding::TextChanged);
                else if (code == BN_CLICKED && (c->spec->kind == Kind::Button || c->spec->kind == Kind::CheckBox))
                    RaiseEvent(*w, c->spec, EventBinding::Click);
            }
        }
        return 0;
    case WM_ACTIVATE:
        if (w && LOWORD(wp) == WA_INACTIVE) {
            HWND f = GetFocus();
            if (f && IsChild(hwnd, f)) w->lastFocus = f;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_SETFOCUS:
        if (w) {
            HWND target = CanTakeFocus(w->lastFocus) && IsChild(hwnd, w->lastFocus) ? w->lastFocus : FirstInCycle(*w);
            if (target) SetFocus(target);
        }
        return 0;
    case WM_DESTROY:
        if (w) {
            if (g_mainWindow.load() == hwnd) g_mainWindow.store(nullptr);
            Unregister(w);
            if (g_windows.empty() && g_inLoop) PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY:
        // The controls are gone by now; their subclasses pointed into w.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete w;
        return DefWindowProcW(hwnd, msg, wp, lp);
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

bool RegisterWindowClass() {
    static ATOM atom = 0;
    if (atom) return true;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    wc.hIcon = static_cast<HICON>(LoadImageW(inst, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(LoadImageW(inst, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    atom = RegisterClassExW(&wc);
    return atom != 0;
}

struct ControlStyle {
    const wchar_t* cls;
    DWORD style;
    DWORD exStyle;
};

ControlStyle StyleOf(Kind kind) {
    const DWORD base = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (kind) {
    case Kind::Edit:
        return {L"Edit", base | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::MultiEdit:
        return {L"Edit", base | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL,
                WS_EX_CLIENTEDGE};
    case Kind::TextBox:
        return {kTextBoxClass, base | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL,
                WS_EX_CLIENTEDGE};
    case Kind::Label:
        return {L"Static", base | SS_LEFT | SS_CENTERIMAGE, 0};
    case Kind::TransparentLabel:
        return {L"Static", base | SS_LEFT | SS_CENTERIMAGE, WS_EX_TRANSPARENT};
    case Kind::CheckBox:
        return {L"Button", base | WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE | BS_LEFT | BS_VCENTER, 0};
    case Kind::Button:
        return {L"Button", base | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER, 0};
    case Kind::ProgressBar:
        return {PROGRESS_CLASSW, base | PBS_SMOOTH, WS_EX_STATICEDGE};
    case Kind::GroupBox:
        return {L"Button", base | BS_GROUPBOX, 0};
    case Kind::DropObject:
        break;
    }
    return {nullptr, 0, 0};
}

bool CreateControl(WindowState& w, Control& c, HWND parent, HFONT font) {
    const ControlSpec& s = *c.spec;
    ControlStyle st = StyleOf(s.kind);
    c.hwnd = CreateWindowExW(st.exStyle, st.cls, WideFromGbk(s.caption).c_str(), st.style, s.x, s.y, s.width,
                             s.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!c.hwnd) return false;
    // Rows are topmost first: each new control goes below the ones before it.
    SetWindowPos(c.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    switch (s.kind) {
    case Kind::Edit:
    case Kind::MultiEdit:
    case Kind::TextBox:
        SendMessageW(c.hwnd, EM_SETLIMITTEXT, 0, 0);
        break;
    case Kind::CheckBox:
        SendMessageW(c.hwnd, BM_SETCHECK, s.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        c.lastChecked = s.checked;
        break;
    case Kind::ProgressBar:
        SendMessageW(c.hwnd, PBM_SETRANGE32, 0, 100);
        SendMessageW(c.hwnd, PBM_SETPOS, 0, 0);
        break;
    default:
        break;
    }
    SetWindowSubclass(c.hwnd, ControlProc, kRuntimeSubclass, reinterpret_cast<DWORD_PTR>(&c));
    (void)w;
    return true;
}

HWND LoadWindowImpl(const WindowSpec& window, const ControlSpec* controls, int count, const EventBinding* events,
                    int eventCount, const char* const* tabOrder, int tabCount, bool tableTabOrder) {
    if (!RegisterWindowClass() || !RegisterTextBoxClass()) return nullptr;
    if (g_windowThread.load() == 0) g_windowThread.store(GetCurrentThreadId());

    auto* w = new WindowState;
    w->controls.resize(count);
    for (int i = 0; i < count; ++i) {
        w->controls[i].spec = &controls[i];
        w->controls[i].window = w;
    }
    w->events.assign(events, events + eventCount);

    const int left = (GetSystemMetrics(SM_CXSCREEN) - window.width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - window.height) / 2;
    HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, WideFromGbk(window.caption).c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top,
                                window.width, window.height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        delete w;
        return nullptr;
    }
    w->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    g_windows.push_back(w);
    if (!g_mainWindow.load()) g_mainWindow.store(hwnd);

    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    bool ok = true;
    // Controls of the window first (table order = z-order), then those that
    // live inside another control.
    for (int pass = 0; pass < 2 && ok; ++pass) {
        for (Control& c : w->controls) {
            if (c.spec->kind == Kind::DropObject || (c.spec->parent != nullptr) != (pass == 1)) continue;
            HWND parent = hwnd;
            if (c.spec->parent) {
                parent = nullptr;
                for (Control& p : w->controls)
                    if (std::string_view(p.spec->name) == c.spec->parent) parent = p.hwnd;
                if (!parent) {
                    ok = false;
                    break;
                }
            }
            if (!CreateControl(*w, c, parent, font)) ok = false;
        }
    }
    if (!ok) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        for (Control& c : w->controls) g_byName[c.spec->name] = &c;
    }
    if (tabOrder) {
        for (int i = 0; i < tabCount; ++i)
            for (Control& c : w->controls)
                if (std::string_view(c.spec->name) == tabOrder[i] && c.hwnd) w->tabCycle.push_back(c.hwnd);
    } else if (tableTabOrder) {
        for (Control& c : w->controls)
            if (c.hwnd && (GetWindowLongW(c.hwnd, GWL_STYLE) & WS_TABSTOP)) w->tabCycle.push_back(c.hwnd);
    }

    RaiseEvent(*w, nullptr, EventBinding::Created);
    if (!IsWindow(hwnd)) return nullptr;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (GetFocus() == nullptr || !IsChild(hwnd, GetFocus())) {
        HWND first = FirstInCycle(*w);
        if (first && GetForegroundWindow() == hwnd) SetFocus(first);
    }
    return hwnd;
}

template <class F>
auto Marshal(F&& f) -> decltype(f()) {
    using R = decltype(f());
    if (IsWindowThread()) return f();
    if constexpr (std::is_void_v<R>) {
        OnWindowThread([&] { f(); });
    } else {
        R r{};
        OnWindowThread([&] { r = f(); });
        return r;
    }
}

void ReadWide(HWND hwnd, std::wstring& buf) {
    const int len = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    buf.resize(static_cast<size_t>(len) + 1);
    const int got = static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data())));
    buf.resize(got < 0 ? 0 : static_cast<size_t>(got));
}

void GbkInto(std::wstring_view wide, std::string& out) {
    // A UTF-16 unit never takes more than two GBK bytes: one conversion call.
    out.resize(wide.size() * 2);
    int n = wide.empty() ? 0
                         : WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                               static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

// --- Start-up and shutdown ---

bool InitRuntime() {
    g_windowThread.store(GetCurrentThreadId());
    const HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) return false;

    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    // The GBK form is kept for the export file's name; the wide form is cut
    // at the same backslash so that a directory GBK cannot spell still works.
    g_programDirectory = DirectoryOfModulePath(GbkFromWide(path));
    const size_t slash = path.find_last_of(L'\\');
    std::wstring dir = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (dir.size() == 2 && dir[1] == L':') dir += L'\\';   // "D:" alone would mean D:'s current directory
    if (!dir.empty()) SetCurrentDirectoryW(dir.c_str());

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    return true;
}

void RegisterExitRoutine(void (*routine)()) {
    for (auto r : g_exitRoutines)
        if (r == routine) return;
    g_exitRoutines.push_back(routine);
}

void RunExitRoutines() {
    if (g_exitRoutinesRan) return;
    g_exitRoutinesRan = true;
    for (auto r : g_exitRoutines) r();
}

HWND LoadWindow(const WindowSpec& window, const ControlSpec* controls, int count, const EventBinding* events,
                int eventCount, bool keepTabOrder) {
    return LoadWindowImpl(window, controls, count, events, eventCount, nullptr, 0, keepTabOrder);
}

HWND LoadWindow(const WindowSpec& window, const ControlSpec* controls, int count, const EventBinding* events,
                int eventCount, const char* const* tabOrder, int tabCount) {
    return LoadWindowImpl(window, controls, count, events, eventCount, tabOrder, tabCount, false);
}

bool PreTranslateKey(MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    WindowState* w = nullptr;
    for (WindowState* s : g_windows)
        if (s->hwnd == top) w = s;
    if (!w) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0, alt = GetKeyState(VK_MENU) < 0;
    switch (msg.wParam) {
    case VK_TAB:
        if (alt) return false;
        // Ctrl+Tab would put a tab character into a multi-line box.
        if (!ctrl) MoveFocus(*w, GetFocus(), shift);
        return true;
    case VK_ESCAPE:
        if (ctrl || shift || alt) return false;
        PostMessageW(w->hwnd, WM_CLOSE, 0, 0);
        return true;
    case VK_RETURN:
        return !IsMultiLineEdit(msg.hwnd);
    case VK_F1:
        return true;
    default:
        return false;
    }
}

int RunMessageLoop() {
    if (g_windows.empty()) return 0;
    g_inLoop = true;
    MSG msg;
    int code = 0;
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            code = static_cast<int>(msg.wParam);
            break;
        }
        if (r < 0) break;
        if (PreTranslateKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    g_inLoop = false;
    return code;
}

const std::string& ProgramDirectory() { return g_programDirectory; }
HWND MainWindow() { return g_mainWindow.load(); }
int OpenWindowCount() { return static_cast<int>(g_windows.size()); }

// --- Controls by name ---

HWND Window(std::string_view name) {
    // Any thread: the handle is read under the lock, so a window going away
    // meanwhile never leaves this reading freed memory.
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = g_byName.find(name);
    return it == g_byName.end() ? nullptr : it->second->hwnd;
}

std::string GetText(std::string_view name) {
    return Marshal([&]() -> std::string {
        std::string out;
        ReadText(name, out);
        return out;
    });
}

void ReadText(std::string_view name, std::string& out) {
    if (!IsWindowThread()) {
        out.clear();
        OnWindowThread([&] { ReadText(name, out); });
        return;
    }
    Control* c = FindControl(name);
    if (!c || !c->hwnd) {
        out.clear();
        return;
    }
    // The program's own box holds GBK already.
    if (const std::string* gbk = TextBoxText(c->hwnd)) {
        out.assign(*gbk);
        return;
    }
    ReadWide(c->hwnd, t_wideBuffer);
    GbkInto(t_wideBuffer, out);
}

int TextLength(std::string_view name) {
    return Marshal([&]() -> int {
        Control* c = FindControl(name);
        return c && c->hwnd ? static_cast<int>(SendMessageW(c->hwnd, WM_GETTEXTLENGTH, 0, 0)) : 0;
    });
}

void SetText(std::string_view name, std::string_view text) {
    Marshal([&] {
        Control* c = FindControl(name);
        if (!c || !c->hwnd) return;
        // The control's own change notice (single-line boxes send one) is
        // not a change event: the handling runs once, here, also when the text
        // did not change.
        c->suppressChange = true;
        if (!SetTextBoxText(c->hwnd, std::string(text))) SetWindowTextW(c->hwnd, WideFromGbk(text).c_str());
        c->suppressChange = false;
        if (HasEvent(*c->window, c->spec, EventBinding::TextChanged))
            RaiseEvent(*c->window, c->spec, EventBinding::TextChanged);
    });
}

void SetCaption(std::string_view name, std::string_view text) {
    Marshal([&] {
        Control* c = FindControl(name);
        if (!c || !c->hwnd) return;
        SetWindowTextW(c->hwnd, WideFromGbk(text).c_str());
        if (c->spec->kind == Kind::TransparentLabel) {
            // Nothing of its own to erase the old text: the parent repaints.
            RECT r;
            GetWindowRect(c->hwnd, &r);
            HWND parent = GetParent(c->hwnd);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
            InvalidateRect(parent, &r, TRUE);
        }
    });
}

bool GetChecked(std::string_view name) {
    return Marshal([&]() -> bool {
        HWND h = Window(name);
        return h && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
}

void SetChecked(std::string_view name, bool checked) {
    Marshal([&] {
        if (HWND h = Window(name)) SendMessageW(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    });
}

void SetProgressMax(int maximum) {
    Marshal([&] {
        if (HWND h = Window("进度条1")) SendMessageW(h, PBM_SETRANGE32, 0, maximum);
    });
}

void SetProgressPos(int position) {
    Marshal([&] {
        if (HWND h = Window("进度条1")) SendMessageW(h, PBM_SETPOS, position, 0);
    });
}

void SetCheckObserver(void (*fn)(std::string_view, bool)) { g_checkObserver = fn; }

bool IsWindowThread() { return GetCurrentThreadId() == g_windowThread.load(); }

bool OnWindowThread(const std::function<void()>& fn) {
    if (IsWindowThread()) {
        fn();
        return true;
    }
    HWND main = g_mainWindow.load();
    if (!main) return false;
    bool ran = false;
    std::function<void()> wrapped = [&] {
        ran = true;
        fn();
    };
    // Synchronous: the window thread runs it between its own messages (also
    // inside a message box's loop); it never waits for a worker.
    SendMessageW(main, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&wrapped));
    return ran;
}

// --- Text meets window ---

std::wstring WideFromGbk(std::string_view gbk) {
    if (gbk.empty()) return {};
    std::wstring out(gbk.size(), L'\0');
    const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string GbkFromWide(std::wstring_view wide) {
    std::string out;
    GbkInto(wide, out);
    return out;
}

bool OpenClipboardWithRetry(HWND owner) {
    constexpr int kAttempts = 6;
    for (int i = 0; i < kAttempts; ++i) {
        if (OpenClipboard(owner)) return true;
        if (i + 1 < kAttempts) Sleep(20);
    }
    return false;
}

void ShowMessage(std::string_view text) {
    MessageBoxW(nullptr, WideFromGbk(text).c_str(), L"提示", MB_OK | MB_TASKMODAL);
}

}  // namespace yz::ui
