// The program's directory from its module path, and the export file's name.
#include "output/program_directory.h"

#include <gtest/gtest.h>

#include <string>

namespace yz {
namespace {

TEST(DirectoryOfModulePath, CutsBeforeTheLastRealBackslash) {
    const struct {
        std::string path;
        std::string dir;
    } cases[] = {
        {"C:\\Tools\\a.exe", "C:\\Tools"},
        {"D:\\a.exe", "D:"},
        {"a.exe", ""},
        {"", ""},
        {"\\\\server\\share\\a.exe", "\\\\server\\share"},
        // 乗 (81 5C) and 淺 (9C 5C) end in the byte of a backslash.
        {"C:\\乗\\a.exe", "C:\\乗"},
        {"C:\\Tools\\淺.exe", "C:\\Tools"},
        {"C:\\淺", "C:"},
        {"乗.exe", ""},
        {"C:\\工具\\表\\b.exe", "C:\\工具\\表"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectoryOfModulePath(c.path), c.dir) << testing::PrintToString(c.path);
    }
}

TEST(ExportFilePath, DirectoryThenTheFixedName) {
    EXPECT_EQ(ExportFilePath("C:\\Tools"), "C:\\Tools\\砚舟词语组合导出结果.txt");
    EXPECT_EQ(ExportFilePath("D:"), "D:\\砚舟词语组合导出结果.txt");
    // The name's GBK bytes, as iconv gives them.
    EXPECT_EQ(ExportFilePath(""),
              "\\\xD1\xE2\xD6\xDB\xB4\xCA\xD3\xEF\xD7\xE9\xBA\xCF\xB5\xBC\xB3\xF6\xBD\xE1\xB9\xFB.txt");
}

}  // namespace
}  // namespace yz
