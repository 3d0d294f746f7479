// Text rules: folding, number reading and writing, join, search, bytes.
// Narrow literals are GBK here (the native build re-encodes them).
#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace yz {
namespace {

struct Case {
    std::string in;
    std::string out;
};

TEST(FoldFullWidth, FoldsOnlyTheListedCharacters) {
    const Case cases[] = {
        {"", ""},
        {"a 1", "a 1"},
        {"\xA3\xA1", "!"},                       // first full-width form
        {"\xA3\xFE", "~"},                       // last full-width form
        {"１２", "12"},
        {"＋－", "+-"},
        {"Ａａ", "Aa"},
        {"\xA1\xA1", " "},                       // ideographic space
        {"\xA1\xAB", "~"},                       // wave dash
        {"\xA1\xEE\xA1\xEF", "**"},              // the two stars
        {"\xA3\xA0", "\xA3\xA0"},                // just outside the range
        {"\xA3\xFF", "\xA3\xFF"},
        {"\xA2\xA1", "\xA2\xA1"},                // other lead byte
        {"个", "个"},
        {"1\xA3", "1"},                          // half a character at the end dropped
        {"\xA3", ""},
        // A3 is the trail of 80 A3, so A3 B3 is no «３»; B3 is then half a character.
        {"\x80\xA3\xB3", "\x80\xA3"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldFullWidth(c.in), c.out) << "input bytes: " << testing::PrintToString(c.in);
    }
}

TEST(TextToInteger, ReadsDecimalWithWrapAround) {
    const struct {
        std::string in;
        std::int32_t value;
    } cases[] = {
        {"12", 12},
        {"  -7abc", -7},
        {"+5", 5},
        {"- 5", 0},
        {"1 2", 1},
        {"12.9", 12},
        {"1,000", 1},
        {"0x10", 0},
        {"abc", 0},
        {"", 0},
        {"+", 0},
        {"-", 0},
        {"--5", 0},
        {"\t\n\v\f\r 42", 42},
        {"\x85" "5", 0},                 // no byte of 0x80 or above is white space
        {"\xA1\xA1" "5", 5},             // but the folded ideographic space is
        {"１２", 12},
        {"－３", -3},
        {"\xA1\xA1" "３", 3},
        {"１２个", 12},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967297", 1},
        {"4294967295", -1},
        {"-4294967295", 1},
        {"99999999999999999999", static_cast<std::int32_t>(1661992959u)},  // 10^20-1 mod 2^32
        {"007", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToInteger(c.in), c.value) << "input: " << testing::PrintToString(c.in);
    }
}

TEST(IntegerToText, WritesPlainDecimal) {
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {
        {0, "0"}, {12, "12"}, {-5, "-5"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IntegerToText(c.value), c.text);
        EXPECT_EQ(TextToInteger(IntegerToText(c.value)), c.value);
    }
}

TEST(TextBasics, EmptyLengthJoinBytes) {
    EXPECT_TRUE(IsEmptyText(""));
    EXPECT_TRUE(IsEmptyText(std::string_view()));
    EXPECT_FALSE(IsEmptyText(" "));
    EXPECT_FALSE(IsEmptyText("\r\n"));

    EXPECT_EQ(TextLength(std::string_view()), 0u);
    EXPECT_EQ(TextLength("个a"), 3u);

    EXPECT_EQ(JoinTexts({"ab", std::string_view(), "cd"}), "abcd");
    EXPECT_EQ(JoinTexts({std::string_view(), std::string_view()}), "");
    EXPECT_EQ(JoinTexts({"1", "", "2", "3", "个", "\r\n"}), "123个\r\n");

    EXPECT_EQ(TextToBytes("ab"), (std::vector<unsigned char>{0x61, 0x62}));
    EXPECT_TRUE(TextToBytes("").empty());
    EXPECT_EQ(TextToBytes("\xEF\xBB\xBF\r\n"), (std::vector<unsigned char>{0xEF, 0xBB, 0xBF, 0x0D, 0x0A}));
}

TEST(FindText, MatchesOnlyAtCharacterStarts) {
    const struct {
        std::string haystack;
        std::string needle;
        std::ptrdiff_t pos;
    } cases[] = {
        {"abc", "b", 2},
        {"abc", "B", -1},
        {"abc", "abcd", -1},
        {"abc", "", 1},
        {"", "", -1},
        {"", "a", -1},
        {"abc", "abc", 1},
        {"abcabc", "ca", 3},
        {"ａ", "a", -1},                          // full-width differs from half-width
        {"\xB0\xA1\xB0\xA1", "\xA1\xB0", -1},    // «啊啊» for «“»: bytes at 2 are a trail and a lead
        {"啊啊x", "x", 5},
        {"啊啊", "啊", 1},
        {"x啊啊", "啊", 2},
        {"\xB1\x5C" "\\", "\\", 3},              // trail byte 0x5C is not a backslash
        {"a\xB0", "\xB0", 2},                    // lone lead byte at the end still matches itself
        {"a\xB0", "x", -1},
        {"\xB0", "\xB0\xA1", -1},
        {"a\r\nb\r\n", "b\r\n", 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindText(c.haystack, c.needle), c.pos)
            << testing::PrintToString(c.haystack) << " / " << testing::PrintToString(c.needle);
    }
}

}  // namespace
}  // namespace yz
