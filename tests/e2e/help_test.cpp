// The help window: opened by a press on the "说明" label, one at a time,
// modeless, counted among the program's windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"
#include "ui/control_table.h"

using namespace yz::e2e;

namespace {

constexpr const char* kLabel = "透明标签_说明";

int HelpWindowCount(const App& app) {
    int n = 0;
    for (HWND w : app.TopLevelWindows()) {
        wchar_t caption[64] = {};
        GetWindowTextW(w, caption, 64);
        if (Gbk(caption) == "说明") ++n;
    }
    return n;
}

HWND OpenHelp(App& app) {
    app.LeftButtonDown(kLabel);
    return app.FindWindowByCaption("说明");
}

// Dark pixels on the screen inside the window's rectangle: the help text is
// black on the button face, so a label that was never drawn has none.
int DarkPixels(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    int dark = 0;
    for (int y = 0; y < height; y += 1)
        for (int x = 0; x < width; x += 1) {
            const COLORREF c = GetPixel(mem, x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++dark;
        }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return dark;
}

// Keys go through the program's message loop to the window that has them.
void PressKey(App& app, HWND window, UINT vk) {
    const LPARAM scan = LPARAM(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    app.Post(window, WM_KEYDOWN, vk, 1 | scan);
    app.Post(window, WM_KEYUP, vk, 1 | scan | (1u << 30) | (1u << 31));
    app.Settle();
}

}  // namespace

TEST(HelpWindow, PressOpensOneCentredWindowWithTheHelpText) {
    App app;
    // Moved main window: the help window is centred on the screen all the same.
    SetWindowPos(app.hwnd(), nullptr, 3, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND help = OpenHelp(app);
    ASSERT_TRUE(help) << "no help window";
    EXPECT_EQ(HelpWindowCount(app), 1);

    RECT r;
    GetWindowRect(help, &r);
    EXPECT_EQ(r.right - r.left, 313);
    EXPECT_EQ(r.bottom - r.top, 229);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 313) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 229) / 2);

    const LONG style = GetWindowLongW(help, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
    EXPECT_EQ(GetWindow(help, GW_OWNER), nullptr) << "no owner";
    EXPECT_TRUE(GetWindowLongW(help, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "its own taskbar button";
    EXPECT_FALSE(GetWindowLongW(help, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowEnabled(app.hwnd())) << "modeless: the main window stays enabled";

    const auto& spec = yz::ui::kHelpControls[0];
    HWND label = app.Control(spec.name, help);
    EXPECT_EQ(app.Text(spec.name, help), spec.caption);
    RECT lr = app.RectInParent(spec.name, help);
    EXPECT_EQ(lr.left, 8);
    EXPECT_EQ(lr.top, 16);
    EXPECT_EQ(lr.right - lr.left, 288);
    EXPECT_EQ(lr.bottom - lr.top, 176);
    // Wrapped and top-aligned: a plain left-aligned static, not a one-line one.
    const LONG labelStyle = GetWindowLongW(label, GWL_STYLE);
    EXPECT_EQ(labelStyle & SS_TYPEMASK, SS_LEFT);
    EXPECT_FALSE(labelStyle & SS_CENTERIMAGE);
    EXPECT_TRUE(GetWindowLongW(label, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    // The text is really drawn when the window first shows (the virtual
    // display has no other window above it).
    EXPECT_TRUE(WaitFor([&] { return DarkPixels(label) > 500; }, 3000)) << "the help text is not drawn";
}

TEST(HelpWindow, SecondPressMakesNoSecondWindowAndRestoresAMinimisedOne) {
    App app;
    HWND help = OpenHelp(app);
    ASSERT_TRUE(help);
    app.LeftButtonDown(kLabel);
    EXPECT_EQ(HelpWindowCount(app), 1);
    EXPECT_EQ(app.FindWindowByCaption("说明"), help) << "the same window, not a new one";

    ShowWindow(help, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(help) != 0; }, 2000));
    app.LeftButtonDown(kLabel);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(help); }, 2000)) << "not restored";
    EXPECT_EQ(HelpWindowCount(app), 1);
}

TEST(HelpWindow, EscClosesItAndLeavesTheMainWindowOtherKeysDoNothing) {
    App app;
    HWND help = OpenHelp(app);
    ASSERT_TRUE(help);
    for (UINT vk : {VK_RETURN, VK_TAB, VK_F1}) {
        PressKey(app, help, vk);
        EXPECT_TRUE(IsWindow(help)) << "key " << vk;
    }
    PressKey(app, help, VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(help); }, 3000)) << "Esc did not close it";
    EXPECT_TRUE(IsWindow(app.hwnd()));
    EXPECT_TRUE(app.Running());

    // Built anew, centred again, although the last one was moved.
    help = OpenHelp(app);
    ASSERT_TRUE(help);
    SetWindowPos(help, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    app.Post(help, WM_CLOSE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(help); }, 3000));
    help = OpenHelp(app);
    ASSERT_TRUE(help);
    RECT r;
    GetWindowRect(help, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 313) / 2);
    EXPECT_TRUE(app.Running());
}

TEST(HelpWindow, MainWindowTakesInputWhileItIsOpen) {
    App app;
    ASSERT_TRUE(OpenHelp(app));
    app.TypeAsUser("编辑框_第一列", "甲\r\n乙");
    EXPECT_EQ(app.Text("标签_第一列"), "2个");
    app.SetText("编辑框_输出条数", "3");
    app.Click("按钮_输出");
    EXPECT_TRUE(WaitFor([&] { return app.ProgressPos() == 3; }, 10000)) << "the run did not finish";
    const std::string result = app.Text("编辑框_结果");
    int lines = 0;
    for (std::size_t at = result.find("\r\n"); at != std::string::npos; at = result.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(HelpWindowCount(app), 1);
}

TEST(HelpWindow, ProgramEndsWhenTheLastOfBothWindowsCloses) {
    App app;
    HWND help = OpenHelp(app);
    ASSERT_TRUE(help);
    app.Close();
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(app.hwnd()); }, 5000)) << "the main window did not close";
    Sleep(300);
    EXPECT_TRUE(app.Running()) << "the program ended with the help window open";
    EXPECT_TRUE(IsWindow(help));
    app.Post(help, WM_CLOSE);
    const auto code = app.WaitExit(10000);
    ASSERT_TRUE(code.has_value()) << "the program did not end";
    EXPECT_EQ(*code, 0u);
}
