// The program's own multi-line text box: painting, keyboard, mouse, scroll
// bar, caret, clipboard, input method and the edit-control messages, over the
// window-free TextBoxModel.
#include "ui/text_box_win.h"

#include <imm.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "ui/runtime.h"
#include "ui/text_box_model.h"

namespace yz::ui {
namespace {

constexpr int kLeftMargin = 2;
constexpr int kRightMargin = 1;
constexpr int kTopMargin = 1;
constexpr UINT_PTR kDragScrollTimer = 1;

// Menu commands of the context menu: the messages they send.
enum MenuCommand : UINT { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll };

// GBK character code -> the UTF-16 unit shown for it (0 = not decoded yet).
// One table for every box: codes are the same everywhere.
std::vector<wchar_t>& DecodeTable() {
    static std::vector<wchar_t> table(65536, 0);
    return table;
}

wchar_t Decode(unsigned code) {
    wchar_t& w = DecodeTable()[code & 0xFFFF];
    if (w) return w;
    if (code == 0x80 || code == 0xFF) {
        const char byte = static_cast<char>(code);
        wchar_t out[2] = {};
        w = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, &byte, 1, out, 2) == 1 ? out[0] : L'?';
    } else if (code < 0x80) {
        // Control characters other than the tab show as a space: a lone CR or
        // LF does not end a word, so it must not look like a line break.
        w = code == '\t' || code >= 0x20 ? static_cast<wchar_t>(code) : L' ';
        if (code == 0x7F) w = L' ';
    } else {
        const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        wchar_t out[2] = {};
        const int n = (code & 0xFF) && code >= 0x100
                          ? MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, 2, out, 2)
                          : 0;
        w = n == 1 ? out[0] : L'?';
    }
    return w;
}

unsigned CodeAt(const std::string& text, std::size_t p) {
    const auto b = static_cast<unsigned char>(text[p]);
    if (!TextBoxModel::IsLead(b)) return b;
    const unsigned trail = p + 1 < text.size() ? static_cast<unsigned char>(text[p + 1]) : 0;
    return (static_cast<unsigned>(b) << 8) | trail;
}

struct Box {
    HWND hwnd = nullptr;
    TextBoxModel model;
    HFONT font = nullptr;
    HDC measureDc = nullptr;
    int lineHeight = 16;
    std::size_t top = 0;        // first visible line
    int desiredX = -1;          // column kept by Up/Down, -1 = take the caret's
    bool focused = false;
    bool tracking = false;      // left button held after a press in the box
    bool modified = false;
    POINT lastMouse{};
    wchar_t pendingHigh = 0;    // first half of a surrogate pair
    int wheelRest = 0;
    DWORD limit = 0xFFFFFFFF;
    std::wstring lineText;      // paint buffers
    std::vector<INT> advances;
};

Box* BoxOf(HWND hwnd) { return reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, 0)); }

int MeasureChar(void* context, unsigned code) {
    Box* box = static_cast<Box*>(context);
    const wchar_t ch = Decode(code);
    SIZE size{};
    if (!GetTextExtentPoint32W(box->measureDc, &ch, 1, &size)) return 8;
    return static_cast<int>(size.cx);
}

RECT TextRect(const Box& box) {
    RECT r;
    GetClientRect(box.hwnd, &r);
    r.left += kLeftMargin;
    r.right -= kRightMargin;
    r.top += kTopMargin;
    return r;
}

std::size_t VisibleLines(const Box& box) {
    const RECT r = TextRect(box);
    const int h = std::max(0, static_cast<int>(r.bottom - r.top));
    return std::max<std::size_t>(1, static_cast<std::size_t>(h / std::max(1, box.lineHeight)));
}

std::size_t MaxTop(const Box& box) {
    const std::size_t lines = box.model.LineCount(), visible = VisibleLines(box);
    return lines > visible ? lines - visible : 0;
}

void UpdateScrollBar(Box& box) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = static_cast<int>(std::min<std::size_t>(box.model.LineCount(), 0x7FFFFFFE) - 1);
    si.nPage = static_cast<UINT>(VisibleLines(box));
    si.nPos = static_cast<int>(box.top);
    SetScrollInfo(box.hwnd, SB_VERT, &si, TRUE);
}

void PlaceCaret(Box& box) {
    if (!box.focused) return;
    const std::size_t line = box.model.CaretLine();
    const RECT r = TextRect(box);
    int x = -1000, y = -1000;
    if (line >= box.top && line <= box.top + VisibleLines(box)) {
        x = r.left + box.model.XOf(line, box.model.Caret());
        y = r.top + static_cast<int>(line - box.top) * box.lineHeight;
    }
    SetCaretPos(x, y);
    if (HIMC imc = ImmGetContext(box.hwnd)) {
        COMPOSITIONFORM cf{};
        cf.dwStyle = CFS_POINT;
        cf.ptCurrentPos = {x, y};
        ImmSetCompositionWindow(imc, &cf);
        ImmReleaseContext(box.hwnd, imc);
    }
}

void ScrollTo(Box& box, std::size_t top) {
    top = std::min(top, MaxTop(box));
    if (top != box.top) {
        box.top = top;
        InvalidateRect(box.hwnd, nullptr, FALSE);
    }
    UpdateScrollBar(box);
    PlaceCaret(box);
}

void ScrollCaretIntoView(Box& box) {
    const std::size_t line = box.model.CaretLine(), visible = VisibleLines(box);
    std::size_t top = std::min(box.top, MaxTop(box));
    if (line < top) top = line;
    else if (line >= top + visible) top = line - visible + 1;
    ScrollTo(box, top);
}

void Notify(Box& box, WORD code) {
    HWND parent = GetParent(box.hwnd);
    if (!parent) return;
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box.hwnd), code), reinterpret_cast<LPARAM>(box.hwnd));
}

// After the text changed: show it, then tell the parent and screen readers.
void Changed(Box& box) {
    box.modified = true;
    box.desiredX = -1;
    InvalidateRect(box.hwnd, nullptr, FALSE);
    ScrollCaretIntoView(box);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, box.hwnd, OBJID_CLIENT, CHILDID_SELF);
    // Last: the parent's handling may do anything, even destroy the box.
    Notify(box, EN_UPDATE);
    Notify(box, EN_CHANGE);
}

void SelectionMoved(Box& box) {
    InvalidateRect(box.hwnd, nullptr, FALSE);
    ScrollCaretIntoView(box);
}

bool ReplaceSelection(Box& box, std::string_view gbk, bool canUndo = true) {
    if (!box.model.ReplaceSelection(gbk, canUndo)) return false;
    Changed(box);
    return true;
}

// --- Clipboard ---

// The UTF-16 units of the bytes [from, to), one per character, at most room
// of them, into out; gives how many. Control characters go out as they are:
// only the display hides them.
std::size_t DecodeInto(const std::string& text, std::size_t from, std::size_t to, wchar_t* out, std::size_t room) {
    std::size_t n = 0;
    for (std::size_t p = from; p < to && n < room;) {
        const unsigned code = CodeAt(text, p);
        out[n++] = code < 0x80 ? static_cast<wchar_t>(code) : Decode(code);
        p += code < 0x100 || p + 1 >= text.size() ? 1 : 2;
    }
    return n;
}

void Copy(Box& box) {
    if (!box.model.HasSelection()) return;
    const std::size_t from = box.model.SelectionStart(), to = box.model.SelectionEnd();
    // A character takes at least one byte: the bytes bound the units.
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (to - from + 1) * sizeof(wchar_t));
    if (!mem) return;
    auto* dst = static_cast<wchar_t*>(GlobalLock(mem));
    dst[DecodeInto(box.model.Text(), from, to, dst, to - from)] = 0;
    GlobalUnlock(mem);
    if (!OpenClipboardWithRetry(box.hwnd)) {
        GlobalFree(mem);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    CloseClipboard();
}

void Paste(Box& box) {
    if (!OpenClipboardWithRetry(box.hwnd)) return;
    std::string gbk;
    bool any = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* src = static_cast<const wchar_t*>(GlobalLock(data))) {
            const SIZE_T units = GlobalSize(data) / sizeof(wchar_t);
            std::size_t len = 0;
            while (len < units && src[len]) ++len;
            gbk = GbkFromWide(std::wstring_view(src, len));
            any = true;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    if (any) ReplaceSelection(box, gbk);
}

void Clear(Box& box) { ReplaceSelection(box, {}); }

void SelectAll(Box& box) {
    box.model.Select(0, box.model.Text().size());
    SelectionMoved(box);
}

// --- Painting ---

void PaintLines(Box& box, HDC dc, const RECT& client) {
    HWND parent = GetParent(box.hwnd);
    const bool enabled = IsWindowEnabled(box.hwnd);
    HBRUSH bg = nullptr;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    if (parent)
        bg = reinterpret_cast<HBRUSH>(SendMessageW(parent, enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                                                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box.hwnd)));
    if (!bg) bg = GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const COLORREF text = GetTextColor(dc), back = GetBkColor(dc);
    FillRect(dc, &client, bg);
    HGDIOBJ oldFont = SelectObject(dc, box.font ? box.font : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);

    const RECT area = TextRect(box);
    const std::string& t = box.model.Text();
    const std::size_t selStart = box.model.SelectionStart(), selEnd = box.model.SelectionEnd();
    const bool showSelection = box.focused && selStart != selEnd;
    const std::size_t last = std::min(box.model.LineCount(), box.top + VisibleLines(box) + 1);
    for (std::size_t line = box.top; line < last; ++line) {
        const int y = area.top + static_cast<int>(line - box.top) * box.lineHeight;
        if (y >= client.bottom) break;
        const std::size_t from = box.model.LineStart(line), to = box.model.LineContentEnd(line);
        box.lineText.clear();
        box.advances.clear();
        std::size_t selA = 0, selB = 0;   // selected units of this line
        int x = 0, selX0 = 0, selX1 = 0;
        for (std::size_t p = from; p < to; p += box.model.CharLength(p)) {
            const int w = box.model.Advance(p, x);
            if (showSelection && p == selStart) {
                selA = box.lineText.size();
                selX0 = x;
            }
            if (showSelection && p == selEnd) {
                selB = box.lineText.size();
                selX1 = x;
            }
            const unsigned code = CodeAt(t, p);
            box.lineText += code == '\t' ? L' ' : Decode(code);
            box.advances.push_back(w);
            x += w;
        }
        const std::size_t units = box.lineText.size();
        if (showSelection) {
            if (selStart <= from) {
                selA = 0;
                selX0 = 0;
            } else if (selStart >= to) {
                selA = units;
                selX0 = x;
            }
            if (selEnd >= to) {
                selB = units;
                selX1 = x;
            } else if (selEnd <= from) {
                selB = 0;
                selX1 = 0;
            }
        }
        if (units == 0) continue;
        RECT clip{area.left, y, area.right, y + box.lineHeight};
        if (!showSelection || selA >= selB) {
            SetTextColor(dc, text);
            ExtTextOutW(dc, area.left, y, ETO_CLIPPED, &clip, box.lineText.data(), static_cast<UINT>(units),
                        box.advances.data());
            continue;
        }
        // Before, inside and after the selection.
        if (selA > 0) {
            SetTextColor(dc, text);
            ExtTextOutW(dc, area.left, y, ETO_CLIPPED, &clip, box.lineText.data(), static_cast<UINT>(selA),
                        box.advances.data());
        }
        RECT sel{area.left + selX0, y, std::min<LONG>(area.left + selX1, area.right), y + box.lineHeight};
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        ExtTextOutW(dc, area.left + selX0, y, ETO_CLIPPED | ETO_OPAQUE, &sel, box.lineText.data() + selA,
                    static_cast<UINT>(selB - selA), box.advances.data() + selA);
        SetBkColor(dc, back);
        if (selB < units) {
            SetTextColor(dc, text);
            ExtTextOutW(dc, area.left + selX1, y, ETO_CLIPPED, &clip, box.lineText.data() + selB,
                        static_cast<UINT>(units - selB), box.advances.data() + selB);
        }
    }
    SetTextColor(dc, text);
    SelectObject(dc, oldFont);
}

void Paint(Box& box, HDC target) {
    RECT client;
    GetClientRect(box.hwnd, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    // Drawn off screen first: no flicker while typing.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PaintLines(box, dc, client);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// --- Font and size ---

void ApplyFont(Box& box, HFONT font) {
    box.font = font;
    SelectObject(box.measureDc, font ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(box.measureDc, &tm);
    box.lineHeight = std::max(1, static_cast<int>(tm.tmHeight));
    // Tab stops every eight average characters, as in the system's boxes.
    box.model.SetMeasure(MeasureChar, &box, std::max(1, static_cast<int>(tm.tmAveCharWidth)) * 8);
}

void ApplySize(Box& box) {
    const RECT r = TextRect(box);
    box.model.SetWrapWidth(std::max(1, static_cast<int>(r.right - r.left)));
    box.top = std::min(box.top, MaxTop(box));
    UpdateScrollBar(box);
    InvalidateRect(box.hwnd, nullptr, FALSE);
    PlaceCaret(box);
}

// A whole new text: shown from its start, as not modified.
void TextReplaced(Box& box) {
    box.top = 0;
    box.modified = false;
    box.desiredX = -1;
    ApplySize(box);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, box.hwnd, OBJID_CLIENT, CHILDID_SELF);
}

// --- Positions ---

struct Hit {
    std::size_t offset;
    bool afterWrap;
};

Hit HitTest(const Box& box, POINT pt) {
    const RECT r = TextRect(box);
    long long row = pt.y < r.top ? -1 - (r.top - pt.y - 1) / box.lineHeight : (pt.y - r.top) / box.lineHeight;
    long long line = static_cast<long long>(box.top) + row;
    line = std::clamp<long long>(line, 0, static_cast<long long>(box.model.LineCount()) - 1);
    const auto l = static_cast<std::size_t>(line);
    const std::size_t offset = box.model.OffsetAtX(l, pt.x - r.left);
    return {offset, box.model.IsAfterWrap(l, offset)};
}

// Up, Down, Page Up, Page Down: the line `lines` away, at the kept column.
void MoveLines(Box& box, long long lines, bool extend) {
    const std::size_t line = box.model.CaretLine();
    if (box.desiredX < 0) box.desiredX = box.model.XOf(line, box.model.Caret());
    const long long target = std::clamp<long long>(static_cast<long long>(line) + lines, 0,
                                                   static_cast<long long>(box.model.LineCount()) - 1);
    const auto l = static_cast<std::size_t>(target);
    const std::size_t offset = box.model.OffsetAtX(l, box.desiredX);
    const bool afterWrap = box.model.IsAfterWrap(l, offset);
    const int keep = box.desiredX;
    box.model.Select(extend ? box.model.Anchor() : offset, offset, afterWrap);
    SelectionMoved(box);
    box.desiredX = keep;
}

void MoveTo(Box& box, std::size_t offset, bool extend, bool afterWrap = false) {
    box.model.Select(extend ? box.model.Anchor() : offset, offset, afterWrap);
    box.desiredX = -1;
    SelectionMoved(box);
}

bool KeyDown(Box& box, WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    TextBoxModel& m = box.model;
    switch (key) {
    case VK_LEFT:
        if (!shift && m.HasSelection()) MoveTo(box, m.SelectionStart(), false);
        else MoveTo(box, ctrl ? m.WordLeft(m.Caret()) : m.PrevChar(m.Caret()), shift);
        return true;
    case VK_RIGHT:
        if (!shift && m.HasSelection()) MoveTo(box, m.SelectionEnd(), false);
        else MoveTo(box, ctrl ? m.WordRight(m.Caret()) : m.NextChar(m.Caret()), shift);
        return true;
    case VK_UP:
        MoveLines(box, -1, shift);
        return true;
    case VK_DOWN:
        MoveLines(box, 1, shift);
        return true;
    case VK_PRIOR:
    case VK_NEXT: {
        const auto page = static_cast<long long>(VisibleLines(box));
        const long long lines = key == VK_PRIOR ? -page : page;
        const long long top = std::clamp<long long>(static_cast<long long>(box.top) + lines, 0,
                                                    static_cast<long long>(MaxTop(box)));
        ScrollTo(box, static_cast<std::size_t>(top));
        MoveLines(box, lines, shift);
        return true;
    }
    case VK_HOME:
        MoveTo(box, ctrl ? 0 : m.LineStart(m.CaretLine()), shift);
        return true;
    case VK_END: {
        if (ctrl) {
            MoveTo(box, m.Text().size(), shift);
        } else {
            const std::size_t line = m.CaretLine(), end = m.LineContentEnd(line);
            MoveTo(box, end, shift, m.EndsInWrap(line));
        }
        return true;
    }
    case VK_DELETE:
        if (shift) {
            Copy(box);
            Clear(box);
        } else {
            if (!m.HasSelection()) m.Select(m.Caret(), m.NextChar(m.Caret()));
            Clear(box);
        }
        return true;
    case VK_INSERT:
        if (ctrl) Copy(box);
        else if (shift) Paste(box);
        return true;
    default:
        return false;
    }
}

void Char(Box& box, wchar_t ch) {
    TextBoxModel& m = box.model;
    if (ch >= 0xD800 && ch <= 0xDBFF) {
        box.pendingHigh = ch;
        return;
    }
    if (ch >= 0xDC00 && ch <= 0xDFFF) {
        // GBK has no character beyond the first plane: one "?" for the pair.
        const bool whole = box.pendingHigh != 0;
        box.pendingHigh = 0;
        if (whole) ReplaceSelection(box, "?");
        return;
    }
    box.pendingHigh = 0;
    switch (ch) {
    case 0x08:   // Backspace
        if (!m.HasSelection() && m.Caret() > 0) m.Select(m.Caret(), m.PrevChar(m.Caret()));
        Clear(box);
        return;
    case L'\r':
    case L'\n':
        ReplaceSelection(box, "\r\n");
        return;
    case L'\t':
        ReplaceSelection(box, "\t");
        return;
    case 0x01:   // Ctrl+A
        SelectAll(box);
        return;
    case 0x03:   // Ctrl+C
        Copy(box);
        return;
    case 0x16:   // Ctrl+V
        Paste(box);
        return;
    case 0x18:   // Ctrl+X
        Copy(box);
        Clear(box);
        return;
    case 0x1A:   // Ctrl+Z
        if (m.Undo()) Changed(box);
        return;
    default:
        if (ch < 0x20 || ch == 0x7F) return;
        ReplaceSelection(box, GbkFromWide(std::wstring_view(&ch, 1)));
        return;
    }
}

void ContextMenu(Box& box, LPARAM lp) {
    if (GetFocus() != box.hwnd) SetFocus(box.hwnd);
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (lp == -1) {   // from the keyboard: at the caret
        pt = {TextRect(box).left + box.model.XOf(box.model.CaretLine(), box.model.Caret()),
              TextRect(box).top + static_cast<int>(box.model.CaretLine() - std::min(box.top, box.model.CaretLine())) *
                                      box.lineHeight};
        ClientToScreen(box.hwnd, &pt);
    }
    TextBoxModel& m = box.model;
    const bool sel = m.HasSelection();
    const bool canPaste = IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (m.CanUndo() ? 0 : MF_GRAYED), kUndo, L"撤消(&U)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (sel ? 0 : MF_GRAYED), kCut, L"剪切(&T)");
    AppendMenuW(menu, MF_STRING | (sel ? 0 : MF_GRAYED), kCopy, L"复制(&C)");
    AppendMenuW(menu, MF_STRING | (canPaste ? 0 : MF_GRAYED), kPaste, L"粘贴(&P)");
    AppendMenuW(menu, MF_STRING | (sel ? 0 : MF_GRAYED), kDelete, L"删除(&D)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    const bool all = m.SelectionStart() == 0 && m.SelectionEnd() == m.Text().size();
    AppendMenuW(menu, MF_STRING | (m.Text().empty() || all ? MF_GRAYED : 0), kSelectAll, L"全选(&A)");
    const UINT cmd = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pt.x, pt.y, 0, box.hwnd, nullptr));
    DestroyMenu(menu);
    switch (cmd) {
    case kUndo:
        if (m.Undo()) Changed(box);
        break;
    case kCut:
        Copy(box);
        Clear(box);
        break;
    case kCopy:
        Copy(box);
        break;
    case kPaste:
        Paste(box);
        break;
    case kDelete:
        Clear(box);
        break;
    case kSelectAll:
        SelectAll(box);
        break;
    default:
        break;
    }
}

void DragTo(Box& box, POINT pt) {
    const Hit hit = HitTest(box, pt);
    box.model.Select(box.model.Anchor(), hit.offset, hit.afterWrap);
    box.desiredX = -1;
    SelectionMoved(box);
}

void VScroll(Box& box, int code, int position = 0) {
    const std::size_t visible = VisibleLines(box);
    long long top = static_cast<long long>(box.top);
    switch (code) {
    case SB_LINEUP: top -= 1; break;
    case SB_LINEDOWN: top += 1; break;
    case SB_PAGEUP: top -= static_cast<long long>(visible); break;
    case SB_PAGEDOWN: top += static_cast<long long>(visible); break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = static_cast<long long>(MaxTop(box)); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The message carries 16 bits of the position; a drag of the thumb
        // has all 32 in the scroll bar's track position.
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(box.hwnd, SB_VERT, &si);
        top = (si.nTrackPos & 0xFFFF) == position ? si.nTrackPos : position;
        break;
    }
    default: return;
    }
    ScrollTo(box, static_cast<std::size_t>(std::max<long long>(0, top)));
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Box* box = BoxOf(hwnd);
    if (!box) {
        if (msg == WM_NCCREATE) {
            box = new Box;
            box->hwnd = hwnd;
            box->measureDc = CreateCompatibleDC(nullptr);
            SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(box));
            ApplyFont(*box, nullptr);
            const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
            if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
                box->model.SetText(GbkFromWide(cs->lpszName));
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    Box& b = *box;
    TextBoxModel& m = b.model;
    switch (msg) {
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, 0, 0);
        DeleteDC(b.measureDc);
        delete box;
        return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_SIZE:
        ApplySize(b);
        return 0;
    case WM_SETFONT:
        ApplyFont(b, reinterpret_cast<HFONT>(wp));
        ApplySize(b);
        if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(b.font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(b, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(b, reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTALLKEYS | DLGC_HASSETSEL;
    case WM_SETFOCUS: {
        b.focused = true;
        CreateCaret(hwnd, nullptr, 1, b.lineHeight);
        PlaceCaret(b);
        ShowCaret(hwnd);
        if (HIMC imc = ImmGetContext(hwnd)) {
            LOGFONTW lf{};
            if (b.font && GetObjectW(b.font, sizeof lf, &lf)) ImmSetCompositionFontW(imc, &lf);
            ImmReleaseContext(hwnd, imc);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(b, EN_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS:
        b.focused = false;
        DestroyCaret();
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(b, EN_KILLFOCUS);
        return 0;
    case WM_KEYDOWN:
        if (KeyDown(b, wp)) return 0;
        return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_CHAR:
        Char(b, static_cast<wchar_t>(wp));
        return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const Hit hit = HitTest(b, pt);
        m.Select((wp & MK_SHIFT) ? m.Anchor() : hit.offset, hit.offset, hit.afterWrap);
        b.desiredX = -1;
        b.tracking = true;
        b.lastMouse = pt;
        SetCapture(hwnd);
        SelectionMoved(b);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        std::size_t start = 0, end = 0;
        m.WordAt(HitTest(b, {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}).offset, start, end);
        m.Select(start, end);
        b.desiredX = -1;
        SelectionMoved(b);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (b.tracking) {
            b.lastMouse = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            RECT r;
            GetClientRect(hwnd, &r);
            // Past the top or bottom edge the text scrolls on its own.
            if (b.lastMouse.y < 0 || b.lastMouse.y >= r.bottom) SetTimer(hwnd, kDragScrollTimer, 50, nullptr);
            else KillTimer(hwnd, kDragScrollTimer);
            DragTo(b, b.lastMouse);
        }
        return 0;
    case WM_TIMER:
        if (wp == kDragScrollTimer && b.tracking) {
            RECT r;
            GetClientRect(hwnd, &r);
            if (b.lastMouse.y < 0 && b.top > 0) ScrollTo(b, b.top - 1);
            else if (b.lastMouse.y >= r.bottom) ScrollTo(b, b.top + 1);
            DragTo(b, b.lastMouse);
        }
        return 0;
    case WM_LBUTTONUP:
        if (b.tracking) {
            b.tracking = false;
            KillTimer(hwnd, kDragScrollTimer);
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        b.tracking = false;
        KillTimer(hwnd, kDragScrollTimer);
        return 0;
    case WM_CONTEXTMENU:
        ContextMenu(b, lp);
        return 0;
    case WM_MOUSEWHEEL: {
        UINT perNotch = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
        b.wheelRest += GET_WHEEL_DELTA_WPARAM(wp);
        const int notches = b.wheelRest / WHEEL_DELTA;
        b.wheelRest %= WHEEL_DELTA;
        if (notches == 0) return 0;
        if (perNotch == WHEEL_PAGESCROLL) perNotch = static_cast<UINT>(VisibleLines(b));
        const long long top = static_cast<long long>(b.top) - static_cast<long long>(notches) * perNotch;
        ScrollTo(b, static_cast<std::size_t>(std::max<long long>(0, top)));
        return 0;
    }
    case WM_VSCROLL:
        VScroll(b, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_GETOBJECT:
        if (static_cast<LONG>(lp) == OBJID_CLIENT)
            if (const LRESULT r = TextBoxAccessibleObject(hwnd, wp)) return r;
        return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_IME_STARTCOMPOSITION:
        PlaceCaret(b);
        return DefWindowProcW(hwnd, msg, wp, lp);

    // --- The edit-control messages ---
    case WM_SETTEXT: {
        const auto* wide = reinterpret_cast<const wchar_t*>(lp);
        m.SetText(GbkFromWide(wide ? wide : L""));
        TextReplaced(b);
        return TRUE;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(m.CharCount());
    case WM_GETTEXT: {
        if (wp == 0 || !lp) return 0;
        auto* out = reinterpret_cast<wchar_t*>(lp);
        const std::size_t n = DecodeInto(m.Text(), 0, m.Text().size(), out, wp - 1);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case EM_GETSEL: {
        const auto s = static_cast<DWORD>(m.CharIndexOf(m.SelectionStart()));
        const auto e = static_cast<DWORD>(m.CharIndexOf(m.SelectionEnd()));
        if (wp) *reinterpret_cast<DWORD*>(wp) = s;
        if (lp) *reinterpret_cast<DWORD*>(lp) = e;
        return MAKELRESULT(std::min<DWORD>(s, 0xFFFF), std::min<DWORD>(e, 0xFFFF));
    }
    case EM_SETSEL: {
        const auto start = static_cast<long long>(static_cast<int>(wp));
        const auto end = static_cast<long long>(static_cast<int>(lp));
        if (start < 0) {   // -1: no selection, the caret stays
            m.Select(m.Caret(), m.Caret(), m.CaretAfterWrap());
        } else {
            const std::size_t a = m.OffsetOfCharIndex(static_cast<std::size_t>(start));
            const std::size_t c = end < 0 ? m.Text().size() : m.OffsetOfCharIndex(static_cast<std::size_t>(end));
            m.Select(a, c);
        }
        b.desiredX = -1;
        InvalidateRect(hwnd, nullptr, FALSE);
        PlaceCaret(b);
        return 0;
    }
    case EM_REPLACESEL: {
        const auto* wide = reinterpret_cast<const wchar_t*>(lp);
        ReplaceSelection(b, GbkFromWide(wide ? wide : L""), wp != 0);
        return 0;
    }
    case EM_UNDO:
    case WM_UNDO:
        if (!m.Undo()) return FALSE;
        Changed(b);
        return TRUE;
    case EM_CANUNDO:
        return m.CanUndo();
    case EM_EMPTYUNDOBUFFER:
        m.EmptyUndo();
        return 0;
    case WM_CUT:
        Copy(b);
        Clear(b);
        return 0;
    case WM_COPY:
        Copy(b);
        return 0;
    case WM_PASTE:
        Paste(b);
        return 0;
    case WM_CLEAR:
        Clear(b);
        return 0;
    case EM_GETMODIFY:
        return b.modified;
    case EM_SETMODIFY:
        b.modified = wp != 0;
        return 0;
    case EM_SETLIMITTEXT:
        // No limit of its own: a column takes whatever it is given.
        b.limit = wp ? static_cast<DWORD>(wp) : 0xFFFFFFFF;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(b.limit);
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(m.LineCount());
    case EM_GETFIRSTVISIBLELINE:
        return static_cast<LRESULT>(b.top);
    case EM_LINEFROMCHAR: {
        const std::size_t offset = static_cast<int>(wp) < 0 ? m.SelectionStart() : m.OffsetOfCharIndex(wp);
        return static_cast<LRESULT>(m.LineOf(offset));
    }
    case EM_LINEINDEX: {
        const std::size_t line = static_cast<int>(wp) < 0 ? m.CaretLine() : static_cast<std::size_t>(wp);
        if (line >= m.LineCount()) return -1;
        return static_cast<LRESULT>(m.CharIndexOf(m.LineStart(line)));
    }
    case EM_LINELENGTH: {
        const std::size_t line = static_cast<int>(wp) < 0 ? m.CaretLine() : m.LineOf(m.OffsetOfCharIndex(wp));
        return static_cast<LRESULT>(m.CharIndexOf(m.LineContentEnd(line)) - m.CharIndexOf(m.LineStart(line)));
    }
    case EM_POSFROMCHAR: {
        if (wp > m.CharCount()) return -1;
        const std::size_t offset = m.OffsetOfCharIndex(wp);
        const std::size_t line = m.LineOf(offset);
        const RECT r = TextRect(b);
        const long long y = r.top + (static_cast<long long>(line) - static_cast<long long>(b.top)) * b.lineHeight;
        return MAKELRESULT(static_cast<WORD>(r.left + m.XOf(line, offset)), static_cast<WORD>(static_cast<short>(y)));
    }
    case EM_CHARFROMPOS: {
        const Hit hit = HitTest(b, {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return MAKELRESULT(static_cast<WORD>(m.CharIndexOf(hit.offset)), static_cast<WORD>(m.LineOf(hit.offset)));
    }
    case EM_SCROLLCARET:
        ScrollCaretIntoView(b);
        return 0;
    case EM_LINESCROLL: {
        const long long top = static_cast<long long>(b.top) + static_cast<int>(lp);
        ScrollTo(b, static_cast<std::size_t>(std::max<long long>(0, top)));
        return TRUE;
    }
    case EM_SCROLL: {
        const std::size_t before = b.top;
        VScroll(b, static_cast<int>(wp));
        return MAKELRESULT(static_cast<WORD>(b.top - before), TRUE);
    }
    case EM_GETRECT:
        if (lp) *reinterpret_cast<RECT*>(lp) = TextRect(b);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

bool RegisterTextBoxClass() {
    static ATOM atom = 0;
    if (atom) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = BoxProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
    wc.lpszClassName = kTextBoxClass;
    atom = RegisterClassExW(&wc);
    return atom != 0;
}

bool IsTextBox(HWND hwnd) {
    wchar_t cls[32];
    return hwnd && GetClassNameW(hwnd, cls, 32) && lstrcmpW(cls, kTextBoxClass) == 0;
}

const std::string* TextBoxText(HWND hwnd) {
    if (!IsTextBox(hwnd)) return nullptr;
    Box* box = BoxOf(hwnd);
    return box ? &box->model.Text() : nullptr;
}

bool SetTextBoxText(HWND hwnd, std::string text) {
    if (!IsTextBox(hwnd)) return false;
    Box* box = BoxOf(hwnd);
    if (!box) return false;
    box->model.SetText(std::move(text));
    TextReplaced(*box);
    return true;
}

}  // namespace yz::ui
