#include "tests/e2e/driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <stdexcept>

#include "ui/control_table.h"

namespace yz::e2e {

namespace {

// Every cross-process SendMessage is bounded: a hung program fails the test
// instead of hanging the suite.
constexpr UINT kSendTimeoutMs = 10000;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::string Utf8(std::wstring_view w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}
// Names in failure messages: GBK is unreadable in a UTF-8 log.
std::string Show(std::string_view gbk) { return Utf8(Wide(gbk)); }

const ui::ControlSpec* FindSpec(std::string_view name) {
    for (const auto& c : ui::kMainControls)
        if (name == c.name) return &c;
    for (const auto& c : ui::kHelpControls)
        if (name == c.name) return &c;
    return nullptr;
}
const ui::ControlSpec* FindSpecById(int id) {
    for (const auto& c : ui::kMainControls)
        if (c.id == id) return &c;
    for (const auto& c : ui::kHelpControls)
        if (c.id == id) return &c;
    return nullptr;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

std::wstring CaptionOf(HWND w) {
    // Own-process read of a top-level caption: no message to the program.
    wchar_t buf[512] = {};
    InternalGetWindowText(w, buf, 512);
    return buf;
}

struct EnumState {
    DWORD pid;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectTopLevel(HWND w, LPARAM lp) {
    auto* st = reinterpret_cast<EnumState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == st->pid && IsWindowVisible(w)) st->found.push_back(w);
    return TRUE;
}

struct ChildSearch {
    int id;
    HWND found;
};
BOOL CALLBACK FindChildById(HWND w, LPARAM lp) {
    auto* st = reinterpret_cast<ChildSearch*>(lp);
    if (GetDlgCtrlID(w) == st->id) {
        st->found = w;
        return FALSE;
    }
    return TRUE;
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n == L"." || n == L"..") continue;
            std::wstring p = dir + L"\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(p);
            } else {
                SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(p.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

bool OpenClipboardRetry() {
    return WaitFor([] { return OpenClipboard(nullptr) != 0; }, 2000);
}

}  // namespace

std::wstring Wide(std::string_view gbk) {
    if (gbk.empty()) return {};
    int n = MultiByteToWideChar(936, 0, gbk.data(), int(gbk.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), int(gbk.size()), w.data(), n);
    return w;
}

std::string Gbk(std::wstring_view w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(936, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(936, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring ProgramPath() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring path;
    for (int i = 1; argv && i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.rfind(L"--app=", 0) == 0) path = a.substr(6);
    }
    LocalFree(argv);
    if (path.empty()) Fail("e2e_tests needs --app=<path of the program>");
    if (path[0] == L'/') path = L"Z:" + path;  // Wine maps the Unix root to Z:
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

bool WaitFor(const std::function<bool()>& pred, Millis timeout) {
    ULONGLONG end = GetTickCount64() + timeout;
    for (;;) {
        if (pred()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(5);
    }
}

// --- Files ---

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = text.find("\r\n", start);
        if (cut == std::string::npos) break;
        lines.push_back(text.substr(start, cut - start));
        start = cut + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- Clipboard ---

std::optional<std::string> ClipboardBytes(UINT format) {
    if (!OpenClipboardRetry()) Fail("the clipboard stays locked");
    std::optional<std::string> out;
    if (HANDLE h = GetClipboardData(format)) {
        if (auto* p = static_cast<const char*>(GlobalLock(h))) {
            SIZE_T size = GlobalSize(h);
            SIZE_T n = 0;
            while (n < size && p[n]) ++n;
            out = std::string(p, n);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

bool SetClipboardBytes(std::string_view bytes, UINT format) {
    if (!OpenClipboardRetry()) return false;
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 2);
    bool ok = false;
    if (g) {
        auto* p = static_cast<char*>(GlobalLock(g));
        memcpy(p, bytes.data(), bytes.size());
        p[bytes.size()] = p[bytes.size() + 1] = 0;
        GlobalUnlock(g);
        ok = SetClipboardData(format, g) != nullptr;
        if (!ok) GlobalFree(g);
    }
    CloseClipboard();
    return ok;
}

bool EmptyTheClipboard() {
    if (!OpenClipboardRetry()) return false;
    bool ok = EmptyClipboard() != 0;
    CloseClipboard();
    return ok;
}

// --- App ---

App::App(Start when) {
    static std::atomic<int> counter{0};
    wchar_t tmp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, tmp);
    std::wstring base = tmp;
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        std::wstring candidate = base + L"\\yz-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) root_ = candidate;
    }
    if (root_.empty()) Fail("cannot create a temporary folder");
    folder_ = root_ + L"\\app";
    startDir_ = root_ + L"\\elsewhere";
    CreateDirectoryW(folder_.c_str(), nullptr);
    CreateDirectoryW(startDir_.c_str(), nullptr);
    std::wstring src = ProgramPath();
    exe_ = folder_ + src.substr(src.find_last_of(L'\\'));
    if (!CopyFileW(src.c_str(), exe_.c_str(), FALSE)) {
        RemoveTree(root_);
        Fail("cannot copy the program from " + Utf8(src));
    }
    if (when == Start::Now) {
        try {
            Launch();
        } catch (...) {
            Kill();
            RemoveTree(root_);
            throw;
        }
    }
}

App::~App() {
    Kill();
    if (process_) CloseHandle(process_);
    // The exe may stay locked for a moment after its process ended.
    WaitFor([&] {
        RemoveTree(root_);
        return !FileExists(root_);
    }, 3000);
}

void App::Launch() {
    std::wstring cmd = L"\"" + exe_ + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe_.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, startDir_.c_str(), &si, &pi))
        Fail("CreateProcess failed: " + std::to_string(GetLastError()));
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    const std::wstring caption = Wide(ui::kMainWindow.caption);
    bool up = WaitFor([&] {
        for (HWND w : TopLevelWindows())
            if (CaptionOf(w) == caption) {
                hwnd_ = w;
                return true;
            }
        return !Running();
    }, 30000);
    if (!hwnd_) {
        if (!Running()) {
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            Fail("the program ended before its window appeared, exit code " + std::to_string(code));
        }
        Fail(up ? "no main window" : "the main window did not appear within 30 s");
    }
    thread_ = GetWindowThreadProcessId(hwnd_, nullptr);
    // The window shows before start-up has finished (focus, skin): wait
    // until the message loop waits for input.
    WaitForInputIdle(process_, 10000);
    Settle();
}

std::wstring App::InFolder(std::string_view gbkName) const { return folder_ + L"\\" + Wide(gbkName); }

bool App::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void App::Close() {
    if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

std::optional<DWORD> App::WaitExit(Millis timeout) {
    if (!process_) return std::nullopt;
    if (WaitForSingleObject(process_, timeout) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void App::Kill() {
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
}

std::wstring App::CurrentDirectory() const {
    // PEB -> RTL_USER_PROCESS_PARAMETERS -> CurrentDirectory.DosPath (32-bit layout).
    struct BasicInfo {
        LONG ExitStatus;
        void* PebBaseAddress;
        ULONG_PTR AffinityMask;
        LONG BasePriority;
        ULONG_PTR UniqueProcessId;
        ULONG_PTR InheritedFrom;
    } info = {};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query || query(process_, 0, &info, sizeof info, nullptr) != 0) Fail("NtQueryInformationProcess failed");
    auto read = [&](const void* at, void* to, SIZE_T n) {
        SIZE_T got = 0;
        if (!ReadProcessMemory(process_, at, to, n, &got) || got != n) Fail("ReadProcessMemory failed");
    };
    char* params = nullptr;
    read(static_cast<char*>(info.PebBaseAddress) + 0x10, &params, sizeof params);
    struct {
        USHORT Length, MaximumLength;
        wchar_t* Buffer;
    } dosPath;
    read(params + 0x24, &dosPath, sizeof dosPath);
    std::wstring dir(dosPath.Length / 2, L'\0');
    if (!dir.empty()) read(dosPath.Buffer, dir.data(), dosPath.Length);
    if (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    return dir;
}

// --- Controls ---

LRESULT App::Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, kSendTimeoutMs, &result)) {
        DWORD err = GetLastError();
        if (!IsWindow(w)) Fail("message " + std::to_string(msg) + " to a window that is gone");
        Fail("the program did not answer message " + std::to_string(msg) + " within 10 s (error " +
             std::to_string(err) + ")");
    }
    return LRESULT(result);
}

void App::Post(HWND w, UINT msg, WPARAM wp, LPARAM lp) const {
    if (!PostMessageW(w, msg, wp, lp)) Fail("PostMessage failed: " + std::to_string(GetLastError()));
}

HWND App::Control(std::string_view name, HWND window) const {
    const ui::ControlSpec* spec = FindSpec(name);
    if (!spec) Fail("no control named " + Show(name) + " in the control tables");
    ChildSearch st{spec->id, nullptr};
    // EnumChildWindows walks all descendants: the label inside the group box too.
    EnumChildWindows(window ? window : hwnd_, FindChildById, reinterpret_cast<LPARAM>(&st));
    if (!st.found) Fail("the window has no control " + Show(name) + " (id " + std::to_string(spec->id) + ")");
    return st.found;
}

std::string App::Text(std::string_view name, HWND window) const {
    HWND w = Control(name, window);
    LRESULT n = Send(w, WM_GETTEXTLENGTH);
    std::wstring buf(size_t(n) + 1, L'\0');
    LRESULT got = Send(w, WM_GETTEXT, WPARAM(buf.size()), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(size_t(got));
    return Gbk(buf);
}

void App::SetText(std::string_view name, std::string_view gbk) {
    std::wstring w = Wide(gbk);
    Send(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void App::TypeAsUser(std::string_view name, std::string_view gbk) {
    HWND w = Control(name);
    std::wstring text = Wide(gbk);
    Send(w, EM_SETSEL, 0, -1);
    Send(w, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void App::TypeChars(std::string_view name, std::wstring_view text) {
    HWND w = Control(name);
    for (wchar_t c : text) Post(w, WM_CHAR, WPARAM(c), 1);
    Settle();
}

void App::Click(std::string_view name, HWND window) {
    Post(Control(name, window), BM_CLICK);
    Settle();
}

bool App::Checked(std::string_view name) const { return Send(Control(name), BM_GETCHECK) == BST_CHECKED; }

int App::ProgressPos() const { return int(Send(Control("进度条1"), PBM_GETPOS)); }

int App::ProgressMax() const { return int(Send(Control("进度条1"), PBM_GETRANGE, FALSE, 0)); }

void App::Settle() const {
    // Posted messages of one thread are handled in order, whichever of its
    // windows they go to; so once a marker posted now has been handled, all
    // earlier ones have. The marker: the modify flag of the count box, which
    // the program does not use. A modal loop (a message box) handles posted
    // messages too, so this also returns while a box is open.
    HWND marker = Control("编辑框_输出条数");
    Send(marker, EM_SETMODIFY, TRUE);
    Post(marker, EM_SETMODIFY, FALSE);
    if (!WaitFor([&] { return Send(marker, EM_GETMODIFY) == 0; }, 10000))
        Fail("the program did not handle its posted messages within 10 s");
}

void App::SettleUnlessClosed() const {
    // A key or click may close the main window (Esc): then there is nothing
    // left to wait for.
    try {
        if (IsWindow(hwnd_)) Settle();
    } catch (const std::runtime_error&) {
        // The window may be half gone while the process ends.
        if (!WaitFor([&] { return !IsWindow(hwnd_) || !Running(); }, 2000)) throw;
    }
}

void App::KeyDown(UINT vk, unsigned mods) {
    HWND target = FocusedWindow();
    if (!target) target = hwnd_;
    // Posted keys do not change the key state that the program reads with
    // GetKeyState; sharing its input state lets this process set the
    // modifiers for it.
    bool attached = false;
    BYTE saved[256] = {};
    if (mods != kNoMods) {
        attached = AttachThreadInput(GetCurrentThreadId(), thread_, TRUE) != 0;
        if (!attached) Fail("AttachThreadInput failed");
        GetKeyboardState(saved);
        BYTE keys[256];
        memcpy(keys, saved, sizeof keys);
        if (mods & kShift) keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
        if (mods & kCtrl) keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
        if (mods & kAlt) keys[VK_MENU] = keys[VK_LMENU] = 0x80;
        SetKeyboardState(keys);
    }
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    UINT down = (mods & kAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = (mods & kAlt) ? WM_SYSKEYUP : WM_KEYUP;
    LPARAM flags = (mods & kAlt) ? (1 << 29) : 0;
    Post(target, down, vk, LPARAM(1 | (scan << 16)) | flags);
    Post(target, up, vk, LPARAM(1 | (scan << 16) | (1u << 30) | (1u << 31)) | flags);
    try {
        SettleUnlessClosed();
    } catch (...) {
        if (attached) {
            SetKeyboardState(saved);
            AttachThreadInput(GetCurrentThreadId(), thread_, FALSE);
        }
        throw;
    }
    if (attached) {
        SetKeyboardState(saved);
        AttachThreadInput(GetCurrentThreadId(), thread_, FALSE);
    }
}

HWND App::FocusedWindow() const {
    GUITHREADINFO gi = {};
    gi.cbSize = sizeof gi;
    if (!GetGUIThreadInfo(thread_, &gi)) return nullptr;
    return gi.hwndFocus;
}

std::string App::Focused() const {
    HWND f = FocusedWindow();
    if (!f) return {};
    const ui::ControlSpec* spec = FindSpecById(GetDlgCtrlID(f));
    return spec ? spec->name : "";
}

void App::SetFocus(std::string_view name) {
    HWND w = Control(name);
    // SetFocus works only on windows of the caller's input thread.
    if (!AttachThreadInput(GetCurrentThreadId(), thread_, TRUE)) Fail("AttachThreadInput failed");
    ::SetFocus(w);
    AttachThreadInput(GetCurrentThreadId(), thread_, FALSE);
    Settle();
}

void App::LeftButtonDown(std::string_view name, HWND window) {
    HWND w = Control(name, window);
    RECT r;
    GetClientRect(w, &r);
    LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    Post(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Post(w, WM_LBUTTONUP, 0, at);
    SettleUnlessClosed();
}

void App::MouseClick(std::string_view name, int x, int y, HWND window) {
    RECT r;
    GetWindowRect(Control(name, window), &r);
    int px = x >= 0 ? r.left + x : r.right + x;
    int py = y >= 0 ? r.top + y : r.bottom + y;
    // Wine maps an absolute dx to (dx * width) >> 16: round up.
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (auto& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = LONG((px * 65536LL + w - 1) / w);
    in[0].mi.dy = LONG((py * 65536LL + h - 1) / h);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (SendInput(3, in, sizeof(INPUT)) != 3) Fail("SendInput failed");
    // Input messages come after posted ones, so no marker tells when the
    // program has handled the click: the caller waits for its effect.
    WaitFor([&] {
        POINT p;
        GetCursorPos(&p);
        return p.x == px && p.y == py;
    }, 2000);
}

RECT App::RectInParent(std::string_view name, HWND window) const {
    HWND w = Control(name, window);
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// --- Top-level windows ---

std::vector<HWND> App::TopLevelWindows() const {
    EnumState st{pid_, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

namespace {

// The first window of candidates() with the caption, waiting for it.
HWND WaitForCaption(const std::function<std::vector<HWND>()>& candidates, std::string_view caption,
                    Millis timeout) {
    const std::wstring want = Wide(caption);
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND w : candidates())
            if (CaptionOf(w) == want) {
                found = w;
                return true;
            }
        return false;
    }, timeout);
    return found;
}

}  // namespace

HWND App::FindWindowByCaption(std::string_view caption, Millis timeout) const {
    return WaitForCaption([this] { return TopLevelWindows(); }, caption, timeout);
}

std::vector<HWND> App::MessageBoxes() const {
    std::vector<HWND> boxes;
    for (HWND w : TopLevelWindows())
        if (ClassOf(w) == L"#32770") boxes.push_back(w);
    return boxes;
}

HWND App::FindMessageBox(std::string_view title, Millis timeout) const {
    return WaitForCaption([this] { return MessageBoxes(); }, title, timeout);
}

std::string App::MessageText(HWND box) const {
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text) {
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (_wcsicmp(ClassOf(c).c_str(), L"Static") == 0 && GetWindowTextLengthW(c) > 0) {
                text = c;
                break;
            }
    }
    if (!text) Fail("the message box has no text");
    LRESULT n = Send(text, WM_GETTEXTLENGTH);
    std::wstring buf(size_t(n) + 1, L'\0');
    LRESULT got = Send(text, WM_GETTEXT, WPARAM(buf.size()), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(size_t(got));
    return Gbk(buf);
}

void PressMessageBox(HWND box) {
    std::vector<HWND> buttons;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (_wcsicmp(ClassOf(c).c_str(), L"Button") == 0 && IsWindowVisible(c)) buttons.push_back(c);
    if (buttons.size() == 1) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(buttons[0]), BN_CLICKED),
                     reinterpret_cast<LPARAM>(buttons[0]));
    } else {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}

void App::CloseMessageBox(HWND box) {
    PressMessageBox(box);
    if (!WaitFor([&] { return !IsWindow(box); }, 5000)) Fail("the message box did not close");
}

bool App::ExpectNoMessageBox(Millis within, std::string_view title) const {
    return FindMessageBox(title, within) == nullptr;
}

}  // namespace yz::e2e
