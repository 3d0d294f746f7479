// Load on the real program: while a long de-duplicating run goes on, this
// process hammers every control at once (columns typed and cleared, include
// boxes and 去重 flipped, text typed into the result, reset, copy with and
// without the clipboard held, export, the generate button again), closes
// every message box that this brings up, and finally closes the main window
// while a run is under way. Each round uses other timings. The program must
// answer throughout, end with exit code 0, and leave only lines that are
// combinations of words its columns held.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/e2e/long_session.h"

using namespace yz::e2e;

namespace {

// Column k's words are its tag, a number and "|": a line splits at "|" into
// its words, and the tag tells the column. No byte of the tags is "|".
const char* const kTag[5] = {"", "甲", "乙", "丙", "丁"};
const char* const kColumnBox[5] = {"", "编辑框_第一列", "编辑框_第二列", "编辑框_第三列", "编辑框_第四列"};
const char* const kClearButton[5] = {"", "按钮_清空第一列", "按钮_清空第二列", "按钮_清空第三列", "按钮_清空第四列"};
const char* const kColumnLabel[5] = {"", "标签_第一列", "标签_第二列", "标签_第三列", "标签_第四列"};
const char* const kIncludeBox[5] = {"", "选择框_第一列", "选择框_第二列", "选择框_第三列", "选择框_第四列"};
constexpr const char* kTypedMark = "typed";
constexpr DWORD kAnswerMs = 10000;  // longer than this without an answer: the program hangs

// What one round did, for the check at its end and the report.
struct Record {
    std::set<std::string> words[5];  // every word ever put into each column
    std::string lastText[5];         // what each column was given last
    int lastCount[5] = {};           // and its number of words
    bool given[5] = {};              // whether it was ever given words
    bool columnOneEverEmpty = false;
    int actions = 0;
    int hangs = 0;          // messages not answered within kAnswerMs
    DWORD slowestAnswerMs = 0;
    std::string firstHang;
};

// The acting side of a round: the program's controls, looked up once, driven
// with SendMessageTimeout and PostMessage only (this runs beside the thread
// that closes message boxes, and must never throw).
class Hammer {
public:
    Hammer(App& app, Record& rec, unsigned seed) : rec_(rec), rng_(seed) {
        for (int k = 1; k <= 4; ++k) {
            column_[k] = app.Control(kColumnBox[k]);
            clear_[k] = app.Control(kClearButton[k]);
            include_[k] = app.Control(kIncludeBox[k]);
        }
        result_ = app.Control("编辑框_结果");
        count_ = app.Control("编辑框_输出条数");
        dedup_ = app.Control("选择框_去重");
        generate_ = app.Control("按钮_输出");
        reset_ = app.Control("按钮_重置");
        copy_ = app.Control("按钮_复制");
        export_ = app.Control("按钮_导出");
    }

    // A fresh list of words for column k, recorded before the program sees it.
    std::string NewWords(int k) {
        const int n = Pick(1, 300);
        const int base = Pick(0, 100000);
        std::string text;
        for (int i = 0; i < n; ++i) {
            std::string w = std::string(kTag[k]) + std::to_string(base + i) + "|";
            rec_.words[k].insert(w);
            if (i) text += "\r\n";
            text += w;
        }
        rec_.lastText[k] = text;
        rec_.lastCount[k] = n;
        rec_.given[k] = true;
        return text;
    }

    // A user's paste: select all, replace (raises the change handling).
    void Paste(HWND box, const std::string& gbk, WPARAM from = 0, LPARAM to = -1) {
        const std::wstring w = Wide(gbk);
        Send(box, EM_SETSEL, from, to);
        Send(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
    }

    void SetCount(const char* count) {
        const std::wstring w = Wide(count);
        Send(count_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }

    void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

    void Generate() { Click(generate_); }

    // One action, picked at random.
    void Act() {
        ++rec_.actions;
        const int k = Pick(1, 4);
        switch (Pick(0, 15)) {
        case 0: case 1: case 2: case 12:
            Paste(column_[k], NewWords(k));
            break;
        case 3:
            if (k == 1) rec_.columnOneEverEmpty = true;
            rec_.lastText[k].clear();
            rec_.lastCount[k] = 0;
            // Sent, not posted: a posted click would be handled after a
            // paste sent later, and the record would be wrong.
            if (Pick(0, 1)) Paste(column_[k], "");
            else Send(clear_[k], BM_CLICK);
            break;
        case 4: case 5: case 13:
            Click(include_[k]);
            break;
        case 6:
            Click(dedup_);
            break;
        case 7: case 14:
            // Typed at the start of the box: always between two lines.
            Paste(result_, std::string(kTypedMark) + std::to_string(rec_.actions) + "\r\n", 0, 0);
            break;
        case 8:
            Click(reset_);
            break;
        case 9:
            Click(copy_);
            break;
        case 10:
            Click(export_);
            break;
        case 11: {
            // Copy while this process holds the clipboard open.
            const bool held = OpenClipboard(nullptr) != 0;
            Click(copy_);
            Sleep(DWORD(Pick(10, 120)));
            if (held) CloseClipboard();
            break;
        }
        default:
            // The reset sets the count to 0; a new request needs a count.
            SetCount("500000");
            Generate();
            break;
        }
    }

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        DWORD_PTR result = 0;
        const DWORD sent = GetTickCount();
        const BOOL answered = SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, kAnswerMs, &result);
        rec_.slowestAnswerMs = std::max(rec_.slowestAnswerMs, GetTickCount() - sent);
        if (!answered && IsWindow(w)) {
            if (rec_.hangs++ == 0) rec_.firstHang = "message " + std::to_string(msg) + " not answered";
        }
        return LRESULT(result);
    }

private:
    Record& rec_;
    std::mt19937 rng_;
    HWND column_[5] = {}, clear_[5] = {}, include_[5] = {};
    HWND result_ = nullptr, count_ = nullptr, dedup_ = nullptr, generate_ = nullptr;
    HWND reset_ = nullptr, copy_ = nullptr, export_ = nullptr;
};


// Empty when the line is a combination of recorded words in column order
// (column 1 first unless column 1 was emptied at some time), or a typed line;
// otherwise what is wrong with it.
std::string WhatIsWrong(const std::string& line, const Record& rec) {
    if (line.rfind(kTypedMark, 0) == 0) return {};
    if (line.empty()) return rec.columnOneEverEmpty ? "" : "an empty line";
    if (line.back() != '|') return "does not end with a word";
    int last = 0;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t bar = line.find('|', start);
        const std::string word = line.substr(start, bar + 1 - start);
        int column = 0;
        for (int k = 1; k <= 4; ++k)
            if (word.compare(0, 2, kTag[k]) == 0) column = k;
        if (column == 0) return "a word of no column: " + word;
        if (column <= last) return "columns out of order at " + word;
        if (last == 0 && column != 1 && !rec.columnOneEverEmpty) return "no word of column 1";
        if (!rec.words[column].count(word)) return "a word never in its column: " + word;
        last = column;
        start = bar + 1;
    }
    return {};
}

struct Timings {
    unsigned seed;
    DWORD hammerMs;   // how long the load lasts
    int pauseMaxMs;   // between two actions: 0..pauseMaxMs
    int closeAfterMs; // from the last generate click to closing the window
};

void StressRound(const Timings& t) {
    App app;
    Record rec;
    Hammer hammer(app, rec, t.seed);

    // Message boxes come from 去重, export, copy failures, refused requests:
    // they are closed as they come, from a thread of their own.
    std::atomic<bool> closing{true};
    std::set<HWND> boxesSeen;  // closer thread only, until joined
    std::thread closer([&] {
        while (closing.load()) {
            for (HWND box : app.MessageBoxes()) {
                PressMessageBox(box);
                boxesSeen.insert(box);
            }
            Sleep(15);
        }
    });
    struct Join {
        std::atomic<bool>& flag;
        std::thread& th;
        ~Join() {
            flag = false;
            if (th.joinable()) th.join();
        }
    } join{closing, closer};

    // A long de-duplicating run over two ticked columns of a few hundred words.
    hammer.Paste(app.Control("编辑框_第一列"), hammer.NewWords(1));
    hammer.Paste(app.Control("编辑框_第二列"), hammer.NewWords(2));
    hammer.Click(app.Control("选择框_第二列"));
    hammer.Click(app.Control("选择框_去重"));
    hammer.SetCount("500000");
    hammer.Generate();
    app.Settle();
    ASSERT_TRUE(WaitFor([&] { return app.ProgressPos() > 0 || !app.Running(); }, 15000)) << "the run did not start";

    const DWORD start = GetTickCount();
    while (GetTickCount() - start < t.hammerMs && app.Running()) {
        hammer.Act();
        if (t.pauseMaxMs > 0) Sleep(DWORD(hammer.Pick(0, t.pauseMaxMs)));
    }
    ASSERT_TRUE(app.Running()) << "the program ended under load";
    EXPECT_EQ(rec.hangs, 0) << rec.firstHang;
    app.Settle();
    // Let the last request make some lines, so that the check has matter.
    WaitFor([&] { return app.ProgressPos() > 0 && app.Text("编辑框_结果").size() > 0; }, 5000);

    // Nothing the user gave a column is lost or changed under load.
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(app.Text(kColumnBox[k]), rec.lastText[k]) << "column " << k;
        // A column never given words still shows its first caption.
        if (rec.given[k]) {
            EXPECT_EQ(app.Text(kColumnLabel[k]), std::to_string(rec.lastCount[k]) + "个") << "column " << k;
        }
    }

    // Whatever the box holds now: lines of recorded words, typed lines.
    const std::vector<std::string> lines = Lines(app.Text("编辑框_结果"));
    int wrong = 0;
    for (const std::string& line : lines) {
        const std::string why = WhatIsWrong(line, rec);
        if (!why.empty() && wrong++ < 5) ADD_FAILURE() << "line \"" << line << "\": " << why;
    }
    EXPECT_EQ(wrong, 0) << "of " << lines.size() << " lines";

    // A new run, then the window closed while it goes on.
    hammer.Paste(app.Control("编辑框_第一列"), hammer.NewWords(1));
    hammer.SetCount("500000");
    hammer.Generate();
    Sleep(DWORD(t.closeAfterMs));
    app.Close();
    const DWORD closed = GetTickCount();
    const auto code = app.WaitExit(20000);
    ASSERT_TRUE(code.has_value()) << "the program did not end within 20 s of closing";
    EXPECT_EQ(*code, 0u);
    const DWORD exitMs = GetTickCount() - closed;

    // The last export made under load is a whole snapshot of the box too.
    std::size_t exported = 0;
    if (const auto file = ReadFileBytes(app.InFolder("砚舟词语组合导出结果.txt"))) {
        const std::vector<std::string> fileLines = Lines(*file);
        exported = fileLines.size();
        int bad = 0;
        for (const std::string& line : fileLines) {
            const std::string why = WhatIsWrong(line, rec);
            if (!why.empty() && bad++ < 5) ADD_FAILURE() << "exported line \"" << line << "\": " << why;
        }
        EXPECT_TRUE(file->empty() || (file->size() >= 2 && file->compare(file->size() - 2, 2, "\r\n") == 0))
            << "the export ends inside a line";
    }
    closing = false;
    closer.join();
    std::printf("[ stress   ] seed %u: %d actions in %lu ms, %zu message boxes closed, %zu result and %zu exported "
                "lines checked, slowest answer %lu ms, ended %lu ms after closing\n",
                t.seed, rec.actions, static_cast<unsigned long>(t.hammerMs), boxesSeen.size(), lines.size(), exported,
                static_cast<unsigned long>(rec.slowestAnswerMs), static_cast<unsigned long>(exitMs));
}

}  // namespace

TEST(Stress, EverythingAtOnceDuringALongDedupRunThenCloseMidRun) {
    // No pause, short pauses, slow and steady; closing at once or a little later.
    const Timings rounds[] = {
        {1, 4000, 0, 0},
        {2, 4000, 5, 150},
        {3, 5000, 30, 600},
        {4, 3000, 2, 50},
    };
    for (const Timings& t : rounds) {
        SCOPED_TRACE("seed " + std::to_string(t.seed));
        StressRound(t);
        if (HasFatalFailure()) return;
    }
}

// Runs of 10,000 lines with edits, copies, exports and resets between them:
// after the fifth run the program's private memory is what a session needs;
// from there on it must not keep growing with every run.
TEST(Stress, ALongSessionDoesNotGrowItsMemory) {
    constexpr int kRuns = 15;
    App app;
    const auto bytes = LongSession(app, kRuns, 10000, {5, kRuns});
    const double grown = (double(bytes.at(kRuns)) - double(bytes.at(5))) / (1024.0 * 1024.0);
    std::printf("[ session  ] private bytes after run 5: %.1f MB, after run %d: %.1f MB, growth %.2f MB\n",
                double(bytes.at(5)) / (1024.0 * 1024.0), kRuns, double(bytes.at(kRuns)) / (1024.0 * 1024.0), grown);
    EXPECT_LT(grown, 20.0);
    app.Close();
    const auto code = app.WaitExit(20000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

// Another program (or the end of the session) closes the window while a
// message box is open and a run goes on: the program still ends, with 0.
TEST(Stress, ClosedWhileAMessageBoxIsOpenDuringARun) {
    App app;
    std::string words;
    for (int i = 0; i < 300; ++i) words.append("w").append(std::to_string(i)).append("\r\n");
    app.TypeAsUser("编辑框_第一列", words);
    app.TypeAsUser("编辑框_第二列", words);
    app.Click("选择框_第二列");
    app.SetText("编辑框_输出条数", "500000");
    app.Click("按钮_输出");
    ASSERT_TRUE(WaitFor([&] { return app.ProgressPos() > 0; }, 15000));
    app.Click("选择框_去重");  // the warning stays open
    ASSERT_NE(app.FindMessageBox("提示"), nullptr);
    app.Close();
    const auto code = app.WaitExit(20000);
    ASSERT_TRUE(code.has_value()) << "the program did not end with the box open";
    EXPECT_EQ(*code, 0u);
}
