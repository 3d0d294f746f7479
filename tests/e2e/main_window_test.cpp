// The main window as it opens (caption, frame, place, controls, initial
// states) and the keys that the window itself handles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "ui/control_table.h"

using namespace yz::e2e;
using yz::ui::Kind;
using yz::ui::kMainControls;
using yz::ui::kMainTabOrder;

namespace {

std::string Name(const char* gbk) {
    // GoogleTest prints GBK as garbage; messages show names in UTF-8.
    std::wstring w = Wide(gbk);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

TEST(MainWindow, OpensCentredWithAFixedFrame) {
    App app;
    wchar_t caption[256] = {};
    GetWindowTextW(app.hwnd(), caption, 256);
    EXPECT_EQ(Gbk(caption), "砚舟词语组合器 V1.1");

    RECT r;
    GetWindowRect(app.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 525);
    EXPECT_EQ(r.bottom - r.top, 638);
    // Centred on the full screen, not the work area.
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 525) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 638) / 2);

    LONG style = GetWindowLongW(app.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "the window must not be maximisable";
    EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
    EXPECT_FALSE(IsZoomed(app.hwnd()));
    EXPECT_EQ(GetWindow(app.hwnd(), GW_OWNER), nullptr);
    EXPECT_FALSE(GetWindowLongW(app.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(MainWindow, EveryControlHasItsPlaceCaptionAndState) {
    App app;
    for (const auto& c : kMainControls) {
        if (c.kind == Kind::DropObject) continue;  // no window of its own
        SCOPED_TRACE(Name(c.name));
        HWND w = app.Control(c.name);
        HWND parent = c.parent ? app.Control(c.parent) : app.hwnd();
        EXPECT_EQ(GetParent(w), parent);
        RECT r = app.RectInParent(c.name);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ(r.bottom - r.top, c.height);
        EXPECT_TRUE(IsWindowVisible(w));
        EXPECT_TRUE(IsWindowEnabled(w));
        if (c.kind != Kind::ProgressBar) {
            EXPECT_EQ(app.Text(c.name), c.caption);
        }
        if (c.kind == Kind::CheckBox) {
            EXPECT_EQ(app.Checked(c.name), c.checked);
        }
    }
    // Only the first include box is ticked.
    EXPECT_TRUE(app.Checked("选择框_第一列"));
    for (const char* box : {"选择框_第二列", "选择框_第三列", "选择框_第四列", "选择框_去重"})
        EXPECT_FALSE(app.Checked(box)) << Name(box);
    EXPECT_EQ(app.Text("编辑框_输出条数"), "0");
    EXPECT_EQ(app.ProgressPos(), 0);
    EXPECT_EQ(app.ProgressMax(), 100);
}

TEST(MainWindow, EndsWithExitCodeZeroWhenClosed) {
    App app;
    app.Close();
    EXPECT_EQ(app.WaitExit(), 0u);
}

TEST(MainWindow, WorksInItsOwnFolderWhereverItWasStarted) {
    App app;
    EXPECT_EQ(_wcsicmp(app.CurrentDirectory().c_str(), app.Folder().c_str()), 0)
        << Name(Gbk(app.CurrentDirectory()).c_str()) << " vs " << Name(Gbk(app.Folder()).c_str());
}

TEST(MainWindow, EscInAColumnBoxClosesTheWindow) {
    App app;
    app.SetFocus("编辑框_第三列");
    app.TypeChars("编辑框_第三列", L"ab");
    app.KeyDown(VK_ESCAPE);
    EXPECT_EQ(app.WaitExit(), 0u);
}

TEST(MainWindow, TabAndShiftTabCycleThroughTheControls) {
    App app;
    EXPECT_TRUE(WaitFor([&] { return app.Focused() == "编辑框_第一列"; }))
        << "the first column has the focus when the window opens";
    app.SetFocus(kMainTabOrder[0]);
    const size_t n = std::size(kMainTabOrder);
    std::vector<std::string> forward, backward, want_forward, want_backward;
    for (size_t i = 1; i <= n; ++i) {
        app.KeyDown(VK_TAB);
        forward.push_back(Name(app.Focused().c_str()));
        want_forward.push_back(Name(kMainTabOrder[i % n]));
    }
    for (size_t i = 1; i <= n; ++i) {
        app.KeyDown(VK_TAB, kShift);
        backward.push_back(Name(app.Focused().c_str()));
        want_backward.push_back(Name(kMainTabOrder[(n - i) % n]));
    }
    EXPECT_EQ(forward, want_forward);
    EXPECT_EQ(backward, want_backward);
    // Tab moved the focus and typed nothing.
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(app.Text(yz::ui::kColumnEdit[c]), "");
    EXPECT_EQ(app.Text("编辑框_结果"), "");
}

TEST(MainWindow, EnterStartsANewLineInAColumnAndDoesNothingElsewhere) {
    App app;
    app.SetFocus("编辑框_第二列");
    app.TypeChars("编辑框_第二列", L"a");
    app.KeyDown(VK_RETURN);
    app.TypeChars("编辑框_第二列", L"b");
    EXPECT_EQ(app.Text("编辑框_第二列"), "a\r\nb");
    EXPECT_EQ(app.Text("标签_第二列"), "2个");

    // No default button: Enter in the count box does not generate.
    app.SetFocus("编辑框_输出条数");
    app.KeyDown(VK_RETURN);
    EXPECT_TRUE(app.ExpectNoMessageBox(500));
    EXPECT_EQ(app.Text("编辑框_输出条数"), "0");
    EXPECT_EQ(app.Text("编辑框_结果"), "");
    EXPECT_TRUE(app.Running());
}

TEST(MainWindow, CountBoxTakesOnlyDigitsAndMinusWhenTyped) {
    App app;
    app.SetFocus("编辑框_输出条数");
    app.TypeAsUser("编辑框_输出条数", "");
    app.TypeChars("编辑框_输出条数", L"a1.+2-x中 3");
    EXPECT_EQ(app.Text("编辑框_输出条数"), "12-3");
    app.TypeChars("编辑框_输出条数", L"\b");
    EXPECT_EQ(app.Text("编辑框_输出条数"), "12-") << "backspace works";

    // Pasted text is not filtered.
    ASSERT_TRUE(SetClipboardBytes("ab"));
    app.Send(app.Control("编辑框_输出条数"), WM_PASTE);
    EXPECT_EQ(app.Text("编辑框_输出条数"), "12-ab");
}
