// ResultLines: which lines count as already in the result box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generator/combination_run.h"

namespace yz {
namespace {

struct Case {
    const char* box;                   // the box's text at Reset
    std::vector<std::string> appends;  // lines appended since
    std::string line;
    bool contained;
};

TEST(ResultLines, WholeLineCases) {
    const Case cases[] = {
        {"", {}, "x", false},
        {"", {"x"}, "x", true},
        {"", {"x"}, "y", false},
        {"", {"x", "y"}, "y", true},
        // A part of a line or a line around another is a different line.
        {"", {"xy"}, "y", false},
        {"", {"xy"}, "x", false},
        {"", {"y"}, "xy", false},
        {"", {"xy", "y"}, "y", true},
        {"", {"x"}, "X", false},
        {"", {"X"}, "x", false},
        // The empty line is only there when the box holds one.
        {"", {}, "", false},
        {"", {"a"}, "", false},
        {"", {""}, "", true},
        {"\r\n", {}, "", true},
        {"a\r\n\r\nb", {}, "", true},
        {"a\r\n", {}, "", false},
        // Typed by the user: every whole line counts, the last one too.
        {"ab\r\ncd\r\n", {}, "ab", true},
        {"ab\r\ncd\r\n", {}, "cd", true},
        {"ab\r\ncd\r\n", {}, "b", false},
        {"ab\r\ncd\r\n", {}, "ab\r\ncd", false},
        {"typed", {}, "typed", true},
        {"typed", {}, "type", false},
        // The next line continues an unfinished last line.
        {"typed", {"x"}, "typedx", true},
        {"typed", {"x"}, "typed", false},
        {"typed", {"x"}, "x", false},
        {"typed", {"x", "x"}, "x", true},
        {"typed", {""}, "typed", true},
        // Cut only where a character starts: a CR after a lead byte is its
        // trail byte and does not end the line.
        {"\x81\r\nz", {}, "\x81\r\nz", true},
        {"\x81\r\nz", {}, "\x81", false},
        {"\xC6\xBB\r\n\xB9\xFB\r\n", {}, "\xB9\xFB", true},
        {"a\x81", {""}, "a\x81", false},           // the appended CR is the trail byte
        {"a\x81", {""}, "a\x81\r\n", true},        // so the line is still open
        {"a\x81", {"", "b"}, "a\x81\r\nb", true},
        // Lone CR and LF are bytes of a line; a CR before the appended CR LF too.
        {"a\rb\nc\r\n", {}, "a\rb\nc", true},
        {"a\r", {}, "a\r", true},
        {"a\r", {"\nb"}, "a", true},               // «a\r» + «\nb»: CR LF cuts there
        {"a\r", {"\nb"}, "b", true},
        {"", {"p\r", "q"}, "p\r", true},
        {"", {"p\r\nq"}, "p", true},
        {"", {"p\r\nq"}, "q", true},
        {"", {"p\r\nq"}, "p\r\nq", false},
    };
    for (const Case& c : cases) {
        std::string box = c.box;
        ResultLines lines;
        lines.Reset(box);
        for (const std::string& a : c.appends) {
            lines.Append(a);
            box += a + "\r\n";
        }
        SCOPED_TRACE("box \"" + box + "\" line \"" + c.line + "\"");
        EXPECT_EQ(lines.Contains(c.line), c.contained);
        // Appending is the same as reading the whole text again.
        ResultLines again;
        again.Reset(box);
        EXPECT_EQ(again.Contains(c.line), c.contained);
        EXPECT_EQ(again.LineCount(), lines.LineCount());
    }
}

TEST(ResultLines, AppendIfAbsentAndCounts) {
    ResultLines lines;
    lines.Reset("a\r\na\r\nb");
    EXPECT_EQ(lines.LineCount(), 2u);
    EXPECT_FALSE(lines.AppendIfAbsent("a"));
    EXPECT_TRUE(lines.AppendIfAbsent("c"));  // the box now ends «bc\r\n»
    EXPECT_TRUE(lines.Contains("bc"));
    EXPECT_FALSE(lines.Contains("b"));
    EXPECT_TRUE(lines.AppendIfAbsent("b"));
    EXPECT_FALSE(lines.AppendIfAbsent("b"));
    EXPECT_EQ(lines.LineCount(), 3u);
    lines.Reset("");
    EXPECT_EQ(lines.LineCount(), 0u);
    EXPECT_FALSE(lines.Contains("a"));
}

// Enough lines to grow the table several times; every one stays found.
TEST(ResultLines, ManyLines) {
    ResultLines lines;
    lines.Reset("");
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(lines.AppendIfAbsent("line" + std::to_string(i)));
    EXPECT_EQ(lines.LineCount(), 100000u);
    for (int i = 0; i < 100000; i += 7) EXPECT_TRUE(lines.Contains("line" + std::to_string(i)));
    EXPECT_FALSE(lines.Contains("line100000"));
    EXPECT_FALSE(lines.Contains("line"));
}

// A line longer than the store's blocks, typed or appended, counts like any other.
TEST(ResultLines, VeryLongLines) {
    const std::string longLine(3 << 20, 'w');
    ResultLines lines;
    lines.Reset("a\r\n" + longLine + "\r\nb");
    EXPECT_TRUE(lines.Contains(longLine));
    EXPECT_FALSE(lines.Contains(longLine + "w"));
    EXPECT_TRUE(lines.AppendIfAbsent(longLine + "w"));  // continues «b»
    EXPECT_TRUE(lines.Contains("b" + longLine + "w"));
    EXPECT_TRUE(lines.AppendIfAbsent(longLine + "w"));
    EXPECT_FALSE(lines.AppendIfAbsent(longLine + "w"));
    EXPECT_FALSE(lines.AppendIfAbsent("a"));
    EXPECT_EQ(lines.LineCount(), 4u);
}

// Rollback forgets what came after Save: the set then answers as one built
// from the text at Save, whether the table grew meanwhile or not.
TEST(ResultLines, RollbackForgetsLaterLines) {
    struct RollbackCase {
        const char* name;
        std::string box;
        int before;  // lines appended before Save
        int after;   // lines appended after it
        bool longLine;
    };
    const RollbackCase cases[] = {
        {"few", "", 3, 5, false},
        {"table grows", "", 10, 5000, false},
        {"unfinished typed line", "typed", 0, 4, false},
        {"grows from many", "x\r\n", 3000, 40000, false},
        {"long line", "", 2, 3, true},
        {"nothing after", "a\r\nb", 5, 0, false},
    };
    for (const RollbackCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string box = c.box;
        ResultLines lines;
        lines.Reset(box);
        std::vector<std::string> probes = {"", "typed", "x", "a", "b"};
        for (int i = 0; i < c.before; ++i) {
            const std::string line = "L" + std::to_string(i % 700);  // repeats too
            lines.Append(line);
            box += line + "\r\n";
            probes.push_back(line);
        }
        const ResultLines::Checkpoint mark = lines.Save();
        for (int round = 0; round < 2; ++round) {  // going back twice to one mark
            for (int i = 0; i < c.after; ++i) {
                const std::string line = (c.longLine && i == 1) ? std::string(2 << 20, 'q') : "M" + std::to_string(i);
                lines.AppendIfAbsent(line);
                if (i < 50) probes.push_back(line);
            }
            lines.Rollback(mark);
            ResultLines fresh;
            fresh.Reset(box);
            EXPECT_EQ(lines.LineCount(), fresh.LineCount());
            for (const std::string& p : probes) EXPECT_EQ(lines.Contains(p), fresh.Contains(p)) << p;
        }
        // It goes on as the text at Save would.
        lines.Append("next");
        EXPECT_TRUE(lines.Contains(std::string(c.box == "typed" && c.before == 0 ? "typed" : "") + "next"));
    }
    // After a Reset an older mark is not ours any more.
    ResultLines lines;
    lines.Reset("a\r\n");
    const ResultLines::Checkpoint mark = lines.Save();
    lines.Reset("b\r\n");
    lines.Append("c");
    lines.Rollback(mark);
    EXPECT_TRUE(lines.Contains("b"));
    EXPECT_TRUE(lines.Contains("c"));
    EXPECT_FALSE(lines.Contains("a"));
}

}  // namespace
}  // namespace yz
