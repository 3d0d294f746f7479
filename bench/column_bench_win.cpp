// One typed character into a column of 1,000,000 words (about 10 MB): the
// time from the keystroke until the column's list and count label are up to
// date, with the real main window and edit control.
// Run under Wine: wine column_bench_win.exe [app.manifest]
// With the manifest's path the window is built with common controls 6, as the
// program is.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/program.h"
#include "columns/column_store.h"
#include "ui/runtime.h"

using namespace yz;

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        ACTCTXA ctx{};
        ctx.cbSize = sizeof ctx;
        ctx.lpSource = argv[1];
        HANDLE h = CreateActCtxA(&ctx);
        ULONG_PTR cookie = 0;
        if (h == INVALID_HANDLE_VALUE || !ActivateActCtx(h, &cookie)) {
            std::printf("cannot activate %s\n", argv[1]);
            return 1;
        }
    }
    ui::InitRuntime();
    LARGE_INTEGER t0 = Now();
    HWND main = LoadMainWindow();
    LARGE_INTEGER t1 = Now();
    if (!main) return 1;
    Pump();
    wchar_t comctl[MAX_PATH] = L"";
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), comctl, MAX_PATH);
    std::printf("main window load: %.1f ms (common controls: %ls)\n", Ms(t0, t1), comctl);

    const int words = 1000000;
    std::string text;
    text.reserve(static_cast<size_t>(words) * 10);
    char word[16];
    for (int i = 0; i < words; ++i) {
        std::snprintf(word, sizeof word, "w%07d", i);
        text += word;
        if (i + 1 < words) text += "\r\n";
    }
    t0 = Now();
    ui::SetText("编辑框_第一列", text);
    t1 = Now();
    Pump();
    std::printf("column text %zu bytes, %d words: whole write %.1f ms, count %d\n", text.size(), words, Ms(t0, t1),
                Columns().List(1)->MemberCount());

    HWND box = ui::Window("编辑框_第一列");
    SetFocus(box);
    const LRESULT len = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    std::vector<double> typed, refresh, deleted;
    for (int round = 0; round < 7; ++round) {
        SendMessageW(box, EM_SETSEL, len, len);
        t0 = Now();
        SendMessageW(box, WM_CHAR, L'x', 0);   // EN_CHANGE -> the change handling, synchronously
        t1 = Now();
        typed.push_back(Ms(t0, t1));
        Pump();
        t0 = Now();
        SendMessageW(box, WM_CHAR, VK_BACK, 0);
        t1 = Now();
        deleted.push_back(Ms(t0, t1));
        Pump();
        t0 = Now();
        RefreshColumn(1);
        t1 = Now();
        refresh.push_back(Ms(t0, t1));
    }
    // Where the change handling's time goes.
    std::vector<double> read, convert, split;
    std::wstring wide;
    std::string gbk;
    for (int round = 0; round < 5; ++round) {
        t0 = Now();
        wide.resize(static_cast<size_t>(len) + 1);
        SendMessageW(box, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()));
        t1 = Now();
        read.push_back(Ms(t0, t1));
        t0 = Now();
        gbk = ui::GbkFromWide(std::wstring_view(wide.data(), static_cast<size_t>(len)));
        t1 = Now();
        convert.push_back(Ms(t0, t1));
        t0 = Now();
        WordList list = WordList::FromText(gbk);
        t1 = Now();
        split.push_back(Ms(t0, t1));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    char label[64];
    GetWindowTextA(ui::Window("标签_第一列"), label, sizeof label);
    std::printf("typed character until count shown: median %.1f ms (best %.1f)\n", median(typed),
                *std::min_element(typed.begin(), typed.end()));
    std::printf("backspace until count shown:       median %.1f ms\n", median(deleted));
    std::printf("RefreshColumn alone:               median %.1f ms\n", median(refresh));
    std::printf("  of which WM_GETTEXT %.1f ms, to GBK %.1f ms, split %.1f ms\n", median(read), median(convert),
                median(split));
    std::printf("label after: %s (members %d)\n", label, Columns().List(1)->MemberCount());
    DestroyWindow(main);
    Pump();
    return 0;
}
