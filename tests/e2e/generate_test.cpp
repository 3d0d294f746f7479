// The generate button, the de-duplication box and the run they start, driven
// in the real program: messages, the lines made, the bar, and what a user's
// changes during a run do to it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

using namespace yz::e2e;

namespace {

constexpr const char* kAskCount = "请输入组合词个数";
constexpr const char* kColumnOneEmpty = "第一列没有词语，请先输入词语";
constexpr const char* kDedupNote =
    "注意：使用去重会降低词语生成速度，如果需要生成大量组合词，可以导出后到wps中去重";


int LineCount(App& app) {
    return int(app.Send(app.Control("编辑框_结果"), EM_GETLINECOUNT)) - 1;
}

// Generates with the count given and waits until the bar stands at its end.
void Generate(App& app, const char* count, Millis timeout = 30000) {
    app.SetText("编辑框_输出条数", count);
    app.Click("按钮_输出");
    const int n = std::stoi(count);
    ASSERT_TRUE(WaitFor([&] { return app.ProgressMax() == n && app.ProgressPos() == n; }, timeout))
        << "bar " << app.ProgressPos() << " of " << app.ProgressMax();
}

void ExpectMessage(App& app, const char* text) {
    HWND box = app.FindMessageBox("提示");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(app.MessageText(box), text);
    app.CloseMessageBox(box);
}

// A run that takes a while: long enough to act during it.
void StartLongRun(App& app) {
    app.TypeAsUser("编辑框_第一列", "甲\r\n乙\r\n丙");
    app.SetText("编辑框_输出条数", "1000000");
    app.Click("按钮_输出");
    ASSERT_TRUE(WaitFor([&] { return LineCount(app) > 0; }, 10000));
}

}  // namespace

TEST(GenerateCommand, CountBelowOneIsAskedForAndChangesNothing) {
    App app;
    app.TypeAsUser("编辑框_第一列", "x");
    app.SetText("编辑框_结果", "kept\r\n");
    for (const char* count : {"0", "", "-5", "abc", "-0"}) {
        SCOPED_TRACE(count);
        app.SetText("编辑框_输出条数", count);
        app.Click("按钮_输出");
        ExpectMessage(app, kAskCount);
        EXPECT_EQ(app.Text("编辑框_结果"), "kept\r\n");
        EXPECT_EQ(app.ProgressPos(), 0);
        EXPECT_EQ(app.ProgressMax(), 100);
    }
}

TEST(GenerateCommand, EmptyColumnOneIsRefusedAndChangesNothing) {
    App app;
    app.SetText("编辑框_结果", "kept\r\n");
    app.SetText("编辑框_输出条数", "5");
    app.Click("按钮_输出");
    ExpectMessage(app, kColumnOneEmpty);
    EXPECT_EQ(app.Text("编辑框_结果"), "kept\r\n");
    EXPECT_EQ(app.ProgressPos(), 0);
    EXPECT_EQ(app.ProgressMax(), 100);

    // Emptied again after holding words: refused the same way.
    app.TypeAsUser("编辑框_第一列", "x");
    app.Click("按钮_清空第一列");
    app.Click("按钮_输出");
    ExpectMessage(app, kColumnOneEmpty);
    EXPECT_EQ(app.Text("编辑框_结果"), "kept\r\n");
}

TEST(DedupWarning, ShownEachTimeAClickTicksTheBox) {
    App app;
    app.Click("选择框_去重");
    ExpectMessage(app, kDedupNote);
    EXPECT_TRUE(app.Checked("选择框_去重"));
    app.Click("选择框_去重");
    EXPECT_TRUE(app.ExpectNoMessageBox());
    EXPECT_FALSE(app.Checked("选择框_去重"));
    app.Click("选择框_去重");
    ExpectMessage(app, kDedupNote);
    EXPECT_TRUE(app.Checked("选择框_去重"));
}

TEST(CombinationRun, OnePassMakesOneLineAndEndsSilently) {
    App app;
    app.TypeAsUser("编辑框_第一列", "x");
    app.SetText("编辑框_结果", "old text");
    Generate(app, "1");
    EXPECT_EQ(app.Text("编辑框_结果"), "x\r\n");
    EXPECT_EQ(app.ProgressPos(), 1);
    EXPECT_EQ(app.ProgressMax(), 1);
    EXPECT_TRUE(app.ExpectNoMessageBox(1000));
}

TEST(CombinationRun, OnlyTickedColumnsWithWordsTakePart) {
    App app;
    app.TypeAsUser("编辑框_第一列", "x");
    app.TypeAsUser("编辑框_第二列", "y");   // not ticked
    app.TypeAsUser("编辑框_第三列", "z");
    app.Click("选择框_第三列");
    app.Click("选择框_第四列");               // ticked, but holds no word
    ASSERT_TRUE(app.Checked("选择框_第三列"));
    ASSERT_TRUE(app.Checked("选择框_第四列"));
    Generate(app, "20");
    const auto lines = Lines(app.Text("编辑框_结果"));
    ASSERT_EQ(lines.size(), 20u);
    for (const auto& l : lines) EXPECT_EQ(l, "xz");
}

TEST(CombinationRun, WithoutDedupEveryPassAddsALineAndTheBarShowsAnyCount) {
    App app;
    app.TypeAsUser("编辑框_第一列", "甲\r\n乙");
    // Above 32767: the bar keeps counting to the end.
    Generate(app, "40000", 120000);
    const std::string text = app.Text("编辑框_结果");
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 40000u);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::set<std::string> seen(lines.begin(), lines.end());
    EXPECT_EQ(seen, (std::set<std::string>{"甲", "乙"}));
    EXPECT_EQ(app.ProgressMax(), 40000);
    EXPECT_TRUE(app.ExpectNoMessageBox(500));
}

TEST(CombinationRun, DedupKeepsEachWholeLineOnce) {
    App app;
    app.Click("选择框_去重");
    ExpectMessage(app, kDedupNote);
    app.TypeAsUser("编辑框_第一列", "x\r\ny");
    Generate(app, "10");
    auto lines = Lines(app.Text("编辑框_结果"));
    std::set<std::string> seen(lines.begin(), lines.end());
    EXPECT_EQ(seen.size(), lines.size());
    for (const auto& l : lines) EXPECT_TRUE(l == "x" || l == "y") << l;

    // A word inside another is a line of its own: xy does not hide y.
    app.TypeAsUser("编辑框_第一列", "xy\r\ny");
    Generate(app, "200");
    lines = Lines(app.Text("编辑框_结果"));
    seen = std::set<std::string>(lines.begin(), lines.end());
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(seen, (std::set<std::string>{"xy", "y"}));
    EXPECT_TRUE(app.ExpectNoMessageBox(500));
}

TEST(CombinationRun, ASecondRequestReplacesTheRunUnderWay) {
    App app;
    StartLongRun(app);
    app.TypeAsUser("编辑框_第一列", "新");
    app.SetText("编辑框_输出条数", "5");
    app.Click("按钮_输出");
    // The bar may stand at 5 of 5 before the new run's first lines: the
    // position left by the first run is clamped to the new maximum.
    ASSERT_TRUE(WaitFor([&] { return LineCount(app) == 5 && app.ProgressPos() == 5; }, 10000))
        << LineCount(app) << " lines";
    EXPECT_EQ(app.Text("编辑框_结果"), "新\r\n新\r\n新\r\n新\r\n新\r\n");
    // The first run writes nothing any more.
    Sleep(1500);
    EXPECT_EQ(app.Text("编辑框_结果"), "新\r\n新\r\n新\r\n新\r\n新\r\n");
    EXPECT_EQ(app.ProgressPos(), 5);
    EXPECT_EQ(app.ProgressMax(), 5);
}

TEST(CombinationRun, ClosingTheWindowDuringARunEndsTheProgramCleanly) {
    App app;
    StartLongRun(app);
    app.Close();
    const auto code = app.WaitExit(15000);
    ASSERT_TRUE(code.has_value()) << "the program did not end";
    EXPECT_EQ(*code, 0u);
}

TEST(CombinationRun, ClearingAColumnAndResettingTakeEffectDuringTheRun) {
    App app;
    app.TypeAsUser("编辑框_第一列", "a");
    app.TypeAsUser("编辑框_第二列", "b");
    app.Click("选择框_第二列");
    app.SetText("编辑框_输出条数", "60000");
    app.Click("按钮_输出");
    ASSERT_TRUE(WaitFor([&] { return LineCount(app) > 0; }, 10000));
    app.Click("按钮_清空第二列");
    EXPECT_FALSE(app.Checked("选择框_第二列"));
    const int before = LineCount(app);
    ASSERT_TRUE(WaitFor([&] { return LineCount(app) > before; }, 10000));
    app.Click("按钮_重置");
    EXPECT_EQ(app.Text("编辑框_输出条数"), "0");
    ASSERT_TRUE(WaitFor([&] { return app.ProgressPos() == 60000; }, 120000));

    // After the reset only lines made after the clearing remain.
    const auto lines = Lines(app.Text("编辑框_结果"));
    EXPECT_GT(lines.size(), 0u);
    EXPECT_LT(lines.size(), 60000u);
    for (const auto& l : lines) ASSERT_EQ(l, "a");
    EXPECT_EQ(app.ProgressMax(), 60000);
}

TEST(CombinationRun, DedupSeesWhatTheUserTypedIntoTheResult) {
    App app;
    app.Click("选择框_去重");
    ExpectMessage(app, kDedupNote);
    // Enough distinct lines for a run that lasts, and one line typed by the
    // user during it that the run must then never add.
    std::string words;
    for (int i = 0; i < 400; ++i) words.append("w").append(std::to_string(i)).append("\r\n");
    app.TypeAsUser("编辑框_第一列", words);
    app.TypeAsUser("编辑框_第二列", words);
    app.Click("选择框_第二列");
    app.SetText("编辑框_输出条数", "60000");
    app.Click("按钮_输出");
    ASSERT_TRUE(WaitFor([&] { return LineCount(app) > 0; }, 10000));
    app.SetText("编辑框_结果", "w1w2\r\n");
    ASSERT_TRUE(WaitFor([&] { return app.ProgressPos() == 60000; }, 120000));
    const auto lines = Lines(app.Text("编辑框_结果"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "w1w2");
    std::set<std::string> seen(lines.begin(), lines.end());
    EXPECT_EQ(seen.size(), lines.size()) << "a line repeats";
}
