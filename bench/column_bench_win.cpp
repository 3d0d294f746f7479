// One typed character into a column of 1,000,000 words (about 10 MB): the
// time from the keystroke until the column's list and count label are up to
// date, with the real main window and its column box, and where that time
// goes; and the time to put the whole 10 MB into the box (a dropped file).
// Build with -DYZ_BENCH=ON (Release); run under Wine from the build folder:
//   wine bench/column_bench_win.exe app.manifest [text]
// ("text": only the conversion and split of such a text, without the window.)
// With the manifest's path (a copy of app/app.manifest) the window is built
// with common controls 6, as the program is. Figures move with the machine's
// load: run it twice. bench/edit_bench_win.exe measures the system's edit
// control of the same size, which the column boxes no longer are.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/program.h"
#include "columns/column_store.h"
#include "text/text.h"
#include "text/word_list.h"
#include "ui/runtime.h"
#include "bench/bench_win.h"

using namespace yz;
using namespace yz::bench;

namespace {

// The conversion as one system call into a buffer of two bytes per unit:
// the yardstick for ui::GbkFromWide.
std::string GbkOneCall(std::wstring_view wide) {
    std::string out(wide.size() * 2, '\0');
    const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

// Conversion and split of a column's text, without the window: ASCII words
// and Chinese words.
void TextCosts(const char* what, const std::wstring& wide) {
    std::vector<double> oneCall, convert, take, copy;
    for (int round = 0; round < 7; ++round) {
        LARGE_INTEGER a = Now();
        std::string g1 = GbkOneCall(wide);
        LARGE_INTEGER b = Now();
        oneCall.push_back(Ms(a, b));
        a = Now();
        std::string g2 = ui::GbkFromWide(wide);
        b = Now();
        convert.push_back(Ms(a, b));
        if (g1 != g2) std::printf("conversion differs!\n");
        a = Now();
        {
            WordList copied = WordList::FromText(std::string_view(g2));
            b = Now();
        }
        copy.push_back(Ms(a, b));
        a = Now();
        {
            WordList taken = WordList::FromText(std::move(g2));
            b = Now();
        }
        take.push_back(Ms(a, b));
    }
    std::printf("%s, %zu units: to GBK %.1f ms (one system call: %.1f ms); split taking the text %.1f ms "
                "(copying it: %.1f ms)\n",
                what, wide.size(), Median(convert), Median(oneCall), Median(take), Median(copy));
    std::fflush(stdout);
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
    {
        std::wstring ascii, chinese;
        wchar_t w[16];
        for (int i = 0; i < 1000000; ++i) {
            std::swprintf(w, 16, L"w%07d", i);
            ascii += w;
            std::swprintf(w, 16, L"\u8BCD\u8BED%d", i % 100000);
            chinese += w;
            if (i + 1 < 1000000) {
                ascii += L"\r\n";
                chinese += L"\r\n";
            }
        }
        TextCosts("ASCII words  ", ascii);
        TextCosts("Chinese words", chinese);
        if (argc > 2 && std::string(argv[2]) == "text") return 0;
    }
    LARGE_INTEGER t0 = Now();
    HWND main = LoadMainWindow();
    LARGE_INTEGER t1 = Now();
    if (!main) return 1;
    Pump();
    std::printf("main window load: %.1f ms\n", Ms(t0, t1));

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
    HWND label = ui::Window("标签_第一列");
    SetFocus(box);
    UpdateWindow(main);
    const LRESULT len = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    // A typed character, then a backspace, with the caret at three places.
    // "handled": WM_CHAR returns, the list and the label's text are new (the
    // change handling is synchronous); "painted": the box and the label are
    // drawn as well.
    const struct {
        const char* where;
        LRESULT at;
    } places[] = {{"end", len}, {"middle", len / 2}, {"start", 0}};
    for (const auto& p : places) {
        std::vector<double> typed, painted, deleted;
        for (int round = 0; round < 7; ++round) {
            SendMessageW(box, EM_SETSEL, p.at, p.at);
            Pump();
            UpdateWindow(main);
            LARGE_INTEGER a = Now();
            SendMessageW(box, WM_CHAR, L'x', 0);   // EN_CHANGE -> the change handling, synchronously
            LARGE_INTEGER b = Now();
            Pump();
            UpdateWindow(box);
            UpdateWindow(label);
            UpdateWindow(main);
            LARGE_INTEGER c = Now();
            typed.push_back(Ms(a, b));
            painted.push_back(Ms(a, c));
            a = Now();
            SendMessageW(box, WM_CHAR, VK_BACK, 0);
            b = Now();
            deleted.push_back(Ms(a, b));
            Pump();
        }
        std::printf("caret at %-6s typed character: handled median %5.0f ms (best %5.0f), painted median %5.0f ms "
                    "(best %5.0f); backspace handled %5.0f ms\n",
                    p.where, Median(typed), Best(typed), Median(painted), Best(painted), Median(deleted));
        std::fflush(stdout);
    }

    // The change handling alone, and where its time goes: the same steps as
    // RefreshColumn, one by one.
    std::vector<double> refresh, read, split, store, caption;
    for (int round = 0; round < 7; ++round) {
        LARGE_INTEGER a = Now();
        RefreshColumn(1);
        LARGE_INTEGER b = Now();
        refresh.push_back(Ms(a, b));
        a = Now();
        std::string copy;
        ui::ReadText("编辑框_第一列", copy);
        b = Now();
        read.push_back(Ms(a, b));
        a = Now();
        auto list = std::make_shared<const WordList>(WordList::FromText(std::move(copy)));
        b = Now();
        split.push_back(Ms(a, b));
        a = Now();
        Columns().ReplaceWordList(1, std::move(list));   // the old list is freed here
        b = Now();
        store.push_back(Ms(a, b));
        a = Now();
        ui::SetCaption("标签_第一列", JoinTexts({IntegerToText(Columns().List(1)->MemberCount()), "个"}));
        b = Now();
        caption.push_back(Ms(a, b));
        Pump();
    }
    char text2[64];
    GetWindowTextA(label, text2, sizeof text2);
    std::printf("RefreshColumn alone: median %.1f ms (best %.1f)\n", Median(refresh), Best(refresh));
    std::printf("  copy out of the box %.1f ms, split taking the copy %.1f ms, store and free the old list %.1f ms, "
                "label %.1f ms\n",
                Median(read), Median(split), Median(store), Median(caption));
    std::printf("label after: %s (members %d)\n", text2, Columns().List(1)->MemberCount());
    DestroyWindow(main);
    Pump();
    return 0;
}
