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

}  // namespace
}  // namespace yz
