// The help window: a window of its own, modeless and without an owner, with
// one label of fixed text. The runtime builds it from its table and counts it
// among the program's windows, so the program ends only when both the main
// window and this one are gone.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "app/handlers.h"
#include "ui/control_table.h"
#include "ui/runtime.h"

namespace yz {

namespace {

constexpr UINT_PTR kHelpSubclass = 0x595A4801;

// The one help window that is open, if any; cleared when it is destroyed so
// that a later window reusing the handle is never mistaken for it.
HWND g_helpWindow = nullptr;

// The label's text is black on whatever the window shows beneath it; the font
// lives as long as the window.
LRESULT CALLBACK HelpWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    switch (msg) {
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
    }
    case WM_DESTROY:
        if (g_helpWindow == hwnd) g_helpWindow = nullptr;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, HelpWindowProc, kHelpSubclass);
        if (ref) DeleteObject(reinterpret_cast<HFONT>(ref));
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The system picks the face for the GB2312 character set.
HFONT HelpFont() {
    LOGFONTW lf{};
    lf.lfHeight = -16;  // character height, without the internal leading
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    return CreateFontIndirectW(&lf);
}

// Runs when the window and its label exist, before the window is first shown:
// the label is made top-aligned and wrapped at its width (and at each CR LF),
// unlike the one-line labels of the main window, and gets its own font.
void PrepareHelpWindow() {
    HWND label = ui::Window(ui::kHelpControls[0].name);
    if (!label) return;
    HWND window = GetAncestor(label, GA_ROOT);
    HFONT font = HelpFont();
    SetWindowSubclass(window, HelpWindowProc, kHelpSubclass, reinterpret_cast<DWORD_PTR>(font));
    LONG style = GetWindowLongW(label, GWL_STYLE);
    style &= ~(SS_TYPEMASK | SS_CENTERIMAGE);
    SetWindowLongW(label, GWL_STYLE, style | SS_LEFT | SS_NOPREFIX);
    if (font) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

constexpr ui::EventBinding kHelpEvents[] = {
    {nullptr, ui::EventBinding::Created, PrepareHelpWindow},
};

}  // namespace

void OpenHelpWindow() {
    if (g_helpWindow && IsWindow(g_helpWindow)) {
        if (IsIconic(g_helpWindow)) ShowWindow(g_helpWindow, SW_RESTORE);
        SetForegroundWindow(g_helpWindow);
        return;
    }
    // Built anew from its table at every opening: centred on the screen, no
    // owner, its own taskbar button.
    HWND window = ui::LoadWindow(ui::kHelpWindow, ui::kHelpControls,
                                 static_cast<int>(std::size(ui::kHelpControls)), kHelpEvents,
                                 static_cast<int>(std::size(kHelpEvents)), false);
    if (window) g_helpWindow = window;  // a failure is not reported; the program goes on
}

}  // namespace yz
