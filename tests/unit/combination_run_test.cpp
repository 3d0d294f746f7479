// The combination run against a plain loop written from the run's steps: one
// pass at a time, columns read as plain texts, and de-duplication by cutting
// the result text into lines and looking for the new line among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "columns/column_store.h"
#include "generator/combination_run.h"
#include "text/word_list.h"
#include "tests/support/reference.h"

namespace yz {
namespace {

using reference::CutLines;

struct RefColumn {
    std::string text;
    bool ticked = false;
};
using RefColumns = std::array<RefColumn, 5>;  // 1..4

// A change made between passes: before pass `pass` (1-based), column
// `column` gets `text` (when set) and `ticked`.
struct Change {
    std::int32_t pass = 0;
    int column = 0;
    std::string text;
    bool setText = false;
    bool ticked = false;
};

struct RefRandom {
    std::uint32_t state;
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

std::string RefDraw(const std::string& text, RefRandom& random) {
    const std::vector<std::string> words = CutLines(text);
    const std::size_t n = words.size();
    if (n == 0) return {};
    if (n == 1) return words[0];
    return words[static_cast<std::size_t>(random.Next()) % n];
}

void ApplyRef(RefColumns& cols, const Change& c) {
    if (c.setText) cols[c.column].text = c.text;
    cols[c.column].ticked = c.ticked;
}

// Returns the result box's text after N passes.
std::string ReferenceRun(RefColumns cols, std::int32_t n, bool dedup, std::uint32_t seed,
                         const std::vector<Change>& changes) {
    RefRandom random{seed};
    std::string box;
    for (std::int32_t r = 1; r <= n; ++r) {
        for (const Change& c : changes) {
            if (c.pass == r) ApplyRef(cols, c);
        }
        std::string words[5];
        words[1] = RefDraw(cols[1].text, random);
        for (int c = 2; c <= 4; ++c) {
            if (cols[c].ticked && !cols[c].text.empty()) words[c] = RefDraw(cols[c].text, random);
        }
        const std::string line = words[1] + words[2] + words[3] + words[4];
        if (dedup) {
            const std::vector<std::string> lines = CutLines(box);
            if (std::find(lines.begin(), lines.end(), line) != lines.end()) continue;
        }
        box += line + "\r\n";
    }
    return box;
}

void Apply(ColumnStore& store, const Change& c) {
    if (c.setText) store.ReplaceWordList(c.column, std::make_shared<const WordList>(WordList::FromText(c.text)));
    store.SetTicked(c.column, c.ticked);
}

void Load(ColumnStore& store, const RefColumns& cols) {
    for (int c = 1; c <= 4; ++c) {
        store.ReplaceWordList(c, std::make_shared<const WordList>(WordList::FromText(cols[c].text)));
        store.SetTicked(c, cols[c].ticked);
    }
}

// The run, one pass per call so the store can change between passes.
std::string StepRun(const RefColumns& cols, std::int32_t n, bool dedup, std::uint32_t seed,
                    const std::vector<Change>& changes) {
    ColumnStore store;
    Load(store, cols);
    CombinationRun run(store, {n, dedup, seed});
    std::string out;
    while (!run.Done()) {
        const std::int32_t next = run.PassesDone() + 1;
        for (const Change& c : changes) {
            if (c.pass == next) Apply(store, c);
        }
        const CombinationRun::Batch b = run.Next(out, 1, SIZE_MAX, SIZE_MAX);
        EXPECT_EQ(b.passes, 1);
        if (b.passes != 1) break;
    }
    return out;
}

// The run in one call.
std::string WholeRun(const RefColumns& cols, std::int32_t n, bool dedup, std::uint32_t seed) {
    ColumnStore store;
    Load(store, cols);
    CombinationRun run(store, {n, dedup, seed});
    std::string out;
    const CombinationRun::Batch b = run.Next(out, INT32_MAX, SIZE_MAX, SIZE_MAX);
    EXPECT_EQ(b.stop, CombinationRun::Stop::Done);
    EXPECT_EQ(b.passes, std::max(n, 0));
    EXPECT_TRUE(run.Done());
    return out;
}

RefColumns Cols(std::string c1, std::string c2 = {}, bool t2 = false, std::string c3 = {}, bool t3 = false,
                std::string c4 = {}, bool t4 = false) {
    RefColumns cols;
    cols[1] = {std::move(c1), false};
    cols[2] = {std::move(c2), t2};
    cols[3] = {std::move(c3), t3};
    cols[4] = {std::move(c4), t4};
    return cols;
}

struct RunCase {
    const char* name;
    RefColumns cols;
    std::int32_t passes;
    std::vector<Change> changes;
};

std::vector<RunCase> RunCases() {
    const std::string ten = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj";
    return {
        {"one column", Cols("x\r\ny\r\nz"), 40, {}},
        {"one word", Cols("x"), 5, {}},
        {"column 2 unticked, 3 ticked", Cols(ten, "p\r\nq", false, "u\r\nv\r\nw", true), 60, {}},
        {"ticked but empty takes no draw", Cols(ten, "", true, "u\r\nv\r\nw", true, "", true), 60, {}},
        {"one member takes no number", Cols(ten, "only", true, "u\r\nv\r\nw", true, "k\r\nl", true), 60, {}},
        {"all four", Cols(ten, "1\r\n2\r\n3", true, "u\r\nv", true, "k\r\nl\r\nm\r\nn\r\no", true), 200, {}},
        // GBK words, empty members, lone CR and LF, a lead byte at the end.
        {"odd content",
         Cols("\xC6\xBB\xB9\xFB\r\n\r\n\xCA\xD6\xBB\xFA\r\na\rb\r\nc\nd\r\n\x81\r\n\r\n\x81", "\r\n\r\n", true,
              "\xFF", true, "\x81\r\x0a\r\n\x0d", true),
         80, {}},
        {"empty column 1", Cols("", "p\r\nq", true), 20, {}},
        {"nothing anywhere", Cols(""), 10, {}},
        {"column 2 unticked mid-run", Cols(ten, "p\r\nq\r\nr", true, "u\r\nv", true), 60,
         {{20, 2, {}, false, false}, {40, 2, {}, false, true}}},
        {"lists replaced mid-run", Cols(ten, "p\r\nq\r\nr", true, "u\r\nv", true), 60,
         {{10, 1, "X\r\nY", true, false},
          {25, 3, "", true, true},   // ticked, emptied: takes no part
          {30, 2, "solo", true, true},
          {45, 3, "s\r\nt\r\nu\r\nv", true, true}}},
    };
}

TEST(CombinationRun, MatchesReferenceLoop) {
    const std::uint32_t seeds[] = {0u, 1u, 12345u, 0xFFFFFFFFu, 0x80000000u};
    for (const RunCase& rc : RunCases()) {
        for (std::uint32_t seed : seeds) {
            for (bool dedup : {false, true}) {
                SCOPED_TRACE(std::string(rc.name) + " seed " + std::to_string(seed) + (dedup ? " dedup" : ""));
                const std::string want = ReferenceRun(rc.cols, rc.passes, dedup, seed, rc.changes);
                EXPECT_EQ(StepRun(rc.cols, rc.passes, dedup, seed, rc.changes), want);
                if (rc.changes.empty()) {
                    EXPECT_EQ(WholeRun(rc.cols, rc.passes, dedup, seed), want);
                }
            }
        }
    }
}

TEST(CombinationRun, KnownLinesForSeedOne) {
    // Seed 1 gives 41, 18467, 6334, 26500, 19169: positions 3, 3, 2, 2, 3 of three.
    EXPECT_EQ(WholeRun(Cols("a\r\nb\r\nc"), 5, false, 1), "c\r\nc\r\nb\r\nb\r\nc\r\n");
    EXPECT_EQ(WholeRun(Cols("a\r\nb\r\nc"), 5, true, 1), "c\r\nb\r\n");
    // Column 1 draws 41, column 3 (column 2 being one word) 18467; and so on.
    EXPECT_EQ(WholeRun(Cols("a\r\nb\r\nc", "-", true, "x\r\ny\r\nz", true), 2, false, 1), "c-z\r\nb-y\r\n");
}

TEST(CombinationRun, NoPassesBelowOne) {
    for (std::int32_t n : {0, -1, INT32_MIN}) {
        ColumnStore store;
        Load(store, Cols("x"));
        CombinationRun run(store, {n, true, 7});
        EXPECT_TRUE(run.Done());
        std::string out;
        const CombinationRun::Batch b = run.Next(out, 10, 10, 1000);
        EXPECT_EQ(b.stop, CombinationRun::Stop::Done);
        EXPECT_EQ(b.passes, 0);
        EXPECT_EQ(b.lines, 0u);
        EXPECT_EQ(out, "");
    }
}

// Batches cut by passes, lines or bytes give the same text as one call, and a
// pass cut off by the byte limit is not counted.
TEST(CombinationRun, BatchLimitsKeepTheSequence) {
    const RefColumns cols = Cols("a\r\nbb\r\nccc\r\ndddd", "1\r\n22\r\n333", true);
    for (bool dedup : {false, true}) {
        const std::string want = WholeRun(cols, 300, dedup, 99);
        struct Limit {
            std::int32_t passes;
            std::size_t lines;
            std::size_t bytes;
        };
        for (const Limit lim : {Limit{7, SIZE_MAX, SIZE_MAX}, Limit{INT32_MAX, 5, SIZE_MAX},
                                Limit{INT32_MAX, SIZE_MAX, 40}, Limit{3, 2, 9}, Limit{INT32_MAX, SIZE_MAX, 0}}) {
            SCOPED_TRACE(std::to_string(lim.passes) + "/" + std::to_string(lim.lines) + "/" +
                         std::to_string(lim.bytes) + (dedup ? " dedup" : ""));
            ColumnStore store;
            Load(store, cols);
            CombinationRun run(store, {300, dedup, 99});
            std::string all;
            int calls = 0;
            while (!run.Done() && calls < 10000) {
                ++calls;
                std::string out;
                const std::int32_t before = run.PassesDone();
                const CombinationRun::Batch b = run.Next(out, lim.passes, lim.lines, lim.bytes);
                EXPECT_EQ(run.PassesDone() - before, b.passes);
                EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')), b.lines);
                EXPECT_LE(b.passes, lim.passes);
                EXPECT_LE(b.lines, lim.lines);
                if (b.lines > 1) {
                    EXPECT_LE(out.size(), lim.bytes);
                }
                if (b.stop == CombinationRun::Stop::Bytes) {
                    EXPECT_GE(b.lines, 1u);
                    EXPECT_FALSE(run.Done());
                }
                all += out;
            }
            EXPECT_TRUE(run.Done());
            EXPECT_EQ(all, want);
        }
    }
}

// The box changed under a batch: the caller gives the run the box's text and
// goes back to the mark; the same batch comes again.
TEST(CombinationRun, RestoreMakesTheSameBatchAgain) {
    const RefColumns cols = Cols("a\r\nb\r\nc\r\nd\r\ne\r\nf", "x\r\ny", true);
    for (bool dedup : {false, true}) {
        ColumnStore store;
        Load(store, cols);
        CombinationRun run(store, {50, dedup, 4242});
        std::string first;
        run.Next(first, 10, SIZE_MAX, SIZE_MAX);
        const CombinationRun::Mark mark = run.Save();
        std::string batch1;
        const CombinationRun::Batch b1 = run.Next(batch1, 15, SIZE_MAX, SIZE_MAX);
        run.ResetResultText(first);
        run.Restore(mark);
        EXPECT_EQ(run.PassesDone(), 10);
        std::string batch2;
        const CombinationRun::Batch b2 = run.Next(batch2, 15, SIZE_MAX, SIZE_MAX);
        EXPECT_EQ(batch2, batch1);
        EXPECT_EQ(b2.lines, b1.lines);
        EXPECT_EQ(run.PassesDone(), 25);
    }
}

// A batch that did not go to the box is taken back and made again: with
// de-duplication its lines must not count as present the second time.
TEST(CombinationRun, RestoreWithoutResetTakesTheLinesBack) {
    ColumnStore store;
    Load(store, Cols("a\r\nb\r\nc\r\nd\r\ne\r\nf", "x\r\ny", true));
    CombinationRun run(store, {40, true, 31337});
    std::string first;
    run.Next(first, 5, SIZE_MAX, SIZE_MAX);
    const CombinationRun::Mark mark = run.Save();
    std::string batch1;
    run.Next(batch1, 20, SIZE_MAX, SIZE_MAX);
    ASSERT_FALSE(batch1.empty());
    for (int again = 0; again < 2; ++again) {
        run.Restore(mark);
        std::string batch2;
        run.Next(batch2, 20, SIZE_MAX, SIZE_MAX);
        EXPECT_EQ(batch2, batch1);
    }
    // An older mark only puts back the passes; the lines stay.
    run.Save();
    run.Restore(mark);
    std::string batch3;
    run.Next(batch3, 20, SIZE_MAX, SIZE_MAX);
    EXPECT_EQ(batch3, "");
}

// What the user typed or reset counts for the passes after it: a reset box
// takes lines again, a typed line is never repeated.
TEST(CombinationRun, DedupFollowsTheBoxText) {
    ColumnStore store;
    Load(store, Cols("x\r\ny\r\nz"));
    CombinationRun run(store, {200, true, 5});
    std::string out;
    run.Next(out, 100, SIZE_MAX, SIZE_MAX);
    EXPECT_EQ(out.size(), 9u);  // x, y and z once each

    // Reset, then the user types "y" and a line of their own.
    const std::string box = "y\r\nown";
    run.ResetResultText(box);
    std::string more;
    run.Next(more, 100, SIZE_MAX, SIZE_MAX);
    // The first line continues "own" ("ownx" or "ownz", a line of its own
    // from then on); then x and z once each; y never comes.
    std::vector<std::string> lines = CutLines(box + more);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "y");
    EXPECT_TRUE(lines[1] == "ownx" || lines[1] == "ownz") << lines[1];
    std::sort(lines.begin() + 2, lines.end());
    EXPECT_EQ(lines[2], "x");
    EXPECT_EQ(lines[3], "z");
}

// «xy» and «y»: the later one is kept in either order (the whole line
// decides, not a part of one).
TEST(CombinationRun, DedupComparesWholeLines) {
    for (std::uint32_t seed = 0; seed < 20; ++seed) {
        const std::string out = WholeRun(Cols("xy\r\ny\r\nX\r\nx"), 100, true, seed);
        std::vector<std::string> lines = CutLines(out);
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(lines, (std::vector<std::string>{"X", "x", "xy", "y"})) << seed;
    }
}

// The window thread replaces lists and flips boxes while a run draws: every
// line is still made of words that a column held, and nothing is read after
// it was released (the sanitizers watch).
TEST(CombinationRun, ColumnsChangingUnderARun) {
    ColumnStore store;
    Load(store, Cols("a\r\nb", "1\r\n2", true));
    std::atomic<bool> stop{false};
    std::thread editor([&] {
        const char* const texts1[] = {"a\r\nb", "c", "", "b\r\nc\r\na"};
        const char* const texts2[] = {"1\r\n2", "", "2", "\r\n"};
        for (unsigned i = 0; !stop.load(); ++i) {
            store.ReplaceWordList(1, std::make_shared<const WordList>(WordList::FromText(texts1[i % 4])));
            store.ReplaceWordList(2, std::make_shared<const WordList>(WordList::FromText(texts2[(i / 3) % 4])));
            store.SetTicked(2, (i & 4) != 0);
        }
    });
    for (bool dedup : {false, true}) {
        CombinationRun run(store, {100000, dedup, 77});
        std::string out;
        while (!run.Done()) run.Next(out, 1000, SIZE_MAX, SIZE_MAX);
        std::vector<std::string> possible;
        for (const char* w1 : {"", "a", "b", "c"}) {
            for (const char* w2 : {"", "1", "2"}) possible.push_back(std::string(w1) + w2);
        }
        for (const std::string& line : CutLines(out)) {
            ASSERT_NE(std::find(possible.begin(), possible.end(), line), possible.end()) << line;
        }
    }
    stop = true;
    editor.join();
}

}  // namespace
}  // namespace yz
