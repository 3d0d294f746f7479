// The program's own multi-line text box as users and other code meet it:
// the edit-control messages, typing, keys, clipboard, mouse, scrolling and
// painting of a bare box, and the column boxes of the real main window.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/program.h"
#include "columns/column_store.h"
#include "ui/runtime.h"
#include "ui/text_box_win.h"
#include "tests/win/win_test_support.h"

using namespace yz;
using namespace yz::ui;

using yz::test::OpenClipboardSoon;
using yz::test::Pump;

namespace {

using Sel = std::pair<DWORD, DWORD>;

void PutClipboard(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboardSoon(owner));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* dst = static_cast<wchar_t*>(GlobalLock(mem));
    std::memcpy(dst, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
}

std::wstring ClipboardText(HWND owner) {
    if (!OpenClipboardSoon(owner)) return L"<clipboard busy>";
    std::wstring out = L"<no text>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* src = static_cast<const wchar_t*>(GlobalLock(data))) {
            out = src;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out;
}

// Shift and Ctrl as GetKeyState sees them on this thread, for one key press.
class Modifiers {
public:
    Modifiers(bool shift, bool ctrl) {
        GetKeyboardState(saved_);
        BYTE keys[256];
        std::memcpy(keys, saved_, sizeof keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    ~Modifiers() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256];
};

enum Mod { kNone = 0, kShift = 1, kCtrl = 2, kShiftCtrl = 3 };

// --- A bare box in a small window of its own ---

std::vector<WORD> g_notes;   // notification codes the host received

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && lp) g_notes.push_back(HIWORD(wp));
    return DefWindowProcW(hwnd, msg, wp, lp);
}

constexpr int kBoxId = 77;

// One host window for the suite: destroying a top-level window costs Wine
// about two seconds; each test gets a fresh box in it.
class TextBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(RegisterTextBoxClass());
        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TextBoxTestHost";
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        RegisterClassW(&wc);
        host_ = CreateWindowExW(0, L"TextBoxTestHost", L"", WS_POPUP | WS_VISIBLE, 60, 60, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    static void TearDownTestSuite() {
        if (IsWindow(host_)) DestroyWindow(host_);
        host_ = nullptr;
        Pump();
    }
    void SetUp() override {
        ASSERT_NE(host_, nullptr);
        box_ = CreateWindowExW(WS_EX_CLIENTEDGE, kTextBoxClass, L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_WANTRETURN,
                               10, 10, 136, 200, host_, reinterpret_cast<HMENU>(kBoxId), GetModuleHandleW(nullptr),
                               nullptr);
        ASSERT_NE(box_, nullptr);
        ASSERT_TRUE(IsTextBox(box_));
        SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
        SetForegroundWindow(host_);
        SetFocus(box_);
        Pump();
        // From two lines of text laid out one below the other.
        Set(L"a\r\nb");
        lineHeight_ = PosOf(3).y - PosOf(0).y;
        Set(L"");
        g_notes.clear();
    }
    void TearDown() override {
        if (IsWindow(box_)) DestroyWindow(box_);
        Pump();
    }

    void Set(const std::wstring& text) { SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }
    std::wstring Text() const {
        const auto n = static_cast<std::size_t>(SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0));
        std::wstring s(n + 1, L'\0');
        s.resize(static_cast<std::size_t>(SendMessageW(box_, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()))));
        return s;
    }
    std::string Gbk() const {
        const std::string* t = TextBoxText(box_);
        return t ? *t : "<not a text box>";
    }
    Sel GetSel() const {
        DWORD s = 0, e = 0;
        SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        return {s, e};
    }
    void Select(int start, int end) { SendMessageW(box_, EM_SETSEL, start, end); }
    void Type(const std::wstring& chars) {
        for (wchar_t ch : chars) SendMessageW(box_, WM_CHAR, ch, 1);
    }
    void Key(UINT vk, int mods = kNone) {
        Modifiers m((mods & kShift) != 0, (mods & kCtrl) != 0);
        SendMessageW(box_, WM_KEYDOWN, vk, 1);
    }
    int Changes() const {
        int n = 0;
        for (WORD c : g_notes) n += c == EN_CHANGE;
        return n;
    }
    int Lines() const { return static_cast<int>(SendMessageW(box_, EM_GETLINECOUNT, 0, 0)); }
    int FirstVisible() const { return static_cast<int>(SendMessageW(box_, EM_GETFIRSTVISIBLELINE, 0, 0)); }
    int LineIndex(int line) const { return static_cast<int>(SendMessageW(box_, EM_LINEINDEX, line, 0)); }
    int LineFromChar(int index) const { return static_cast<int>(SendMessageW(box_, EM_LINEFROMCHAR, index, 0)); }
    POINT PosOf(int index) const {
        const LRESULT r = SendMessageW(box_, EM_POSFROMCHAR, index, 0);
        return {static_cast<short>(LOWORD(r)), static_cast<short>(HIWORD(r))};
    }
    int LineHeight() const { return lineHeight_; }
    int VisibleLines() {
        RECT r{};
        SendMessageW(box_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
        return (r.bottom - r.top) / LineHeight();
    }
    // A point inside the character at index, nearer its left edge.
    LPARAM PointAt(int index, int dx = 1) const {
        const POINT p = PosOf(index);
        return MAKELPARAM(p.x + dx, p.y + 3);
    }
    int GetCaretPos_() const {
        POINT p{};
        GetCaretPos(&p);
        return p.x;
    }
    void Click(int index, WPARAM keys = 0) {
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON | keys, PointAt(index));
        SendMessageW(box_, WM_LBUTTONUP, keys, PointAt(index));
    }

    static HWND host_;
    HWND box_ = nullptr;
    int lineHeight_ = 0;
};
HWND TextBoxTest::host_ = nullptr;

std::wstring JoinLines(int count, const wchar_t* line) {
    std::wstring s;
    for (int i = 0; i < count; ++i) {
        if (i) s += L"\r\n";
        s += line;
    }
    return s;
}

// --- Text in and out ---

TEST_F(TextBoxTest, TextRoundTripsAsUtf16OutsideAndGbkInside) {
    struct Case {
        std::wstring in;
        std::wstring out;   // what WM_GETTEXT gives back
        std::string gbk;    // what the box holds
    } cases[] = {
        {L"", L"", ""},
        {L"砚舟", L"砚舟", "砚舟"},
        {L"词语\r\nab c\r\n", L"词语\r\nab c\r\n", "词语\r\nab c\r\n"},
        {L"a\tb", L"a\tb", "a\tb"},
        {L"\u661E", L"\u661E", "\x95\x5C"},   // trail byte 0x5C, not a backslash
        {L"a\u0E01b", L"a?b", "a?b"},         // no GBK spelling
        // One '?' per UTF-16 unit, as every other text of the program
        // (ui::GbkFromWide): positions computed on the text given stay right.
        {L"x\U0001F600y", L"x??y", "x??y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.gbk));
        Set(c.in);
        EXPECT_EQ(Gbk(), c.gbk);
        EXPECT_EQ(Text(), c.out);
        EXPECT_EQ(SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(c.out.size()));
        EXPECT_EQ(GetWindowTextLengthW(box_), static_cast<int>(c.out.size()));
    }
    EXPECT_EQ(Changes(), 0) << "WM_SETTEXT is no user change";

    // A short buffer takes what fits, ended by a zero.
    Set(L"砚舟词语");
    wchar_t buf[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(SendMessageW(box_, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buf)), 2);
    EXPECT_EQ(std::wstring(buf), L"砚舟");
    EXPECT_EQ(SendMessageW(box_, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buf)), 0);
    // Set straight as GBK bytes, also a lone lead byte at the end.
    ASSERT_TRUE(SetTextBoxText(box_, "ab\xD1"));
    EXPECT_EQ(Gbk(), "ab\xD1");
    EXPECT_EQ(Text().substr(0, 2), L"ab");
    EXPECT_EQ(Changes(), 0);
    // A window of another class is no text box.
    EXPECT_EQ(TextBoxText(host_), nullptr);
    EXPECT_FALSE(SetTextBoxText(host_, "x"));
    // The window title given at creation is the first text.
    HWND titled = CreateWindowExW(0, kTextBoxClass, L"砚\r\n舟", WS_CHILD, 0, 0, 50, 50, host_, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(titled, nullptr);
    EXPECT_EQ(*TextBoxText(titled), "砚\r\n舟");
    DestroyWindow(titled);
}

// Code page 936 spells the euro sign as the single byte 0x80: the box keeps
// it apart from the character after it, as every conversion of the program
// does, so the text comes back as it went in.
TEST_F(TextBoxTest, EuroSignStandsAloneBeforeAnyCharacter) {
    Set(L"\u20AC" L"a");
    EXPECT_EQ(Gbk(), "\x80" "a");
    EXPECT_EQ(Text(), L"\u20AC" L"a");
    EXPECT_EQ(SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0), 2);
    EXPECT_EQ(WideFromGbk(Gbk()), L"\u20AC" L"a");
    Set(L"");
    Type(L"\u20AC" L"5");
    EXPECT_EQ(Text(), L"\u20AC" L"5");
    Set(L"5\u20AC\r\n\u20AC砚舟");
    EXPECT_EQ(Text(), L"5\u20AC\r\n\u20AC砚舟");
    EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0), 2);
    Select(7, 7);
    Type(std::wstring(1, L'\b'));
    EXPECT_EQ(Text(), L"5\u20AC\r\n\u20AC砚");
}

// Screen readers see an editable text whose value is the box's text.
TEST_F(TextBoxTest, ScreenReadersReadTheTextAsAnEditBox) {
    Set(L"砚舟\r\n词语");
    IAccessible* acc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(box_, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&acc)), S_OK);
    ASSERT_NE(acc, nullptr);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    EXPECT_EQ(acc->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    BSTR value = nullptr;
    EXPECT_EQ(acc->get_accValue(self, &value), S_OK);
    EXPECT_EQ(std::wstring(value ? value : L""), L"砚舟\r\n词语");
    SysFreeString(value);
    acc->Release();
}

TEST_F(TextBoxTest, SelectionPositionsCountUtf16Units) {
    // 砚0 舟1 CR2 LF3 a4 b5 词6 end7
    Set(L"砚舟\r\nab词");
    EXPECT_EQ(GetSel(), Sel(0, 0)) << "WM_SETTEXT puts the caret at the start";
    struct Case {
        int start, end;
        Sel expected;
    } cases[] = {
        {0, 2, {0, 2}},   {1, 6, {1, 6}},   {4, 4, {4, 4}},   {6, 7, {6, 7}},
        {0, -1, {0, 7}},  {5, 1, {1, 5}},   {3, 3, {2, 2}},   // inside CR LF: before it
        {2, 4, {2, 4}},   {5, 100, {5, 7}}, {100, 200, {7, 7}},
    };
    for (const Case& c : cases) {
        Select(c.start, c.end);
        EXPECT_EQ(GetSel(), c.expected) << c.start << "," << c.end;
        const LRESULT packed = SendMessageW(box_, EM_GETSEL, 0, 0);
        EXPECT_EQ(Sel(LOWORD(packed), HIWORD(packed)), c.expected);
    }
    // -1 drops the selection and keeps the caret where it was.
    Select(1, 4);
    Select(-1, 0);
    EXPECT_EQ(GetSel(), Sel(4, 4));
    // With start after end the caret is at `end`: Shift+Left grows to the left.
    Select(5, 1);
    Key(VK_LEFT, kShift);
    EXPECT_EQ(GetSel(), Sel(0, 5));
    EXPECT_EQ(Changes(), 0);
}

TEST_F(TextBoxTest, ReplaceSelRaisesOneChangeAndCanBeUndone) {
    Set(L"砚舟词语");
    EXPECT_FALSE(SendMessageW(box_, EM_CANUNDO, 0, 0));
    EXPECT_FALSE(SendMessageW(box_, EM_GETMODIFY, 0, 0));
    Select(1, 3);
    SendMessageW(box_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"ab\r\n字"));
    EXPECT_EQ(Text(), L"砚ab\r\n字语");
    EXPECT_EQ(Gbk(), "砚ab\r\n字语");
    EXPECT_EQ(GetSel(), Sel(6, 6)) << "caret after the inserted text";
    EXPECT_EQ(Changes(), 1);
    EXPECT_TRUE(SendMessageW(box_, EM_GETMODIFY, 0, 0));
    EXPECT_TRUE(SendMessageW(box_, EM_CANUNDO, 0, 0));

    // Undo puts the old text back and selects it; undoing again redoes.
    for (UINT undo : {static_cast<UINT>(EM_UNDO), static_cast<UINT>(WM_UNDO)}) {
        g_notes.clear();
        EXPECT_TRUE(SendMessageW(box_, undo, 0, 0));
        EXPECT_EQ(Text(), L"砚舟词语");
        EXPECT_EQ(GetSel(), Sel(1, 3));
        EXPECT_EQ(Changes(), 1);
        EXPECT_TRUE(SendMessageW(box_, EM_CANUNDO, 0, 0));
        EXPECT_TRUE(SendMessageW(box_, undo, 0, 0));
        EXPECT_EQ(Text(), L"砚ab\r\n字语");
        EXPECT_EQ(GetSel(), Sel(1, 6));
        EXPECT_EQ(Changes(), 2);
    }

    // Replacing nothing with nothing is no change.
    g_notes.clear();
    Select(2, 2);
    SendMessageW(box_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    EXPECT_EQ(Changes(), 0);
    // An empty text removes the selection.
    Select(0, -1);
    SendMessageW(box_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    EXPECT_EQ(Text(), L"");
    EXPECT_EQ(Changes(), 1);
    // wParam FALSE: no undo.
    SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_EQ(Text(), L"x");
    EXPECT_FALSE(SendMessageW(box_, EM_CANUNDO, 0, 0));
    EXPECT_FALSE(SendMessageW(box_, EM_UNDO, 0, 0));
    EXPECT_EQ(Text(), L"x");
    // WM_SETTEXT empties the undo record and raises nothing.
    g_notes.clear();
    SendMessageW(box_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"y"));
    Set(L"new");
    EXPECT_FALSE(SendMessageW(box_, EM_CANUNDO, 0, 0));
    EXPECT_FALSE(SendMessageW(box_, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(Changes(), 1);
    SendMessageW(box_, EM_SETMODIFY, TRUE, 0);
    EXPECT_TRUE(SendMessageW(box_, EM_GETMODIFY, 0, 0));
}

TEST_F(TextBoxTest, LineMessagesFollowBreaksAndWrapping) {
    struct Case {
        const wchar_t* text;
        int lines;
    } cases[] = {
        {L"", 1}, {L"a", 1}, {L"a\r\nb", 2}, {L"a\r\nb\r\n", 3}, {L"\r\n", 2}, {L"\r\n\r\n", 3}, {L"a\nb", 1},
    };
    for (const Case& c : cases) {
        Set(c.text);
        EXPECT_EQ(Lines(), c.lines) << testing::PrintToString(std::wstring(c.text));
    }

    // Line starts and the line of a character over breaks.
    // 砚0 舟1 CR2 LF3 CR4 LF5 ab6,7 end8
    Set(L"砚舟\r\n\r\nab");
    const int starts[] = {0, 4, 6};
    for (int line = 0; line < 3; ++line) EXPECT_EQ(LineIndex(line), starts[line]) << line;
    EXPECT_EQ(LineIndex(3), -1);
    const int lineOf[] = {0, 0, 0, 0, 1, 1, 2, 2, 2};
    for (int i = 0; i <= 8; ++i) EXPECT_EQ(LineFromChar(i), lineOf[i]) << i;
    Select(7, 7);
    EXPECT_EQ(LineIndex(-1), 6) << "line of the caret";
    EXPECT_EQ(LineFromChar(-1), 2);
    EXPECT_EQ(SendMessageW(box_, EM_LINELENGTH, 0, 0), 2);
    EXPECT_EQ(SendMessageW(box_, EM_LINELENGTH, 4, 0), 0);
    EXPECT_EQ(SendMessageW(box_, EM_LINELENGTH, 7, 0), 2);

    // A long line wraps in a 136-pixel box: Chinese anywhere, words after spaces.
    for (const wchar_t* longLine : {L"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十",
                                    L"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(longLine)));
        Set(std::wstring(longLine) + L"\r\nend");
        const int n = Lines();
        EXPECT_GE(n, 4) << "the long line wraps into three or more lines";
        const int length = static_cast<int>(std::wcslen(longLine));
        int previous = -1;
        for (int line = 0; line + 1 < n; ++line) {
            const int start = LineIndex(line);
            EXPECT_GT(start, previous) << line;
            EXPECT_EQ(LineFromChar(start), line);
            EXPECT_EQ(PosOf(start).x, PosOf(0).x) << "every line starts at the left edge";
            previous = start;
        }
        EXPECT_EQ(LineIndex(n - 1), length + 2) << "the last line is the one after CR LF";
        EXPECT_LT(LineIndex(n - 2), length);
        if (longLine[0] == L'a') {
            // Wrapped after a space: every line but the first begins a word.
            for (int line = 1; line + 1 < n; ++line) EXPECT_EQ(longLine[LineIndex(line) - 1], L' ') << line;
        }
        // The text is unchanged by wrapping.
        EXPECT_EQ(Text(), std::wstring(longLine) + L"\r\nend");
    }
    // A narrower box wraps more, a wider one less.
    Set(L"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
    const int at136 = Lines();
    SetWindowPos(box_, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_LT(Lines(), at136);
    SetWindowPos(box_, nullptr, 0, 0, 70, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(Lines(), at136);
}

TEST_F(TextBoxTest, OtherMessagesAnswerAsAMultiLineEditBox) {
    EXPECT_GE(static_cast<DWORD>(SendMessageW(box_, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
    SendMessageW(box_, EM_SETLIMITTEXT, 0, 0);
    EXPECT_GE(static_cast<DWORD>(SendMessageW(box_, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
    const LRESULT code = SendMessageW(box_, WM_GETDLGCODE, 0, 0);
    for (LRESULT bit : {DLGC_WANTCHARS, DLGC_WANTARROWS, DLGC_HASSETSEL, DLGC_WANTALLKEYS})
        EXPECT_EQ(code & bit, bit) << bit;
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(box_, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    RECT r{};
    SendMessageW(box_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    RECT client;
    GetClientRect(box_, &client);
    EXPECT_GT(r.right - r.left, 80);
    EXPECT_LE(r.right, client.right);
    EXPECT_LE(r.bottom, client.bottom);
    // Focus notifications reach the parent.
    g_notes.clear();
    SetFocus(host_);
    SetFocus(box_);
    ASSERT_EQ(g_notes.size(), 2u);
    EXPECT_EQ(g_notes[0], EN_KILLFOCUS);
    EXPECT_EQ(g_notes[1], EN_SETFOCUS);
    // EM_CHARFROMPOS: character index low, line high.
    Set(L"ab\r\n砚舟");
    const LRESULT hit = SendMessageW(box_, EM_CHARFROMPOS, 0, PointAt(5));
    EXPECT_EQ(LOWORD(hit), 5);
    EXPECT_EQ(HIWORD(hit), 1);
    // WM_CLEAR removes the selection, one change.
    g_notes.clear();
    Select(0, 3);
    SendMessageW(box_, WM_CLEAR, 0, 0);
    EXPECT_EQ(Text(), L"\r\n砚舟") << "the selection ended inside CR LF: it snaps before it";
    EXPECT_EQ(Changes(), 1);
}

// --- Typing ---

TEST_F(TextBoxTest, TypedCharactersEditTheText) {
    struct Case {
        const wchar_t* before;
        int selStart, selEnd;
        std::wstring typed;
        const wchar_t* after;
        Sel sel;
        int changes;
    } cases[] = {
        {L"", 0, 0, L"ab砚", L"ab砚", {3, 3}, 3},
        {L"ab", 1, 1, L"舟", L"a舟b", {2, 2}, 1},
        {L"a砚", 2, 2, L"\b", L"a", {1, 1}, 1},                  // a two-byte character is one step
        {L"a\r\nb", 3, 3, L"\b", L"ab", {1, 1}, 1},              // CR LF is one step
        {L"a\r\n\r\nb", 5, 5, L"\b\b", L"ab", {1, 1}, 2},
        {L"", 0, 0, L"\b", L"", {0, 0}, 0},                      // nothing before the caret
        {L"砚舟词", 0, 2, L"\b", L"词", {0, 0}, 1},              // the selection goes
        {L"ab", 1, 1, L"\r", L"a\r\nb", {3, 3}, 1},              // Enter gives CR LF
        {L"ab", 2, 2, L"\n", L"ab\r\n", {4, 4}, 1},
        {L"ab", 1, 1, L"\t", L"a\tb", {2, 2}, 1},
        {L"砚舟\r\n词", 1, 1, std::wstring(1, 0x01) + L"x", L"x", {1, 1}, 1},   // Ctrl+A selects all
        {L"ab", 1, 1, std::wstring{0x02, 0x1B, 0x7F, 0x1F, 0x00}, L"ab", {1, 1}, 0},   // control characters
        {L"ab", 2, 2, L"\xDE00", L"ab", {2, 2}, 0},             // a lone low half
        {L"ab", 2, 2, L"\x0E01", L"ab?", {3, 3}, 1},
        {L"ab", 0, 2, L"\u00e9", L"\u00e9", {1, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.before)) + " + " + testing::PrintToString(c.typed));
        Set(c.before);
        Select(c.selStart, c.selEnd);
        g_notes.clear();
        Type(c.typed);
        EXPECT_EQ(Text(), c.after);
        EXPECT_EQ(GetSel(), c.sel);
        EXPECT_EQ(Changes(), c.changes);
    }
    // GBK inside after typing.
    Set(L"");
    Type(L"砚\r舟");
    EXPECT_EQ(Gbk(), "砚\r\n舟");
}

// A character beyond the first plane, typed as two halves, is one '?'.
TEST_F(TextBoxTest, TypedSurrogatePairIsOneQuestionMark) {
    Set(L"ab");
    Select(2, 2);
    Type(L"\xD83D\xDE00");
    EXPECT_EQ(Text(), L"ab?");
    EXPECT_EQ(GetSel(), Sel(3, 3));
    EXPECT_EQ(Changes(), 1);
}

TEST_F(TextBoxTest, CtrlZUndoesTypingAndRedoes) {
    Set(L"词");
    Select(1, 1);
    Type(L"砚舟");
    EXPECT_EQ(Text(), L"词砚舟");
    g_notes.clear();
    Type(std::wstring(1, 0x1A));
    EXPECT_EQ(Text(), L"词") << "typing on is one undo step";
    EXPECT_EQ(Changes(), 1);
    Type(std::wstring(1, 0x1A));
    EXPECT_EQ(Text(), L"词砚舟");
    EXPECT_EQ(GetSel(), Sel(1, 3));
    // Backspacing on is one step too.
    Select(3, 3);
    Type(L"\b\b");
    EXPECT_EQ(Text(), L"词");
    Type(std::wstring(1, 0x1A));
    EXPECT_EQ(Text(), L"词砚舟");
    // Nothing to undo after WM_SETTEXT: no change.
    Set(L"x");
    g_notes.clear();
    Type(std::wstring(1, 0x1A));
    EXPECT_EQ(Text(), L"x");
    EXPECT_EQ(Changes(), 0);
}

TEST_F(TextBoxTest, ManyTypedLinesKeepTheCaretInView) {
    const int visible = VisibleLines();
    ASSERT_GT(visible, 3);
    Set(L"");
    for (int i = 0; i < 3 * visible; ++i) Type(L"行\r");
    Type(L"end");
    const int caretLine = LineFromChar(-1);
    EXPECT_EQ(caretLine, 3 * visible);
    const int first = FirstVisible();
    EXPECT_GT(first, 0);
    EXPECT_LE(first, caretLine);
    EXPECT_LT(caretLine, first + visible) << "first visible " << first << ", " << visible << " lines shown";
    EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0), 3 * visible + 1);
    // The caret at the top brings the first line back into view.
    Key(VK_HOME, kCtrl);
    EXPECT_EQ(FirstVisible(), 0);
    Key(VK_END, kCtrl);
    EXPECT_EQ(FirstVisible(), first);
    // The scroll bar follows.
    EXPECT_EQ(GetScrollPos(box_, SB_VERT), first);
}

// --- Keys ---

TEST_F(TextBoxTest, ArrowHomeEndMoveOverCharactersAndBreaks) {
    // a0 b1 砚2 舟3 CR4 LF5 c6 d7 词8 CR9 LF10 CR11 LF12 x13 y14 z15 end16
    const std::wstring text = L"ab砚舟\r\ncd词\r\n\r\nxyz";
    struct Case {
        int start, end;   // EM_SETSEL before the key
        UINT key;
        int mods;
        Sel expected;
    } cases[] = {
        {8, 8, VK_HOME, kNone, {6, 6}},        {6, 6, VK_END, kNone, {9, 9}},
        {0, 0, VK_END, kNone, {4, 4}},         {11, 11, VK_HOME, kNone, {11, 11}},
        {6, 6, VK_LEFT, kNone, {4, 4}},        {4, 4, VK_RIGHT, kNone, {6, 6}},
        {3, 3, VK_LEFT, kNone, {2, 2}},        {2, 2, VK_RIGHT, kNone, {3, 3}},
        {13, 13, VK_LEFT, kNone, {11, 11}},    {0, 0, VK_LEFT, kNone, {0, 0}},
        {16, 16, VK_RIGHT, kNone, {16, 16}},   {8, 8, VK_HOME, kCtrl, {0, 0}},
        {8, 8, VK_END, kCtrl, {16, 16}},       {2, 4, VK_LEFT, kNone, {2, 2}},
        {2, 4, VK_RIGHT, kNone, {4, 4}},       {2, 2, VK_RIGHT, kShift, {2, 3}},
        {6, 6, VK_LEFT, kShift, {4, 6}},       {6, 6, VK_END, kShift, {6, 9}},
        {8, 8, VK_HOME, kShift, {6, 8}},       {7, 7, VK_END, kShiftCtrl, {7, 16}},
        {7, 7, VK_HOME, kShiftCtrl, {0, 7}},   {13, 13, VK_UP, kNone, {11, 11}},
        {13, 13, VK_UP, kShift, {11, 13}},     {0, 0, VK_UP, kNone, {0, 0}},
        {11, 11, VK_DOWN, kNone, {13, 13}},
    };
    for (const Case& c : cases) {
        Set(text);
        Select(c.start, c.end);
        Key(c.key, c.mods);
        EXPECT_EQ(GetSel(), c.expected) << "from " << c.start << "," << c.end << " key " << c.key << " mods "
                                        << c.mods;
    }
    // Shift+Right twice from the middle of a selection made with the keys.
    Set(text);
    Select(2, 2);
    Key(VK_RIGHT, kShift);
    Key(VK_RIGHT, kShift);
    Key(VK_RIGHT, kShift);
    EXPECT_EQ(GetSel(), Sel(2, 6)) << "over the CR LF in one step";
    Key(VK_LEFT, kShift);
    EXPECT_EQ(GetSel(), Sel(2, 4));
    // Ctrl+Left and Ctrl+Right go by words.
    Set(L"one two  three");
    Select(0, 0);
    Key(VK_RIGHT, kCtrl);
    EXPECT_EQ(GetSel(), Sel(4, 4));
    Key(VK_RIGHT, kCtrl);
    EXPECT_EQ(GetSel(), Sel(9, 9));
    Key(VK_LEFT, kCtrl);
    EXPECT_EQ(GetSel(), Sel(4, 4));
    EXPECT_EQ(Changes(), 0) << "moving the caret is no change";
}

TEST_F(TextBoxTest, UpAndDownKeepTheColumn) {
    // Characters of one width: the column is a character count.
    Set(L"一二三四\r\n一\r\n一二三四\r\n一二三四五六");
    Select(3, 3);
    Key(VK_DOWN);
    EXPECT_EQ(GetSel(), Sel(7, 7)) << "end of the short line";
    Key(VK_DOWN);
    EXPECT_EQ(GetSel(), Sel(12, 12)) << "back in the column it came from";
    Key(VK_DOWN);
    EXPECT_EQ(GetSel(), Sel(18, 18));
    Key(VK_DOWN);
    EXPECT_EQ(GetSel(), Sel(18, 18)) << "no line below";
    Key(VK_UP);
    Key(VK_UP);
    EXPECT_EQ(GetSel(), Sel(7, 7));
    Key(VK_UP);
    EXPECT_EQ(GetSel(), Sel(3, 3));
    // Shift+Down extends from the anchor.
    Select(1, 1);
    Key(VK_DOWN, kShift);
    Key(VK_DOWN, kShift);
    EXPECT_EQ(GetSel(), Sel(1, 10));
    // Through a wrapped line too: the next visual line.
    Set(L"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
    ASSERT_GE(Lines(), 3);
    const int second = LineIndex(1);
    Select(1, 1);
    Key(VK_DOWN);
    EXPECT_EQ(GetSel(), Sel(second + 1, second + 1));
    Key(VK_UP);
    EXPECT_EQ(GetSel(), Sel(1, 1));
}

TEST_F(TextBoxTest, HomeEndAndPageKeysOnWrappedAndLongTexts) {
    // On a wrapped line End stays at the end of that visual line, and Home
    // and Shift+Home work from there on the same line.
    Set(L"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
    ASSERT_GE(Lines(), 3);
    const int second = LineIndex(1), third = LineIndex(2);
    Select(1, 1);
    Key(VK_END);
    EXPECT_EQ(GetSel(), Sel(second, second));
    EXPECT_EQ(GetCaretPos_(), PosOf(second - 1).x + (PosOf(1).x - PosOf(0).x)) << "drawn at the end of line 0";
    {
        POINT caret{};
        GetCaretPos(&caret);
        EXPECT_EQ(caret.y, PosOf(0).y);
    }
    Key(VK_HOME, kShift);
    EXPECT_EQ(GetSel(), Sel(0, second));
    // A click right of the upper line's end puts the caret there too.
    SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(125, PosOf(0).y + 3));
    SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(125, PosOf(0).y + 3));
    EXPECT_EQ(GetSel(), Sel(second, second));
    {
        POINT caret{};
        GetCaretPos(&caret);
        EXPECT_EQ(caret.y, PosOf(0).y);
    }
    Select(second + 1, second + 1);
    Key(VK_HOME);
    EXPECT_EQ(GetSel(), Sel(second, second));
    Key(VK_END);
    EXPECT_EQ(GetSel(), Sel(third, third));
    // Typing at the end of a visual line goes there.
    const std::wstring before = Text();
    Select(1, 1);
    Key(VK_END);
    Type(L"x");
    EXPECT_EQ(Text(), before.substr(0, static_cast<std::size_t>(second)) + L"x" +
                          before.substr(static_cast<std::size_t>(second)));
    g_notes.clear();

    // Page Down and Page Up move the view and the caret by a page.
    const int visible = VisibleLines();
    Set(JoinLines(100, L"行"));
    Key(VK_NEXT);
    EXPECT_EQ(FirstVisible(), visible);
    EXPECT_EQ(LineFromChar(-1), visible);
    Key(VK_NEXT, kShift);
    EXPECT_EQ(FirstVisible(), 2 * visible);
    EXPECT_EQ(GetSel(), Sel(static_cast<DWORD>(LineIndex(visible)), static_cast<DWORD>(LineIndex(2 * visible))));
    Key(VK_PRIOR);
    EXPECT_EQ(FirstVisible(), visible);
    EXPECT_EQ(LineFromChar(-1), visible);
    for (int i = 0; i < 20; ++i) Key(VK_NEXT);
    EXPECT_EQ(LineFromChar(-1), 99);
    EXPECT_EQ(FirstVisible(), 100 - visible);
    for (int i = 0; i < 20; ++i) Key(VK_PRIOR);
    EXPECT_EQ(GetSel(), Sel(0, 0));
    EXPECT_EQ(FirstVisible(), 0);
    EXPECT_EQ(Changes(), 0);
}

TEST_F(TextBoxTest, CaretIsDrawnAtTheCaretAndFollowsScrolling) {
    ASSERT_EQ(GetFocus(), box_);
    Set(JoinLines(50, L"砚舟词"));
    const int lh = LineHeight();
    struct Case {
        int index;
    } cases[] = {{0}, {1}, {3}, {5}, {11}};
    for (const Case& c : cases) {
        Select(c.index, c.index);
        POINT caret{};
        GetCaretPos(&caret);
        const POINT at = PosOf(c.index);
        EXPECT_EQ(caret.x, at.x) << c.index;
        EXPECT_EQ(caret.y, at.y) << c.index;
    }
    // Typed text moves it on.
    Select(0, 0);
    Type(L"词");
    POINT caret{};
    GetCaretPos(&caret);
    EXPECT_EQ(caret.x, PosOf(1).x);
    // Scrolled by the wheel: it moves with its line.
    const int line5 = LineIndex(5);
    Select(line5, line5);
    const POINT before = PosOf(line5);
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    GetCaretPos(&caret);
    EXPECT_EQ(caret.y, before.y - 2 * lh);
    EXPECT_EQ(PosOf(line5).y, before.y - 2 * lh);
    // Scrolled out of view: not drawn inside the box.
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    GetCaretPos(&caret);
    RECT client;
    GetClientRect(box_, &client);
    EXPECT_FALSE(caret.y >= 0 && caret.y < client.bottom && caret.x >= 0 && caret.x < client.right)
        << caret.x << "," << caret.y;
}

TEST_F(TextBoxTest, DraggingPastTheBottomScrollsAndSelects) {
    Set(JoinLines(60, L"行"));
    RECT client;
    GetClientRect(box_, &client);
    SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(3));
    SendMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, client.bottom + 10));
    const DWORD start = GetTickCount();
    while (FirstVisible() < 10 && GetTickCount() - start < 5000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    const int scrolled = FirstVisible();
    EXPECT_GE(scrolled, 10) << "the view scrolls on while the mouse is held below";
    const Sel s = GetSel();
    EXPECT_EQ(s.first, 3u);
    EXPECT_GE(LineFromChar(static_cast<int>(s.second)), scrolled) << "the selection follows the view";
    SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(20, client.bottom + 10));
    // Released: no more scrolling.
    const int stopped = FirstVisible();
    const DWORD wait = GetTickCount();
    while (GetTickCount() - wait < 300) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ(FirstVisible(), stopped);
    EXPECT_EQ(Changes(), 0);
}

TEST_F(TextBoxTest, ViewStaysWithinTheTextWhenItShrinks) {
    const int visible = VisibleLines();
    Set(JoinLines(100, L"行"));
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    ASSERT_EQ(FirstVisible(), 100 - visible);
    // A taller box shows more lines from the same end.
    SetWindowPos(box_, nullptr, 0, 0, 136, 260, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(FirstVisible(), 100 - VisibleLines());
    SetWindowPos(box_, nullptr, 0, 0, 136, 200, SWP_NOMOVE | SWP_NOZORDER);
    // Most of the text deleted by the user: the view comes back.
    Key(VK_END, kCtrl);
    Select(1, -1);
    Type(L"\b");
    EXPECT_EQ(Lines(), 1);
    EXPECT_EQ(FirstVisible(), 0);
    // A new text starts at its top.
    Set(JoinLines(100, L"行"));
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    Set(JoinLines(100, L"字"));
    EXPECT_EQ(FirstVisible(), 0);
    EXPECT_EQ(GetScrollPos(box_, SB_VERT), 0);
    EXPECT_EQ(GetSel(), Sel(0, 0));
}

TEST_F(TextBoxTest, DoubleClickOnBreaksAndBlanks) {
    // a0 b1 CR2 LF3 CR4 LF5 c6 d7 space8 space9 e10
    Set(L"ab\r\n\r\ncd  e");
    struct Case {
        LPARAM at;
        Sel expected;
    } cases[] = {
        {MAKELPARAM(120, PosOf(0).y + 3), {0, 2}},   // right of a line's end: its last word
        {PointAt(4), {4, 4}},                        // an empty line: nothing
        {PointAt(8), {8, 10}},                       // a run of blanks
    };
    for (const Case& c : cases) {
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, c.at);
        SendMessageW(box_, WM_LBUTTONUP, 0, c.at);
        SendMessageW(box_, WM_LBUTTONDBLCLK, MK_LBUTTON, c.at);
        SendMessageW(box_, WM_LBUTTONUP, 0, c.at);
        EXPECT_EQ(GetSel(), c.expected) << LOWORD(c.at) << "," << HIWORD(c.at);
    }
}

TEST_F(TextBoxTest, InputMethodCharactersAreTyped) {
    Set(L"a");
    Select(1, 1);
    // A composed result reaches the box as WM_IME_CHAR, which the default
    // handling turns into WM_CHAR.
    SendMessageW(box_, WM_IME_CHAR, L'砚', 1);
    SendMessageW(box_, WM_IME_CHAR, L'舟', 1);
    Pump();
    EXPECT_EQ(Text(), L"a砚舟");
    EXPECT_EQ(Gbk(), "a砚舟");
    EXPECT_EQ(Changes(), 2);
}

TEST_F(TextBoxTest, DeleteKeysAndClipboardKeys) {
    struct Case {
        const wchar_t* before;
        int start, end;
        const wchar_t* after;
        Sel sel;
        int changes;
    } cases[] = {
        {L"砚舟词", 1, 1, L"砚词", {1, 1}, 1},
        {L"a\r\nb", 1, 1, L"ab", {1, 1}, 1},
        {L"ab", 2, 2, L"ab", {2, 2}, 0},
        {L"砚舟词语", 1, 3, L"砚语", {1, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.before)));
        Set(c.before);
        Select(c.start, c.end);
        g_notes.clear();
        Key(VK_DELETE);
        EXPECT_EQ(Text(), c.after);
        EXPECT_EQ(GetSel(), c.sel);
        EXPECT_EQ(Changes(), c.changes);
    }

    Set(L"砚舟\r\n词语");
    // Ctrl+Insert copies and changes nothing.
    PutClipboard(host_, L"old");
    Select(1, 5);
    g_notes.clear();
    Key(VK_INSERT, kCtrl);
    EXPECT_EQ(ClipboardText(host_), L"舟\r\n词");
    EXPECT_EQ(Changes(), 0);
    // Shift+Delete cuts.
    Key(VK_DELETE, kShift);
    EXPECT_EQ(Text(), L"砚语");
    EXPECT_EQ(ClipboardText(host_), L"舟\r\n词");
    EXPECT_EQ(Changes(), 1);
    // Shift+Insert pastes at the caret.
    Select(2, 2);
    Key(VK_INSERT, kShift);
    EXPECT_EQ(Text(), L"砚语舟\r\n词");
    EXPECT_EQ(GetSel(), Sel(6, 6));
    EXPECT_EQ(Changes(), 2);
    // Insert alone does nothing.
    Key(VK_INSERT);
    EXPECT_EQ(Text(), L"砚语舟\r\n词");
}

// --- Clipboard messages ---

TEST_F(TextBoxTest, CopyCutPasteCarryChineseThroughUnicodeText) {
    Set(L"砚舟\r\n词语 ab");
    // Nothing selected: copy and cut leave the clipboard alone.
    PutClipboard(host_, L"keep");
    Select(2, 2);
    SendMessageW(box_, WM_COPY, 0, 0);
    SendMessageW(box_, WM_CUT, 0, 0);
    EXPECT_EQ(ClipboardText(host_), L"keep");
    EXPECT_EQ(Text(), L"砚舟\r\n词语 ab");
    EXPECT_EQ(Changes(), 0);

    Select(1, 6);
    SendMessageW(box_, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(host_), L"舟\r\n词语");
    EXPECT_EQ(Changes(), 0);
    SendMessageW(box_, WM_CUT, 0, 0);
    EXPECT_EQ(ClipboardText(host_), L"舟\r\n词语");
    EXPECT_EQ(Text(), L"砚 ab");
    EXPECT_EQ(Changes(), 1);
    // Paste replaces the selection and leaves the caret after it.
    Select(1, 2);
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), L"砚舟\r\n词语ab");
    EXPECT_EQ(GetSel(), Sel(6, 6));
    EXPECT_EQ(Gbk(), "砚舟\r\n词语ab");
    EXPECT_EQ(Changes(), 2);
    // A paste is one undo step.
    SendMessageW(box_, EM_UNDO, 0, 0);
    EXPECT_EQ(Text(), L"砚 ab");

    // Text from elsewhere: characters without GBK spelling become '?'.
    PutClipboard(host_, L"\u0E01字\U0001F600");
    Select(0, -1);
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), L"?字??");
    // An empty clipboard text removes the selection, no text at all changes nothing.
    PutClipboard(host_, L"");
    Select(0, 1);
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), L"字??");
    ASSERT_TRUE(OpenClipboardSoon(host_));
    EmptyClipboard();
    CloseClipboard();
    g_notes.clear();
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), L"字??");
    EXPECT_EQ(Changes(), 0);
    // Ctrl+C, Ctrl+X and Ctrl+V as characters.
    Set(L"砚舟词");
    Select(0, 1);
    Type(std::wstring(1, 0x03));
    EXPECT_EQ(ClipboardText(host_), L"砚");
    Select(1, 2);
    Type(std::wstring(1, 0x18));
    EXPECT_EQ(Text(), L"砚词");
    EXPECT_EQ(ClipboardText(host_), L"舟");
    Select(0, 0);
    Type(std::wstring(1, 0x16));
    EXPECT_EQ(Text(), L"舟砚词");
}

// The context menu, driven by its mnemonic keys: a key posted before the
// menu opens is read by the menu's own loop. A timer closes a menu that
// stays open (a grayed item's key does nothing).
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

TEST_F(TextBoxTest, ContextMenuCommands) {
    auto menu = [&](wchar_t key) {
        PostMessageW(box_, WM_CHAR, key, 1);
        const UINT_PTR timer = SetTimer(nullptr, 0, 1500, CloseMenu);
        RECT r;
        GetWindowRect(box_, &r);
        SendMessageW(box_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box_), MAKELPARAM(r.left + 20, r.top + 20));
        KillTimer(nullptr, timer);
        Pump();
    };
    Set(L"砚舟词语");
    Select(1, 3);
    menu(L'c');   // 复制(&C)
    EXPECT_EQ(ClipboardText(host_), L"舟词");
    EXPECT_EQ(Text(), L"砚舟词语");
    menu(L't');   // 剪切(&T)
    EXPECT_EQ(Text(), L"砚语");
    EXPECT_EQ(ClipboardText(host_), L"舟词");
    Select(2, 2);
    menu(L'p');   // 粘贴(&P)
    EXPECT_EQ(Text(), L"砚语舟词");
    menu(L'u');   // 撤消(&U)
    EXPECT_EQ(Text(), L"砚语");
    menu(L'a');   // 全选(&A)
    EXPECT_EQ(GetSel(), Sel(0, 2));
    menu(L'd');   // 删除(&D)
    EXPECT_EQ(Text(), L"");
    // Grayed without a selection: nothing happens.
    Set(L"ab");
    Select(1, 1);
    g_notes.clear();
    menu(L'd');
    menu(L't');
    EXPECT_EQ(Text(), L"ab");
    EXPECT_EQ(Changes(), 0);
}

// --- Mouse ---

TEST_F(TextBoxTest, ClickPutsTheCaretAndShiftClickOrDragSelects) {
    Set(L"砚舟词语\r\nab cd\r\n一二");
    // 砚0 舟1 词2 语3 CR4 LF5 a6 b7 space8 c9 d10 CR11 LF12 一13 二14 end15
    for (int index : {0, 1, 3, 6, 9, 13, 14}) {
        Select(0, 0);
        Click(index);
        EXPECT_EQ(GetSel(), Sel(index, index)) << index;
        EXPECT_EQ(GetFocus(), box_);
    }
    // Just left of a character's right edge: after it.
    {
        const POINT a = PosOf(1), b = PosOf(2);
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.x - 1, a.y + 3));
        SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(b.x - 1, a.y + 3));
        EXPECT_EQ(GetSel(), Sel(2, 2));
    }
    // Right of a line's end: the end of that line; below the text: the last line.
    {
        const POINT p = PosOf(6);
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, p.y + 3));
        SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(120, p.y + 3));
        EXPECT_EQ(GetSel(), Sel(11, 11));
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 180));
        SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(120, 180));
        EXPECT_EQ(GetSel(), Sel(15, 15));
    }
    // Shift+click extends from the anchor, either way.
    Click(2);
    Click(9, MK_SHIFT);
    EXPECT_EQ(GetSel(), Sel(2, 9));
    Click(1, MK_SHIFT);
    EXPECT_EQ(GetSel(), Sel(1, 2));
    // A drag selects from the press to where the mouse is.
    SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(1));
    SendMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, PointAt(7));
    EXPECT_EQ(GetSel(), Sel(1, 7));
    SendMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, PointAt(14));
    EXPECT_EQ(GetSel(), Sel(1, 14));
    SendMessageW(box_, WM_LBUTTONUP, 0, PointAt(14));
    EXPECT_EQ(GetCapture(), nullptr) << "the button up ends the drag";
    // Moving without the button held selects nothing more.
    SendMessageW(box_, WM_MOUSEMOVE, 0, PointAt(3));
    EXPECT_EQ(GetSel(), Sel(1, 14));
    EXPECT_EQ(Changes(), 0);
}

TEST_F(TextBoxTest, DoubleClickSelectsAWord) {
    // a0..e4 space5 w6..d10 space11 砚12 舟13 CR14 LF15 词16 语17
    Set(L"alpha world 砚舟\r\n词语");
    struct Case {
        int at;
        Sel word;
    } cases[] = {{1, {0, 5}}, {8, {6, 11}}, {6, {6, 11}}, {12, {12, 14}}, {13, {12, 14}}, {17, {16, 18}}};
    for (const Case& c : cases) {
        Select(0, 0);
        SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(c.at));
        SendMessageW(box_, WM_LBUTTONUP, 0, PointAt(c.at));
        SendMessageW(box_, WM_LBUTTONDBLCLK, MK_LBUTTON, PointAt(c.at));
        SendMessageW(box_, WM_LBUTTONUP, 0, PointAt(c.at));
        EXPECT_EQ(GetSel(), c.word) << c.at;
    }
}

TEST_F(TextBoxTest, WheelAndScrollBarScroll) {
    const int visible = VisibleLines();
    const int total = 100;
    Set(JoinLines(total, L"行"));
    ASSERT_EQ(Lines(), total);
    ASSERT_EQ(FirstVisible(), 0);
    const int firstY = PosOf(0).y;
    UINT perNotch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    if (perNotch == WHEEL_PAGESCROLL) perNotch = static_cast<UINT>(visible);
    const int maxTop = total - visible;

    SendMessageW(box_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(FirstVisible(), static_cast<int>(perNotch));
    SendMessageW(box_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA)), 0);
    EXPECT_EQ(FirstVisible(), 0);
    SendMessageW(box_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA)), 0);
    EXPECT_EQ(FirstVisible(), 0) << "not above the first line";
    // Half notches add up.
    SendMessageW(box_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 2)), 0);
    EXPECT_EQ(FirstVisible(), 0);
    SendMessageW(box_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 2)), 0);
    EXPECT_EQ(FirstVisible(), static_cast<int>(perNotch));

    struct Case {
        int code;
        int top;
    } cases[] = {
        {SB_TOP, 0},          {SB_LINEDOWN, 1},      {SB_LINEDOWN, 2},        {SB_LINEUP, 1},
        {SB_PAGEDOWN, 1 + visible}, {SB_PAGEUP, 1},  {SB_PAGEUP, 0},          {SB_BOTTOM, maxTop},
        {SB_LINEDOWN, maxTop}, {SB_PAGEDOWN, maxTop}, {SB_TOP, 0},
    };
    for (const Case& c : cases) {
        SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(c.code, 0), 0);
        EXPECT_EQ(FirstVisible(), c.top) << "code " << c.code;
        EXPECT_EQ(GetScrollPos(box_, SB_VERT), c.top) << "code " << c.code;
    }
    // Scrolling leaves text and caret alone.
    EXPECT_EQ(GetSel(), Sel(0, 0));
    SendMessageW(box_, EM_LINESCROLL, 0, 10);
    EXPECT_EQ(FirstVisible(), 10);
    SendMessageW(box_, EM_SCROLLCARET, 0, 0);
    EXPECT_EQ(FirstVisible(), 0);
    EXPECT_EQ(Text(), JoinLines(total, L"行"));
    EXPECT_EQ(Changes(), 0);
    // A click on a scrolled box lands on the line shown there.
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    const POINT top = PosOf(LineIndex(maxTop));
    EXPECT_EQ(top.y, firstY) << "the first visible line is drawn at the top";
    SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(top.x + 1, top.y + 3));
    SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(top.x + 1, top.y + 3));
    EXPECT_EQ(GetSel(), Sel(LineIndex(maxTop), LineIndex(maxTop)));
    EXPECT_EQ(FirstVisible(), maxTop);
}

TEST_F(TextBoxTest, DraggingTheThumbShowsThatPartOfALongText) {
    // More lines than a 16-bit scroll position can say.
    constexpr int kTotal = 300000;
    std::string text;
    for (int i = 0; i < kTotal; ++i) text += i ? "\r\nw" : "w";
    ASSERT_TRUE(SetTextBoxText(box_, text));
    ASSERT_EQ(Lines(), kTotal);
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof sbi;
    ASSERT_TRUE(GetScrollBarInfo(box_, OBJID_VSCROLL, &sbi));
    const int x = (sbi.rcScrollBar.left + sbi.rcScrollBar.right) / 2;
    const POINT thumb{x, sbi.rcScrollBar.top + (sbi.xyThumbTop + sbi.xyThumbBottom) / 2};
    const int trackTop = sbi.rcScrollBar.top + sbi.dxyLineButton;
    const int trackBottom = sbi.rcScrollBar.bottom - sbi.dxyLineButton;
    // The scroll bar's own tracking loop reads the mouse messages posted
    // here, in client coordinates, after the press on the thumb.
    POINT to{x, thumb.y + (trackBottom - trackTop) / 2};
    ScreenToClient(box_, &to);
    PostMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    PostMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    SendMessageW(box_, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(thumb.x, thumb.y));
    Pump();
    const int first = FirstVisible();
    EXPECT_GT(first, kTotal * 3 / 10);
    EXPECT_LT(first, kTotal * 7 / 10);
    EXPECT_EQ(GetScrollPos(box_, SB_VERT), first);
    // What is painted is that part: the line shown at the top is `first`.
    RECT area{};
    SendMessageW(box_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(PosOf(LineIndex(first)).y, area.top);
    EXPECT_EQ(LOWORD(SendMessageW(box_, EM_CHARFROMPOS, 0, MAKELPARAM(3, 3))),
              LOWORD(static_cast<DWORD>(LineIndex(first))));
}

// --- Painting ---

struct Shot {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;   // 0x00RRGGBB
    int Count(bool (*match)(DWORD, COLORREF), COLORREF ref, RECT area) const {
        int n = 0;
        for (int y = std::max<LONG>(0, area.top); y < std::min<LONG>(height, area.bottom); ++y)
            for (int x = std::max<LONG>(0, area.left); x < std::min<LONG>(width, area.right); ++x)
                n += match(pixels[static_cast<std::size_t>(y) * width + x], ref);
        return n;
    }
};

bool IsDark(DWORD p, COLORREF) { return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 100; }
bool IsColour(DWORD p, COLORREF c) {
    return p == ((static_cast<DWORD>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

// The box's client area as it paints it, through WM_PRINTCLIENT.
Shot PrintClient(HWND box) {
    Shot shot;
    RECT r;
    GetClientRect(box, &r);
    shot.width = r.right;
    shot.height = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = shot.width;
    bi.bmiHeader.biHeight = -shot.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    shot.pixels.assign(p, p + static_cast<std::size_t>(shot.width) * shot.height);
    for (DWORD& px : shot.pixels) px &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    ReleaseDC(nullptr, screen);
    return shot;
}

TEST_F(TextBoxTest, PaintsTextAndTheSelectionOnlyWithFocus) {
    const int lh = LineHeight();
    ASSERT_GT(lh, 5);
    RECT client;
    GetClientRect(box_, &client);
    const RECT firstLine{0, 0, client.right, 1 + lh};
    const RECT thirdLine{0, 1 + 2 * lh, client.right, 1 + 3 * lh};
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);

    Set(L"");
    EXPECT_EQ(PrintClient(box_).Count(IsDark, 0, client), 0) << "an empty box is blank";
    Set(L"砚舟词语\r\n\r\nab");
    Shot shot = PrintClient(box_);
    EXPECT_GT(shot.Count(IsDark, 0, firstLine), 20) << "the first line shows its characters";
    EXPECT_EQ(shot.Count(IsDark, 0, RECT{0, 1 + lh, client.right, 1 + 2 * lh}), 0) << "the empty line is blank";
    EXPECT_GT(shot.Count(IsDark, 0, thirdLine), 5);
    EXPECT_EQ(shot.Count(IsColour, highlight, client), 0);

    // On screen too, through WM_PAINT.
    InvalidateRect(box_, nullptr, TRUE);
    UpdateWindow(box_);
    {
        HDC dc = GetDC(box_);
        int dark = 0;
        for (int y = firstLine.top; y < firstLine.bottom; ++y)
            for (int x = 0; x < 80; ++x) dark += IsDark(GetPixel(dc, x, y) & 0xFFFFFF, 0);
        ReleaseDC(box_, dc);
        EXPECT_GT(dark, 20);
    }

    // The selection shows in the highlight colour while the box has the focus.
    SetFocus(box_);
    Select(1, 3);
    shot = PrintClient(box_);
    const POINT a = PosOf(1), b = PosOf(3);
    const int selected = shot.Count(IsColour, highlight, RECT{a.x, a.y, b.x, a.y + lh});
    EXPECT_GT(selected, (b.x - a.x) * lh / 3) << "selected characters on the highlight";
    EXPECT_EQ(shot.Count(IsColour, highlight, RECT{0, 0, a.x, client.bottom}), 0) << "nothing before it";
    EXPECT_EQ(shot.Count(IsColour, highlight, RECT{0, a.y + lh, client.right, client.bottom}), 0);
    // Without the focus it is hidden, and comes back with the focus.
    SetFocus(host_);
    shot = PrintClient(box_);
    EXPECT_EQ(shot.Count(IsColour, highlight, client), 0);
    EXPECT_GT(shot.Count(IsDark, 0, firstLine), 20);
    SetFocus(box_);
    EXPECT_GT(PrintClient(box_).Count(IsColour, highlight, client), 0);
    // Over two lines: the rest of the first, the start of the last.
    Set(L"砚舟词语\r\n一二三四");
    Select(2, 8);
    shot = PrintClient(box_);
    const POINT s0 = PosOf(2), e0 = PosOf(4), e1 = PosOf(8);
    EXPECT_GT(shot.Count(IsColour, highlight, RECT{s0.x, s0.y, e0.x, s0.y + lh}), (e0.x - s0.x) * lh / 3);
    EXPECT_EQ(shot.Count(IsColour, highlight, RECT{0, s0.y, s0.x, s0.y + lh}), 0);
    EXPECT_GT(shot.Count(IsColour, highlight, RECT{PosOf(6).x, e1.y, e1.x, e1.y + lh}), (e1.x - PosOf(6).x) * lh / 3);
    EXPECT_EQ(shot.Count(IsColour, highlight, RECT{e1.x, e1.y, client.right, e1.y + lh}), 0);
    // A scrolled box paints the lines from the first visible one.
    Set(L"\r\n\r\n\r\n\r\n砚舟词语" + JoinLines(40, L"") );
    SendMessageW(box_, EM_LINESCROLL, 0, 4);
    ASSERT_EQ(FirstVisible(), 4);
    EXPECT_GT(PrintClient(box_).Count(IsDark, 0, firstLine), 20);
}

TEST_F(TextBoxTest, DisabledBoxPaintsItsTextGrey) {
    Set(L"砚舟词语");
    const RECT area{0, 0, 200, 200};
    ASSERT_GT(PrintClient(box_).Count(IsDark, 0, area), 20);
    EnableWindow(box_, FALSE);
    const Shot shot = PrintClient(box_);
    EXPECT_EQ(shot.Count(IsDark, 0, area), 0);
    // Still shown: pixels other than the background's.
    const DWORD background = shot.pixels.back();
    int drawn = 0;
    for (DWORD p : shot.pixels) drawn += p != background;
    EXPECT_GT(drawn, 20);
    EnableWindow(box_, TRUE);
    EXPECT_GT(PrintClient(box_).Count(IsDark, 0, area), 20);
}

TEST_F(TextBoxTest, SkinFramesTheBoxLikeAnEditBox) {
    auto corner = [&] {
        RedrawWindow(box_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
        HDC dc = GetWindowDC(box_);
        const COLORREF c = GetPixel(dc, 0, 0);
        ReleaseDC(box_, dc);
        return c;
    };
    Set(L"砚舟");
    SwitchSkin(3);
    EXPECT_EQ(corner(), SkinFrameColour(3));
    SwitchSkin(0);
    EXPECT_NE(corner(), SkinFrameColour(3));
    EXPECT_EQ(Text(), L"砚舟");
}

// --- The column boxes of the main window ---

// Counts the captions a label is given: the change handling of a column
// writes its count label once per run.
WNDPROC g_labelProc = nullptr;
int g_labelWrites = 0;
LRESULT CALLBACK CountingLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) ++g_labelWrites;
    return CallWindowProcW(g_labelProc, hwnd, msg, wp, lp);
}

// One main window for the suite (closing it costs Wine two seconds); each
// test starts with an empty first column.
class TextBoxMainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitRuntime();
        main_ = LoadMainWindow();
    }
    static void TearDownTestSuite() {
        if (IsWindow(main_)) DestroyWindow(main_);
        main_ = nullptr;
        Pump();
    }
    void SetUp() override {
        ASSERT_NE(main_, nullptr);
        SetForegroundWindow(main_);
        Pump();
        box_ = Window(kColumnEdit[1]);
        label_ = Window(kColumnLabel[1]);
        ASSERT_TRUE(IsTextBox(box_));
        ASSERT_NE(label_, nullptr);
        SetText(kColumnEdit[1], "");
        g_labelProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingLabelProc)));
        g_labelWrites = 0;
        SetFocus(box_);
    }
    void TearDown() override {
        if (IsWindow(label_)) SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_labelProc));
        Pump();
    }
    std::wstring Label() const {
        wchar_t buf[64] = {};
        GetWindowTextW(label_, buf, 64);
        return buf;
    }
    void Type(const std::wstring& chars) {
        for (wchar_t ch : chars) SendMessageW(box_, WM_CHAR, ch, 1);
    }
    static HWND main_;
    HWND box_ = nullptr, label_ = nullptr;
};
HWND TextBoxMainWindowTest::main_ = nullptr;

TEST_F(TextBoxMainWindowTest, TypingUpdatesTheCountOncePerCharacter) {
    struct Step {
        wchar_t ch;
        const wchar_t* label;
    } steps[] = {
        {L'a', L"1个"}, {L'\r', L"1个"}, {L'砚', L"2个"}, {L'\r', L"2个"}, {L'\r', L"3个"},
        {L'\b', L"2个"}, {L'\b', L"2个"}, {L'\b', L"1个"}, {0x1A, L"3个"},   // Ctrl+Z: the three backspaces undone
    };
    for (const Step& s : steps) {
        const int before = g_labelWrites;
        Type(std::wstring(1, s.ch));
        EXPECT_EQ(Label(), s.label) << "after " << static_cast<int>(s.ch);
        EXPECT_EQ(g_labelWrites - before, 1) << "after " << static_cast<int>(s.ch);
    }
    EXPECT_EQ(GetText(kColumnEdit[1]), "a\r\n砚\r\n\r\n");
    EXPECT_EQ(Columns().List(1)->MemberCount(), 3);
    // Keys that only move the caret run no change handling.
    g_labelWrites = 0;
    SendMessageW(box_, WM_KEYDOWN, VK_HOME, 1);
    SendMessageW(box_, WM_KEYDOWN, VK_LEFT, 1);
    Type(std::wstring{0x02});
    EXPECT_EQ(g_labelWrites, 0);
    // A paste is one change.
    bool opened = false;
    for (int i = 0; i < 100 && !(opened = OpenClipboard(main_)); ++i) Sleep(10);
    ASSERT_TRUE(opened);
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 16);
    std::memcpy(GlobalLock(mem), L"x\r\ny\r\nz", 16);
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
    SendMessageW(box_, EM_SETSEL, 0, -1);
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(GetText(kColumnEdit[1]), "x\r\ny\r\nz");
    EXPECT_EQ(Label(), L"3个");
    EXPECT_EQ(g_labelWrites, 1);
}

TEST_F(TextBoxMainWindowTest, SetTextRunsTheChangeHandlingOnce) {
    for (const char* text : {"a\r\nb", "a\r\nb", "砚舟\r\n词\r\n语", "", ""}) {
        g_labelWrites = 0;
        SetText(kColumnEdit[1], text);
        EXPECT_EQ(g_labelWrites, 1) << text;
        EXPECT_EQ(GetText(kColumnEdit[1]), text);
        EXPECT_EQ(*TextBoxText(box_), text);
        EXPECT_FALSE(SendMessageW(box_, EM_CANUNDO, 0, 0)) << "a new text has no undo";
    }
    // EM_REPLACESEL from other code is a user change: once too.
    SetText(kColumnEdit[1], "a");
    g_labelWrites = 0;
    SendMessageW(box_, EM_SETSEL, 1, 1);
    SendMessageW(box_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\r\n词"));
    EXPECT_EQ(g_labelWrites, 1);
    EXPECT_EQ(Label(), L"2个");
    EXPECT_EQ(TextLength(kColumnEdit[1]), 4);
}

TEST_F(TextBoxMainWindowTest, MillionLineColumnTakesEditsAnywhere) {
    constexpr int kLines = 1000000;
    std::string text;
    text.reserve(10u * 1000 * 1000);
    std::vector<std::size_t> lineStart;   // byte offset == character index: ASCII only
    lineStart.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        if (i) text += "\r\n";
        lineStart.push_back(text.size());
        text += "w" + std::to_string(1000000 + i);
    }
    ASSERT_GT(text.size(), 9u * 1000 * 1000);
    const DWORD t0 = GetTickCount();
    SetText(kColumnEdit[1], text);
    const DWORD setMs = GetTickCount() - t0;
    EXPECT_EQ(Label(), L"1000000个");
    EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0), kLines);
    EXPECT_EQ(SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(text.size()));

    const DWORD t1 = GetTickCount();
    // At the end: a new line with a word.
    SendMessageW(box_, WM_KEYDOWN, VK_END, 1);   // end of the first line first
    {
        BYTE keys[256], saved[256];
        GetKeyboardState(saved);
        std::memcpy(keys, saved, sizeof keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        SendMessageW(box_, WM_KEYDOWN, VK_END, 1);
        SetKeyboardState(saved);
    }
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    EXPECT_EQ(selStart, text.size());
    EXPECT_EQ(selEnd, text.size());
    EXPECT_EQ(LOWORD(SendMessageW(box_, EM_GETSEL, 0, 0)), 0xFFFF) << "past 65535 the packed answer says 65535";
    Type(L"\rz");
    text += "\r\nz";
    EXPECT_EQ(Label(), L"1000001个");
    const int first = static_cast<int>(SendMessageW(box_, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, kLines - 20) << "the end is shown";
    // In the middle: a break inside a word makes two of it.
    const std::size_t mid = lineStart[kLines / 2] + 3;
    SendMessageW(box_, EM_SETSEL, mid, mid);
    Type(L"\r");
    text.insert(mid, "\r\n");
    EXPECT_EQ(Label(), L"1000002个");
    const int caretLine = static_cast<int>(SendMessageW(box_, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
    EXPECT_EQ(caretLine, kLines / 2 + 1);
    // At the start: an empty first line.
    SendMessageW(box_, EM_SETSEL, 0, 0);
    Type(L"\r");
    text.insert(0, "\r\n");
    EXPECT_EQ(Label(), L"1000003个");
    // Backspace joins it again.
    Type(L"\b");
    text.erase(0, 2);
    EXPECT_EQ(Label(), L"1000002个");
    const DWORD editMs = GetTickCount() - t1;
    EXPECT_TRUE(*TextBoxText(box_) == text) << "the text differs after the edits";
    EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0), kLines + 2);
    EXPECT_EQ(Columns().List(1)->MemberCount(), kLines + 2);
    std::printf("[ info ] 1,000,000 lines: SetText %lu ms, four edits %lu ms\n", static_cast<unsigned long>(setMs),
                static_cast<unsigned long>(editMs));
}

TEST_F(TextBoxMainWindowTest, MillionLinePasteCountsAndUndoes) {
    constexpr int kLines = 1000000;
    std::wstring wide;
    wide.reserve(10u * 1000 * 1000);
    for (int i = 0; i < kLines; ++i) {
        if (i) wide += L"\r\n";
        wide += (i % 2 ? L"词" : L"w") + std::to_wstring(i);
    }
    bool opened = false;
    for (int i = 0; i < 100 && !(opened = OpenClipboard(main_)); ++i) Sleep(10);
    ASSERT_TRUE(opened);
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    ASSERT_NE(mem, nullptr);
    std::memcpy(GlobalLock(mem), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();

    SetText(kColumnEdit[1], "a\r\nb");
    SendMessageW(box_, EM_SETSEL, 1, 1);   // between "a" and its line break
    g_labelWrites = 0;
    SendMessageW(box_, WM_PASTE, 0, 0);
    EXPECT_EQ(g_labelWrites, 1);
    EXPECT_EQ(Label(), L"1000001个") << "the first pasted word joins \"a\"";
    const std::string expected = "a" + GbkFromWide(wide) + "\r\nb";
    EXPECT_TRUE(*TextBoxText(box_) == expected) << "the pasted text is not in place";
    EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0), kLines + 1);
    DWORD caret = 0;
    SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret, 1 + wide.size()) << "the caret after the pasted text";
    // Undone in one step, and done again.
    SendMessageW(box_, EM_UNDO, 0, 0);
    EXPECT_EQ(GetText(kColumnEdit[1]), "a\r\nb");
    EXPECT_EQ(Label(), L"2个");
    SendMessageW(box_, EM_UNDO, 0, 0);
    EXPECT_EQ(Label(), L"1000001个");
    EXPECT_TRUE(*TextBoxText(box_) == expected);
    EXPECT_EQ(g_labelWrites, 3);
}

}  // namespace
