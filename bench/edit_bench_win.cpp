// The bare multi-line edit control with 1,000,000 short lines (about 10 MB):
// one whole write, and one typed character (then a backspace) with the caret
// at the end, in the middle and at the start. Once in the edit control of
// common controls 6 and once in the plain one of user32, side by side.
// Run under Wine: wine edit_bench_win.exe path\to\app.manifest [lines]
// The manifest (the program's own) selects common controls 6 for the second
// set of boxes; the first set is created with no activation context, as in a
// program without the common-controls dependency.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_win.h"

using namespace yz::bench;

namespace {

// The column boxes' style and size.
HWND MakeBox(HWND parent, int x) {
    HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_WANTRETURN | WS_VSCROLL,
                               x, 10, 136, 200, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    return box;
}

std::wstring ProcModule(HWND box) {
    HMODULE m = nullptr;
    wchar_t path[MAX_PATH] = L"?";
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(box, GWLP_WNDPROC)), &m))
        GetModuleFileNameW(m, path, MAX_PATH);
    return path;
}

void Measure(const char* name, HWND box, const std::wstring& text) {
    SetFocus(box);
    LARGE_INTEGER t0 = Now();
    SetWindowTextW(box, text.c_str());
    LARGE_INTEGER t1 = Now();
    Pump();
    UpdateWindow(box);
    LARGE_INTEGER t2 = Now();
    const LRESULT len = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    std::printf("%s: whole write of %ld units %.0f ms (+%.0f ms to paint)\n", name, static_cast<long>(len),
                Ms(t0, t1), Ms(t1, t2));
    std::fflush(stdout);
    const struct {
        const char* where;
        LRESULT at;
    } places[] = {{"end", len}, {"middle", len / 2}, {"start", 0}};
    for (const auto& p : places) {
        std::vector<double> typed, erased, painted;
        for (int round = 0; round < 7; ++round) {
            SendMessageW(box, EM_SETSEL, p.at, p.at);
            Pump();
            UpdateWindow(box);
            t0 = Now();
            SendMessageW(box, WM_CHAR, L'x', 0);
            t1 = Now();
            Pump();
            UpdateWindow(box);
            t2 = Now();
            typed.push_back(Ms(t0, t1));
            painted.push_back(Ms(t1, t2));
            t0 = Now();
            SendMessageW(box, WM_CHAR, VK_BACK, 0);
            t1 = Now();
            Pump();
            erased.push_back(Ms(t0, t1));
        }
        std::printf("%s: caret at %-6s typed char median %6.1f ms (best %6.1f), then paint %5.1f ms; backspace %6.1f ms\n",
                    name, p.where, Median(typed), Best(typed), Median(painted), Median(erased));
        std::fflush(stdout);
    }
    std::vector<double> read;
    std::wstring back(static_cast<size_t>(len) + 1, L'\0');
    for (int round = 0; round < 5; ++round) {
        t0 = Now();
        SendMessageW(box, WM_GETTEXT, back.size(), reinterpret_cast<LPARAM>(back.data()));
        t1 = Now();
        read.push_back(Ms(t0, t1));
    }
    std::printf("%s: WM_GETTEXT of the whole text median %.1f ms\n", name, Median(read));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: edit_bench_win app.manifest [lines] [plain|v6|both]\n");
        return 1;
    }
    const int lines = argc > 2 ? std::atoi(argv[2]) : 1000000;
    const std::string which = argc > 3 ? argv[3] : "both";
    std::wstring text;
    text.reserve(static_cast<size_t>(lines) * 10);
    wchar_t word[16];
    for (int i = 0; i < lines; ++i) {
        std::swprintf(word, 16, L"w%07d", i);
        text += word;
        if (i + 1 < lines) text += L"\r\n";
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"EditBench";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, L"EditBench", L"edit bench", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50, 400,
                                260, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);

    HWND plain = MakeBox(main, 10);

    ACTCTXA ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.lpSource = argv[1];
    HANDLE h = CreateActCtxA(&ctx);
    ULONG_PTR cookie = 0;
    if (h == INVALID_HANDLE_VALUE || !ActivateActCtx(h, &cookie)) {
        std::printf("cannot activate %s\n", argv[1]);
        return 1;
    }
    HWND v6 = MakeBox(main, 200);
    DeactivateActCtx(0, cookie);
    Pump();
    std::printf("plain box: %ls\nv6 box:    %ls\n", ProcModule(plain).c_str(), ProcModule(v6).c_str());
    std::fflush(stdout);

    if (which != "v6") Measure("plain", plain, text);
    if (which != "plain") Measure("v6   ", v6, text);
    DestroyWindow(main);
    Pump();
    return 0;
}
