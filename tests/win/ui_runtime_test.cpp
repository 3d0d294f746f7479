// The runtime and the main window: controls built from the table, the keys,
// cross-thread property access, the change-event rule of the column boxes,
// the include-box mirror, exit routines and the skin.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/handlers.h"
#include "app/program.h"
#include "columns/column_store.h"
#include "ui/runtime.h"
#include "tests/win/win_test_support.h"

using namespace yz;
using namespace yz::ui;

using yz::test::Pump;
using yz::test::PumpUntil;

namespace {

// Pumps messages until done() or the time is up.
std::wstring WText(HWND h) {
    std::wstring s(GetWindowTextLengthW(h) + 1, L'\0');
    s.resize(GetWindowTextW(h, s.data(), static_cast<int>(s.size())));
    return s;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitRuntime(); }
    void SetUp() override {
        main_ = LoadMainWindow();
        ASSERT_NE(main_, nullptr);
        SetForegroundWindow(main_);
        Pump();
    }
    void TearDown() override {
        if (IsWindow(main_)) DestroyWindow(main_);
        Pump();
    }
    HWND main_ = nullptr;
};

TEST_F(MainWindowTest, EveryRowIsItsWindowAtItsPlace) {
    for (const ControlSpec& c : kMainControls) {
        SCOPED_TRACE(c.id);
        HWND h = Window(c.name);
        if (c.kind == Kind::DropObject) {
            EXPECT_EQ(h, nullptr);
            continue;
        }
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetDlgCtrlID(h), c.id);
        HWND parent = c.parent ? Window(c.parent) : main_;
        EXPECT_EQ(GetParent(h), parent);
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ(r.bottom - r.top, c.height);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(IsWindowEnabled(h));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
        EXPECT_EQ(WText(h), WideFromGbk(c.caption));
    }
}

TEST_F(MainWindowTest, ZOrderIsTableOrder) {
    std::vector<HWND> expected;
    for (const ControlSpec& c : kMainControls)
        if (c.kind != Kind::DropObject && !c.parent) expected.push_back(Window(c.name));
    std::vector<HWND> actual;
    for (HWND h = GetWindow(main_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) actual.push_back(h);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(GetWindow(Window("分组框1"), GW_CHILD), Window("透明标签_说明"));
    // A clear button lies over its column box: a point in the corner hits it.
    HWND box = Window("编辑框_第一列");
    POINT p{140, 265};   // inside both, client coordinates of the window
    EXPECT_EQ(ChildWindowFromPointEx(main_, p, CWP_SKIPINVISIBLE), Window("按钮_清空第一列"));
    (void)box;
}

TEST_F(MainWindowTest, WindowFrameSizeAndPlace) {
    EXPECT_EQ(WText(main_), L"砚舟词语组合器 V1.1");
    RECT r;
    GetWindowRect(main_, &r);
    EXPECT_EQ(r.right - r.left, 525);
    EXPECT_EQ(r.bottom - r.top, 638);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 525) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 638) / 2);
    const LONG style = GetWindowLongW(main_, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(main_, GW_OWNER), nullptr);
    EXPECT_EQ(MainWindow(), main_);
}

TEST_F(MainWindowTest, ControlsStartInTheirInitialState) {
    for (const char* name : {"选择框_第一列", "选择框_第二列", "选择框_第三列", "选择框_第四列", "选择框_去重"})
        EXPECT_EQ(GetChecked(name), std::string_view(name) == "选择框_第一列") << name;
    for (int c = 2; c <= 4; ++c) EXPECT_FALSE(Columns().Snapshot(c).ticked);
    EXPECT_EQ(GetText("编辑框_输出条数"), "0");
    HWND bar = Window("进度条1");
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    EXPECT_TRUE(GetWindowLongW(bar, GWL_STYLE) & PBS_SMOOTH);
    for (const ControlSpec& c : kMainControls) {
        HWND h = Window(c.name);
        const LONG style = h ? GetWindowLongW(h, GWL_STYLE) : 0;
        if (c.kind == Kind::Edit || c.kind == Kind::MultiEdit || c.kind == Kind::TextBox) {
            // No 30,000-character limit.
            EXPECT_GE(static_cast<DWORD>(SendMessageW(h, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu) << c.id;
            EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
            EXPECT_FALSE(style & ES_NOHIDESEL);
            EXPECT_FALSE(style & ES_READONLY);
            EXPECT_EQ((style & ES_MULTILINE) != 0, c.kind != Kind::Edit);
            EXPECT_EQ((style & WS_VSCROLL) != 0, c.kind != Kind::Edit);
            EXPECT_FALSE(style & WS_HSCROLL);
        }
        if (c.kind == Kind::Button) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << c.id;   // never a default button
        }
        if (c.kind == Kind::CheckBox) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX) << c.id;
        }
    }
}

TEST_F(MainWindowTest, CountBoxTakesOnlyDigitsAndMinusWhenTyped) {
    HWND box = Window("编辑框_输出条数");
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 1, 1);
    for (wchar_t ch : std::wstring(L"a1.+-9 x２")) SendMessageW(box, WM_CHAR, ch, 0);
    EXPECT_EQ(WText(box), L"01-9");
    SendMessageW(box, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(WText(box), L"01-");
    // Pasted text is not filtered.
    bool opened = false;
    for (int i = 0; i < 50 && !(opened = OpenClipboard(main_)); ++i) Sleep(20);
    ASSERT_TRUE(opened);
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 8);
    memcpy(GlobalLock(mem), L"ab.", 8);
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
    SendMessageW(box, WM_PASTE, 0, 0);
    EXPECT_EQ(WText(box), L"01-ab.");
}

TEST_F(MainWindowTest, TabCyclesInOrderSkippingDisabledAndWraps) {
    const int n = static_cast<int>(std::size(kMainTabOrder));
    SetFocus(Window(kMainTabOrder[0]));
    ASSERT_EQ(GetFocus(), Window(kMainTabOrder[0]));
    auto press = [&](WPARAM key) {
        MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        return PreTranslateKey(msg);
    };
    for (int i = 1; i <= n; ++i) {
        EXPECT_TRUE(press(VK_TAB));
        EXPECT_EQ(GetFocus(), Window(kMainTabOrder[i % n])) << i;
    }
    EnableWindow(Window("选择框_第一列"), FALSE);
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), Window("编辑框_第二列"));
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), Window("编辑框_第一列"));
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), Window("选择框_去重"));   // wraps backwards
    keys[VK_SHIFT] = 0;
    keys[VK_CONTROL] = 0x80;   // Ctrl+Tab: taken, so no tab character, and no move
    SetKeyboardState(keys);
    SetFocus(Window("编辑框_第一列"));
    EXPECT_TRUE(press(VK_TAB));
    EXPECT_EQ(GetFocus(), Window("编辑框_第一列"));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

TEST_F(MainWindowTest, FocusStartsInFirstColumnAndComesBackOnActivation) {
    SetActiveWindow(main_);
    Pump();
    EXPECT_EQ(GetFocus(), Window("编辑框_第一列"));
    SetFocus(Window("编辑框_结果"));
    HWND other = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    SetActiveWindow(other);
    Pump();
    EXPECT_NE(GetFocus(), Window("编辑框_结果"));
    SetActiveWindow(main_);
    Pump();
    EXPECT_EQ(GetFocus(), Window("编辑框_结果"));
    DestroyWindow(other);
}

TEST_F(MainWindowTest, EnterOnlyInMultiLineBoxesAndEscCloses) {
    struct Case {
        const char* control;
        WPARAM key;
        bool taken;
    } cases[] = {
        {"编辑框_第一列", VK_RETURN, false}, {"编辑框_结果", VK_RETURN, false}, {"编辑框_输出条数", VK_RETURN, true},
        {"按钮_输出", VK_RETURN, true},       {"编辑框_第一列", VK_F1, true},     {"选择框_去重", 'A', false},
    };
    for (const Case& c : cases) {
        MSG msg{Window(c.control), WM_KEYDOWN, c.key, 0, 0, {}};
        EXPECT_EQ(PreTranslateKey(msg), c.taken) << c.control << " " << c.key;
    }
    // Enter in a column box still makes a new line through the real path.
    SetFocus(Window("编辑框_第三列"));
    MSG enter{Window("编辑框_第三列"), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_FALSE(PreTranslateKey(enter));
    SendMessageW(Window("编辑框_第三列"), WM_CHAR, L'\r', 0);
    EXPECT_EQ(GetText("编辑框_第三列"), "\r\n");

    MSG esc{Window("编辑框_第四列"), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;   // Ctrl+Esc is not ours
    SetKeyboardState(keys);
    EXPECT_FALSE(PreTranslateKey(esc));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(PreTranslateKey(esc));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(main_); }));
    EXPECT_EQ(MainWindow(), nullptr);
    EXPECT_EQ(Window("编辑框_第一列"), nullptr);
}

TEST_F(MainWindowTest, WorkerWritesAreCarriedOutOnTheWindowThread) {
    const DWORD windowThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    DWORD ranOn = 0;
    std::string readBack;
    bool ran = false;
    std::thread worker([&] {
        SetText("编辑框_第二列", "a\r\nb");
        SetChecked("选择框_第三列", true);
        SetProgressMax(1000);
        SetProgressPos(250);
        readBack = GetText("编辑框_第二列");
        ran = OnWindowThread([&] { ranOn = GetCurrentThreadId(); });
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, windowThread);
    EXPECT_EQ(readBack, "a\r\nb");
    EXPECT_EQ(WText(Window("标签_第二列")), L"2个");
    EXPECT_EQ(Columns().List(2)->MemberCount(), 2);
    EXPECT_TRUE(Columns().Snapshot(3).ticked);
    EXPECT_EQ(SendMessageW(Window("进度条1"), PBM_GETRANGE, FALSE, 0), 1000);
    EXPECT_EQ(SendMessageW(Window("进度条1"), PBM_GETPOS, 0, 0), 250);

    // Once the window is gone a worker's call does not run.
    DestroyWindow(main_);
    bool ranAfter = true, called = false;
    std::thread late([&] { ranAfter = OnWindowThread([&] { called = true; }); });
    late.join();
    EXPECT_FALSE(ranAfter);
    EXPECT_FALSE(called);
}

// Column change handling through the real bindings.
TEST_F(MainWindowTest, ColumnTextGivesCountLabelAndUntick) {
    struct Case {
        const char* text;
        const wchar_t* label;
        bool ticked;
    } cases[] = {
        {"", L"0个", false},        {"a", L"1个", true},       {"a\r\nb", L"2个", true},
        {"a\r\nb\r\n", L"2个", true}, {"a\r\n\r\nb", L"3个", true}, {"\r\n", L"1个", true},
        {" ", L"1个", true},        {"a\nb", L"1个", true},
    };
    for (const Case& c : cases) {
        SetChecked("选择框_第三列", true);
        SetText("编辑框_第三列", c.text);
        EXPECT_EQ(WText(Window("标签_第三列")), c.label) << c.text;
        EXPECT_EQ(GetChecked("选择框_第三列"), c.ticked) << c.text;
        EXPECT_EQ(Columns().Snapshot(3).ticked, c.ticked) << c.text;
    }
    // Emptying column 1 touches no include box.
    SetText("编辑框_第一列", "");
    EXPECT_TRUE(GetChecked("选择框_第一列"));
    EXPECT_EQ(WText(Window("标签_第一列")), L"0个");
    // A clear button click clears its column and nothing else.
    SetText("编辑框_第四列", "x\r\ny");
    SetText("编辑框_第二列", "q");
    SetChecked("选择框_第四列", true);
    SendMessageW(Window("按钮_清空第四列"), BM_CLICK, 0, 0);
    EXPECT_EQ(GetText("编辑框_第四列"), "");
    EXPECT_EQ(Columns().List(4)->MemberCount(), 0);
    EXPECT_FALSE(Columns().Snapshot(4).ticked);
    EXPECT_EQ(GetText("编辑框_第二列"), "q");
}

TEST_F(MainWindowTest, IncludeBoxStateIsMirroredWhateverChangesIt) {
    HWND box = Window("选择框_第二列");
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_TRUE(Columns().Snapshot(2).ticked);
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_FALSE(Columns().Snapshot(2).ticked);
    SetFocus(box);
    SendMessageW(box, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageW(box, WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_TRUE(GetChecked("选择框_第二列"));
    EXPECT_TRUE(Columns().Snapshot(2).ticked);
    SetChecked("选择框_第二列", false);
    EXPECT_FALSE(Columns().Snapshot(2).ticked);
}

TEST(RuntimeText, GbkRoundTrip) {
    struct Case {
        std::string gbk;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"\xD1\xE2\xD6\xDB", L"砚舟"},
        {"a\r\nb", L"a\r\nb"},
        {"\x95\x5C", L"\u661E"},   // trail byte 0x5C, not a backslash
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WideFromGbk(c.gbk), c.wide);
        EXPECT_EQ(GbkFromWide(c.wide), c.gbk);
    }
    // Characters GBK cannot spell become one byte each, never lost length.
    EXPECT_EQ(GbkFromWide(L"a\u00e9\U0001F600b").front(), 'a');
    EXPECT_EQ(GbkFromWide(L"a\u00e9\U0001F600b").back(), 'b');
}

// Counts the change events of two boxes bound to a counting handler.
int g_changes = 0;
void CountChange() { ++g_changes; }
int g_presses = 0;
void CountPress() { ++g_presses; }

TEST(RuntimeEvents, SystemWriteRaisesChangeOnceAndLabelPressIsDelivered) {
    InitRuntime();
    const EventBinding events[] = {
        {"编辑框_第一列", EventBinding::TextChanged, CountChange},
        {"编辑框_输出条数", EventBinding::TextChanged, CountChange},
        {"透明标签_说明", EventBinding::LeftButtonDown, CountPress},
    };
    HWND w = LoadWindow(kMainWindow, kMainControls, static_cast<int>(std::size(kMainControls)), events,
                        static_cast<int>(std::size(events)), true);
    ASSERT_NE(w, nullptr);
    for (const char* box : {"编辑框_第一列", "编辑框_输出条数"}) {
        for (const char* text : {"abc", "abc", "", ""}) {
            g_changes = 0;
            SetText(box, text);
            EXPECT_EQ(g_changes, 1) << box << " <" << text << ">";
            EXPECT_EQ(GetText(box), text);
        }
        // A user edit raises one event per notification.
        g_changes = 0;
        SendMessageW(Window(box), EM_SETSEL, 0, -1);
        SendMessageW(Window(box), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"12"));
        EXPECT_EQ(g_changes, 1) << box;
    }
    // The transparent label takes the mouse although a static control
    // usually lets it through, and its press raises the event once.
    HWND label = Window("透明标签_说明");
    RECT r;
    GetWindowRect(label, &r);
    EXPECT_EQ(WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}), label);
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_presses, 1);
    DestroyWindow(w);
}

std::string g_order;
void ExitA() { g_order += 'a'; }
void ExitB() { g_order += 'b'; }
void BeforeC() { g_order += 'c'; }

TEST(RuntimeExit, RoutinesRunOnceInRegistrationOrder) {
    RegisterBeforeExit(BeforeC);
    RegisterBeforeExit(BeforeC);
    RegisterExitRoutine(ExitB);
    RegisterExitRoutine(ExitA);
    RegisterExitRoutine(ExitB);
    RunBeforeExitRoutines();
    RunExitRoutines();
    RunBeforeExitRoutines();
    RunExitRoutines();
    EXPECT_EQ(g_order, "cba");
}

COLORREF PixelOf(HWND h, int x, int y, bool window) {
    RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    HDC dc = window ? GetWindowDC(h) : GetDC(h);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(h, dc);
    return c;
}

TEST(RuntimeSkin, CoversWindowsCreatedLaterAndSwitchesOff) {
    SwitchSkin(3);
    HWND top = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 50, 50, 200, 120, nullptr, nullptr, nullptr,
                               nullptr);
    HWND button = CreateWindowExW(0, L"Button", L"x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 60, 30, top,
                                  nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE, 10, 50, 80, 24, top, nullptr,
                                nullptr, nullptr);
    const COLORREF frame = RGB(198, 197, 215);
    EXPECT_EQ(PixelOf(button, 0, 0, false), frame);
    EXPECT_EQ(PixelOf(edit, 0, 0, true), frame);
    SwitchSkin(0);
    EXPECT_EQ(SkinScheme(), 0);
    EXPECT_NE(PixelOf(button, 0, 0, false), frame);
    EXPECT_NE(PixelOf(edit, 0, 0, true), frame);
    SwitchSkin(3);
    EXPECT_EQ(PixelOf(button, 0, 0, false), frame);
    DestroyWindow(top);
}

}  // namespace
