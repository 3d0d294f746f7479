// The control skin: flat frames in a scheme colour over the standard controls
// of the window thread. The controls keep painting themselves; the skin only
// draws a one-pixel frame in the scheme colour over their border afterwards,
// so nothing is erased twice and nothing flickers.
#include "ui/runtime.h"

#include <commctrl.h>

#include "ui/text_box_win.h"

#include <set>

namespace yz::ui {
namespace {

constexpr UINT_PTR kSkinSubclass = 0x595A0002;

int g_scheme = 0;
HHOOK g_hook = nullptr;
std::set<HWND> g_skinned;

enum class Part { None, PushButton, CheckBox, Radio, GroupBox, Edit, Combo, ComboList, UpDown };

Part PartOf(HWND hwnd, LONG style) {
    wchar_t cls[64];
    if (!GetClassNameW(hwnd, cls, 64)) return Part::None;
    // Versioned classes of common controls 6 may read "6.0...!Button".
    const wchar_t* name = cls;
    for (const wchar_t* p = cls; *p; ++p)
        if (*p == L'!') name = p + 1;
    if (!lstrcmpiW(name, L"Button")) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return Part::PushButton;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return Part::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return Part::Radio;
        case BS_GROUPBOX:
            return Part::GroupBox;
        default:
            return Part::None;   // owner-drawn and the like draw themselves
        }
    }
    if (!lstrcmpiW(name, L"Edit") || !lstrcmpW(name, kTextBoxClass)) return Part::Edit;
    if (!lstrcmpiW(name, L"ComboBox")) return Part::Combo;
    if (!lstrcmpiW(name, L"ComboLBox")) return Part::ComboList;
    if (!lstrcmpiW(name, UPDOWN_CLASSW)) return Part::UpDown;
    return Part::None;
}

void FrameIn(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH b = CreateSolidBrush(colour);
    FrameRect(dc, &r, b);
    DeleteObject(b);
}

// The square of a check box or the circle's box of a radio button: 13 pixels
// at the left, centred vertically (BS_VCENTER) or at the top.
RECT GlyphRect(HWND hwnd, const RECT& client) {
    const int size = 13;
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    int top = (client.bottom - size) / 2;
    if ((style & BS_VCENTER) == BS_TOP) top = 0;
    if ((style & BS_VCENTER) == BS_BOTTOM) top = client.bottom - size;
    RECT r{0, top, size, top + size};
    if (style & BS_LEFTTEXT) OffsetRect(&r, client.right - size, 0);
    return r;
}

void DrawClientFrame(HWND hwnd, Part part) {
    if (!IsWindowVisible(hwnd)) return;
    const COLORREF colour = SkinFrameColour(g_scheme);
    HDC dc = GetDC(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    switch (part) {
    case Part::PushButton:
        FrameIn(dc, client, colour);
        break;
    case Part::CheckBox:
    case Part::Radio:
        FrameIn(dc, GlyphRect(hwnd, client), colour);
        break;
    case Part::GroupBox: {
        // The etched line sits half a text line below the top; make it one
        // flat line in the scheme colour.
        TEXTMETRICW tm{};
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        RECT r = client;
        r.top = tm.tmHeight / 2;
        HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
        RECT inner = r;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, face);
        FrameIn(dc, r, colour);
        break;
    }
    default:
        break;
    }
    ReleaseDC(hwnd, dc);
}

// Edit boxes, combo boxes and their lists: the border is non-client.
void DrawWindowFrame(HWND hwnd) {
    const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    if (!(ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) && !(style & WS_BORDER)) return;
    HDC dc = GetWindowDC(hwnd);
    RECT r;
    GetWindowRect(hwnd, &r);
    OffsetRect(&r, -r.left, -r.top);
    FrameIn(dc, r, SkinFrameColour(g_scheme));
    if (ex & WS_EX_CLIENTEDGE) {
        // The inner ring of the two-pixel sunken edge takes the box's colour.
        InflateRect(&r, -1, -1);
        FrameRect(dc, &r, GetSysColorBrush(IsWindowEnabled(hwnd) ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    ReleaseDC(hwnd, dc);
}

void Redraw(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    const Part part = static_cast<Part>(ref);
    if (msg == WM_NCDESTROY) {
        g_skinned.erase(hwnd);
        RemoveWindowSubclass(hwnd, SkinProc, kSkinSubclass);
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    const bool nonClient = part == Part::Edit || part == Part::Combo || part == Part::ComboList;
    switch (msg) {
    case WM_NCPAINT:
    case WM_PAINT:
    case WM_PRINTCLIENT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_UPDATEUISTATE:
        // The control may have drawn its own border just now.
        if (nonClient) {
            if (msg == WM_NCPAINT || msg == WM_SETFOCUS || msg == WM_KILLFOCUS || msg == WM_ENABLE ||
                msg == WM_MOUSEMOVE || msg == WM_MOUSELEAVE)
                DrawWindowFrame(hwnd);
        } else if (part != Part::UpDown) {
            if (msg != WM_NCPAINT) DrawClientFrame(hwnd, part);
        } else if (msg == WM_PAINT) {
            HDC dc = GetDC(hwnd);
            RECT c;
            GetClientRect(hwnd, &c);
            FrameIn(dc, c, SkinFrameColour(g_scheme));
            ReleaseDC(hwnd, dc);
        }
        break;
    default:
        break;
    }
    return r;
}

void Skin(HWND hwnd, LONG style) {
    const Part part = PartOf(hwnd, style);
    if (part == Part::None || g_skinned.count(hwnd)) return;
    if (SetWindowSubclass(hwnd, SkinProc, kSkinSubclass, static_cast<DWORD_PTR>(part))) g_skinned.insert(hwnd);
}

void Skin(HWND hwnd) { Skin(hwnd, GetWindowLongW(hwnd, GWL_STYLE)); }

BOOL CALLBACK SkinChild(HWND hwnd, LPARAM) {
    Skin(hwnd);
    return TRUE;
}

BOOL CALLBACK SkinTop(HWND hwnd, LPARAM) {
    Skin(hwnd);
    EnumChildWindows(hwnd, SkinChild, 0);
    Redraw(hwnd);
    return TRUE;
}

// Windows created later on this thread: subclassed as they are created.
LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        // The create parameters carry the style the window is being made with.
        auto* cbt = reinterpret_cast<CBT_CREATEWNDW*>(lp);
        Skin(hwnd, cbt && cbt->lpcs ? cbt->lpcs->style : GetWindowLongW(hwnd, GWL_STYLE));
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

}  // namespace

COLORREF SkinFrameColour(int scheme) {
    switch (scheme) {
    case 1: return RGB(123, 158, 189);
    case 2: return RGB(164, 185, 127);
    case 3: return RGB(198, 197, 215);
    default: return GetSysColor(COLOR_BTNSHADOW);
    }
}

int SkinScheme() { return g_scheme; }

bool SwitchSkin(int scheme) {
    // Off first: every window gets its own drawing back.
    if (g_hook) {
        UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
    const std::set<HWND> was = g_skinned;
    for (HWND h : was) RemoveWindowSubclass(h, SkinProc, kSkinSubclass);
    g_skinned.clear();
    g_scheme = 0;
    if (scheme < 1 || scheme > 3) {
        for (HWND h : was)
            if (IsWindow(h)) Redraw(h);
        return true;
    }
    g_scheme = scheme;
    g_hook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    EnumThreadWindows(GetCurrentThreadId(), SkinTop, 0);
    return g_hook != nullptr;
}

}  // namespace yz::ui
