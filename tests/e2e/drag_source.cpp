// A drag source for the end-to-end tests: drags a list of files (or only a
// piece of text) from a small window of its own to a point on the screen with
// real mouse input, as a user dragging from the shell would, and writes what
// the drop was answered.
//
//   drag_source --x=<screen x> --y=<screen y> --out=<result file>
//               [--keys=ctrl|shift|ctrlshift] [--allowed=<effect mask>]
//               [--text] [--timeout=<ms>] [--list=<UTF-8 file of names,
//               one a line>] <file>...
//
// The result file gets one line:
//   hr=0x<DoDragDrop result> effect=<effect> over=<last GiveFeedback effect
//   over the target> drop_ms=<button release to DoDragDrop return>
// Exit code 0 when DoDragDrop returned, 2 for bad arguments, 3 when the drag
// had to be cancelled, 4 when the drag never started.
//
// Under Wine a drag is made reliable by two handshakes: the pointer moves only
// once the drag is live (first QueryContinueDrag), and the button is released
// only once GiveFeedback has been called with the pointer over the target.
// Modifier keys are pressed after the last move, since every injected move
// makes Wine re-read the keyboard state.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ui/com_object_win.h"

namespace {

struct Options {
    int x = -1, y = -1;
    std::wstring out;
    bool ctrl = false, shift = false;
    DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    bool textOnly = false;
    DWORD timeout = 60000;
    std::vector<std::wstring> files;
};
Options g_options;

HANDLE g_live;  // set at the first QueryContinueDrag
HANDLE g_done;  // set when DoDragDrop has returned
std::atomic<LONG> g_feedbacks{0};
std::atomic<LONG> g_feedbacksOverTarget{0};
std::atomic<DWORD> g_overEffect{0};
HRESULT g_result = E_UNEXPECTED;
DWORD g_effect = 0;
LARGE_INTEGER g_releasedAt, g_returnedAt;

bool NearTarget(POINT p) { return std::abs(p.x - g_options.x) <= 2 && std::abs(p.y - g_options.y) <= 2; }

class DataObject final : public yz::ui::ComObject<IDataObject, IID_IDataObject> {
public:
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* medium) override {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        HGLOBAL global = nullptr;
        if (f->cfFormat == CF_HDROP) {
            // A fresh block for every call: the receiver owns and frees it.
            std::wstring list;
            for (const std::wstring& name : g_options.files) list += name + L'\0';
            list += L'\0';
            const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
            global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
            if (!global) return E_OUTOFMEMORY;
            auto* drop = static_cast<DROPFILES*>(GlobalLock(global));
            drop->pFiles = sizeof(DROPFILES);
            drop->fWide = TRUE;
            std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
            GlobalUnlock(global);
        } else {
            static const char kText[] = "dragged text";
            global = GlobalAlloc(GMEM_MOVEABLE, sizeof kText);
            if (!global) return E_OUTOFMEMORY;
            std::memcpy(GlobalLock(global), kText, sizeof kText);
            GlobalUnlock(global);
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
        if (f == nullptr) return E_INVALIDARG;
        if (f->cfFormat != Format() || f->dwAspect != DVASPECT_CONTENT || !(f->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC f = {Format(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &f, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    static CLIPFORMAT Format() { return g_options.textOnly ? CF_TEXT : CF_HDROP; }
};

class DropSource final : public yz::ui::ComObject<IDropSource, IID_IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        SetEvent(g_live);
        if (escape) return DRAGDROP_S_CANCEL;
        if (!(keys & MK_LBUTTON)) {
            QueryPerformanceCounter(&g_releasedAt);
            return DRAGDROP_S_DROP;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        POINT p;
        GetCursorPos(&p);
        if (NearTarget(p)) {
            g_overEffect = effect;
            ++g_feedbacksOverTarget;
        }
        ++g_feedbacks;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
};

void MoveMouse(int x, int y) {
    // Absolute coordinates: Wine maps dx to (dx * width) >> 16, so round up.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(std::ceil(x * 65536.0 / w));
    in.mi.dy = static_cast<LONG>(std::ceil(y * 65536.0 / h));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

void Button(bool down) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
}

void Key(WORD vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

// Waits for a condition, polling; false on timeout.
template <class Pred>
bool Until(Pred pred, DWORD timeout) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeout) return false;
        Sleep(10);
    }
    return true;
}

int g_exitCode = 0;
HWND g_window;

DWORD WINAPI Steer(void*) {
    RECT r;
    GetWindowRect(g_window, &r);
    const int sx = (r.left + r.right) / 2, sy = (r.top + r.bottom) / 2;
    MoveMouse(sx, sy);
    Sleep(100);
    Button(true);
    if (WaitForSingleObject(g_live, 5000) != WAIT_OBJECT_0) {
        Button(false);
        g_exitCode = 4;
        PostMessageW(g_window, WM_CLOSE, 0, 0);
        return 0;
    }
    const int steps = 12;
    for (int i = 1; i <= steps; ++i) {
        MoveMouse(sx + (g_options.x - sx) * i / steps, sy + (g_options.y - sy) * i / steps);
        Sleep(25);
    }
    bool over = Until([] { return g_feedbacksOverTarget.load() > 0; }, 5000);
    if (!over) {
        // Nudge once: a move that got lost leaves the drag short of the point.
        MoveMouse(g_options.x + 1, g_options.y);
        MoveMouse(g_options.x, g_options.y);
        over = Until([] { return g_feedbacksOverTarget.load() > 0; }, 5000);
    }
    if (g_options.ctrl || g_options.shift) {
        if (g_options.ctrl) Key(VK_CONTROL, true);
        if (g_options.shift) Key(VK_SHIFT, true);
        const LONG seen = g_feedbacksOverTarget.load();
        Until([seen] { return g_feedbacksOverTarget.load() > seen + 1; }, 2000);
        Sleep(100);
    }
    Button(false);
    bool done = WaitForSingleObject(g_done, g_options.timeout) == WAIT_OBJECT_0;
    if (g_options.ctrl) Key(VK_CONTROL, false);
    if (g_options.shift) Key(VK_SHIFT, false);
    if (!done) {
        Key(VK_ESCAPE, true);
        Key(VK_ESCAPE, false);
        done = WaitForSingleObject(g_done, 3000) == WAIT_OBJECT_0;
        g_exitCode = 3;
        if (!done) ExitProcess(3);  // the drag hangs: nothing more to be done here
    }
    return 0;
}

LRESULT CALLBACK SourceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            auto* data = new DataObject;
            auto* source = new DropSource;
            DWORD effect = DROPEFFECT_NONE;
            g_result = DoDragDrop(data, source, g_options.allowed, &effect);
            QueryPerformanceCounter(&g_returnedAt);
            g_effect = effect;
            data->Release();
            source->Release();
            SetEvent(g_done);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool Parse(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        auto value = [&a](const wchar_t* key) -> const wchar_t* {
            const size_t n = std::wcslen(key);
            return a.compare(0, n, key) == 0 ? a.c_str() + n : nullptr;
        };
        if (auto v = value(L"--x=")) g_options.x = _wtoi(v);
        else if (auto v = value(L"--y=")) g_options.y = _wtoi(v);
        else if (auto v = value(L"--out=")) g_options.out = v;
        else if (auto v = value(L"--allowed=")) g_options.allowed = static_cast<DWORD>(_wtoi(v));
        else if (auto v = value(L"--timeout=")) g_options.timeout = static_cast<DWORD>(_wtoi(v));
        else if (auto v = value(L"--keys=")) {
            const std::wstring k = v;
            g_options.ctrl = k.find(L"ctrl") != std::wstring::npos;
            g_options.shift = k.find(L"shift") != std::wstring::npos;
        } else if (auto v = value(L"--list=")) {
            // For more names than a command line holds.
            if (FILE* f = _wfopen(v, L"rb")) {
                std::string bytes;
                char buf[4096];
                for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
                std::fclose(f);
                size_t start = 0;
                while (start < bytes.size()) {
                    size_t end = bytes.find('\n', start);
                    if (end == std::string::npos) end = bytes.size();
                    std::string line = bytes.substr(start, end - start);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    if (!line.empty()) {
                        std::wstring name(line.size(), L'\0');
                        name.resize(MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                                        name.data(), static_cast<int>(name.size())));
                        g_options.files.push_back(name);
                    }
                    start = end + 1;
                }
            }
        } else if (a == L"--text") g_options.textOnly = true;
        else g_options.files.push_back(a);
    }
    return g_options.x >= 0 && g_options.y >= 0 && !g_options.out.empty();
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || !Parse(argc, argv)) {
        std::fprintf(stderr, "usage: drag_source --x=N --y=N --out=FILE [--keys=..] [--allowed=N] [--text] files\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) return 2;
    g_live = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = SourceProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"YzDragSource";
    RegisterClassW(&wc);
    // Bottom right, clear of the program's window, which is centred.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    g_window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"drag source", WS_POPUP | WS_VISIBLE,
                               w - 110, h - 90, 80, 60, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_window) return 2;
    UpdateWindow(g_window);

    HANDLE steer = CreateThread(nullptr, 0, Steer, nullptr, 0, nullptr);
    MSG msg;
    // The drag runs inside WM_LBUTTONDOWN; the loop ends when it returned.
    while (WaitForSingleObject(g_done, 0) != WAIT_OBJECT_0 && g_exitCode != 4) {
        if (MsgWaitForMultipleObjects(1, &g_done, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    WaitForSingleObject(steer, 10000);
    CloseHandle(steer);

    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    const double dropMs = g_releasedAt.QuadPart && g_returnedAt.QuadPart
                              ? 1000.0 * static_cast<double>(g_returnedAt.QuadPart - g_releasedAt.QuadPart) /
                                    static_cast<double>(f.QuadPart)
                              : -1.0;
    if (FILE* out = _wfopen(g_options.out.c_str(), L"w")) {
        std::fprintf(out, "hr=0x%08lX effect=%lu over=%lu drop_ms=%.1f\n", static_cast<unsigned long>(g_result),
                     static_cast<unsigned long>(g_effect), static_cast<unsigned long>(g_overEffect.load()), dropMs);
        std::fclose(out);
    }
    DestroyWindow(g_window);
    OleUninitialize();
    return g_exitCode;
}
