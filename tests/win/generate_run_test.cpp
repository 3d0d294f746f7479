// The combination run against the real main window in this process: the size
// limit, a second request replacing the run under way, a result box changed
// under a de-duplicating run, and the stop at the end of the program. The run
// advances only while this thread pumps messages, which lets a test act
// between two of its batches.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "app/handlers.h"
#include "app/program.h"
#include "generator/generate_win.h"
#include "ui/runtime.h"

using namespace yz;

namespace {

// Pumps until done() or the time is up. With stopBeforeTimer, a timer message
// is not handled once done() holds: the run's next batch waits.
template <class F>
bool PumpUntil(F done, int ms = 20000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(ms)) return false;
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        // A call from the worker is served inside PeekMessage: check again
        // before a timer hands the run its next batch.
        if (msg.message == WM_TIMER && done()) return true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring BoxText(const char* name) {
    HWND h = ui::Window(name);
    std::wstring s(GetWindowTextLengthW(h) + 1, L'\0');
    s.resize(GetWindowTextW(h, s.data(), static_cast<int>(s.size())));
    return s;
}

int ResultLines() { return static_cast<int>(SendMessageW(ui::Window("编辑框_结果"), EM_GETLINECOUNT, 0, 0)) - 1; }
int BarPos() { return static_cast<int>(SendMessageW(ui::Window("进度条1"), PBM_GETPOS, 0, 0)); }
int BarMax() { return static_cast<int>(SendMessageW(ui::Window("进度条1"), PBM_GETRANGE, FALSE, 0)); }

// Closes the message boxes of this process from another thread, keeping
// their texts: the window thread is inside the box's modal loop meanwhile.
class MessageCatcher {
public:
    MessageCatcher() : thread_([this] { Loop(); }) {}
    ~MessageCatcher() {
        stop_ = true;
        thread_.join();
    }
    int Count() const { return count_.load(); }
    std::wstring Last() const { return last_; }

private:
    void Loop() {
        while (!stop_) {
            HWND box = nullptr;
            while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(box, &pid);
                if (pid != GetCurrentProcessId() || !IsWindowVisible(box)) continue;
                wchar_t text[512] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 512);
                last_ = text;
                ++count_;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                while (IsWindow(box) && !stop_) Sleep(5);
            }
            Sleep(10);
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    std::wstring last_;
    std::thread thread_;
};

class GenerateRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::InitRuntime(); }
    void SetUp() override {
        main_ = LoadMainWindow();
        ASSERT_NE(main_, nullptr);
        SetResultLimitsForTest(ResultLimits{});
    }
    void TearDown() override {
        if (IsWindow(main_)) DestroyWindow(main_);
        PumpUntil([] { return !CombinationRunActive(); });
        SetResultLimitsForTest(ResultLimits{});
    }
    static void Generate(const char* count) {
        ui::SetText("编辑框_输出条数", count);
        GenerateCommand();
    }
    HWND main_ = nullptr;
};

}  // namespace

TEST_F(GenerateRunTest, TheLimitStopsTheRunKeepsItsLinesAndTellsOnce) {
    struct Case {
        ResultLimits limits;
        int maxLines;   // what the box may hold afterwards
        int maxChars;
    };
    // «词语» and CR LF: 4 UTF-16 units a line.
    const Case cases[] = {
        {{1000, 1000000}, 1000, 1000000},
        {{1000000, 2002}, 1000000, 2002},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxLines);
        SetResultLimitsForTest(c.limits);
        ui::SetText("编辑框_第一列", "词语");
        MessageCatcher catcher;
        Generate("100000");
        ASSERT_TRUE(PumpUntil([] { return !CombinationRunActive(); }));
        ASSERT_TRUE(PumpUntil([&] { return catcher.Count() > 0; }, 5000)) << "the user was not told";
        PumpUntil([] { return false; }, 300);
        EXPECT_EQ(catcher.Count(), 1);
        EXPECT_NE(catcher.Last().find(L"上限"), std::wstring::npos);

        const std::wstring text = BoxText("编辑框_结果");
        EXPECT_LE(static_cast<int>(text.size()), c.maxChars);
        EXPECT_LE(ResultLines(), c.maxLines);
        // Stopped near the limit, on a whole line.
        EXPECT_GE(static_cast<int>(text.size()), std::min(c.maxChars, c.maxLines * 4) - 8);
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(BarPos(), static_cast<int>(text.size() / 4));
        EXPECT_EQ(BarMax(), 100000);
    }
}

TEST_F(GenerateRunTest, ASecondRequestReplacesTheRunUnderWay) {
    ui::SetText("编辑框_第一列", "a\r\nb");
    Generate("1000000");
    ASSERT_TRUE(PumpUntil([] { return ResultLines() > 0; }));
    ui::SetText("编辑框_第一列", "z");
    Generate("3");
    ASSERT_TRUE(PumpUntil([] { return !CombinationRunActive(); }));
    EXPECT_EQ(BoxText("编辑框_结果"), L"z\r\nz\r\nz\r\n");
    EXPECT_EQ(BarPos(), 3);
    EXPECT_EQ(BarMax(), 3);
}

TEST_F(GenerateRunTest, ADedupRunChecksItsBatchAgainstTextChangedUnderIt) {
    // Every possible line is put into the box between the run's start and its
    // first batch: the batch made against the empty box must be made again,
    // and then adds nothing.
    struct Case {
        const char* how;
        void (*change)(HWND box, const wchar_t* text);
    };
    const Case cases[] = {
        {"written whole", [](HWND box, const wchar_t* text) { SetWindowTextW(box, text); }},
        {"typed", [](HWND box, const wchar_t* text) {
             SendMessageW(box, EM_SETSEL, 0, -1);
             SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ui::SetChecked("选择框_去重", true);
        ui::SetText("编辑框_第一列", "a\r\nb\r\nc\r\nd\r\ne");
        ui::SetText("编辑框_结果", "old\r\n");
        Generate("50000");
        ASSERT_TRUE(PumpUntil([] { return BarMax() == 50000 && GetWindowTextLengthW(ui::Window("编辑框_结果")) == 0; }));
        c.change(ui::Window("编辑框_结果"), L"e\r\nd\r\nc\r\nb\r\na\r\n");
        ASSERT_TRUE(PumpUntil([] { return !CombinationRunActive(); }));
        EXPECT_EQ(BoxText("编辑框_结果"), L"e\r\nd\r\nc\r\nb\r\na\r\n");
        EXPECT_EQ(BarPos(), 50000);
        ui::SetChecked("选择框_去重", false);
    }
}

TEST_F(GenerateRunTest, TheEndOfTheProgramStopsARunAndWaitsForIt) {
    ui::SetText("编辑框_第一列", "a\r\nb");
    Generate("1000000");
    ASSERT_TRUE(PumpUntil([] { return ResultLines() > 0; }));
    ASSERT_TRUE(CombinationRunActive());
    const int lines = ResultLines();
    DestroyWindow(main_);
    const DWORD start = GetTickCount();
    StopCombinationRuns();
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(CombinationRunActive());
    EXPECT_GT(lines, 0);
    AllowCombinationRunsForTest();
}
