// What part of a dropped file's bytes becomes the column's text.
#include "columns/file_text.h"

#include <gtest/gtest.h>

#include <string>

namespace yz {
namespace {

TEST(TextFromFileBytes, EndsAtZeroOrCtrlZAtACharacterStart) {
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"plain text", "a\r\nb", "a\r\nb"},
        {"no bytes", "", ""},
        {"zero first", std::string("\0abc", 4), ""},
        {"ctrl-z first", "\x1A" "abc", ""},
        {"zero inside", std::string("ab\0cd", 5), "ab"},
        {"ctrl-z inside", "ab\x1A" "cd", "ab"},
        {"ctrl-z as trail byte is kept", "a\x81\x1A" "b\x1A" "c", "a\x81\x1A" "b"},
        {"zero after a lead byte ends before the lead", std::string("ab\x81\0cd", 6), "ab"},
        {"zero as the second character", std::string("\xB0\xA1\0", 3), "\xB0\xA1"},
        {"lead byte as the very last byte is kept", "ab\x81", "ab\x81"},
        {"only a lead byte", "\xB0", "\xB0"},
        {"utf-8 bom kept", "\xEF\xBB\xBF" "a\r\n", "\xEF\xBB\xBF" "a\r\n"},
        // UTF-16 LE "ab": FF FE 61 00 62 00; FF takes FE, then 61, then 00 ends.
        {"utf-16 le cut at its first zero", std::string("\xFF\xFE" "a\0b\0", 6), "\xFF\xFE" "a"},
        // UTF-16 LE of a CJK character: FF FE 4A 55 (U+554A), then 0D 00.
        {"utf-16 le two-byte unit", std::string("\xFF\xFE\x4A\x55\r\0", 6), "\xFF\xFE\x4A\x55\r"},
        {"trail byte 0x5C and CR kept", "\x81\x5C\x81\r\n", "\x81\x5C\x81\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextFromFileBytes(c.bytes.data(), c.bytes.size()), c.text) << c.what;
    }
    EXPECT_EQ(TextFromFileBytes(nullptr, 0), "");
}

}  // namespace
}  // namespace yz
