// Hostile file contents dropped onto the columns of the real main window,
// in-process: random bytes, lone GBK lead bytes, UTF-16 both ways, stray CR
// and LF, lines of 0xFF. Each drop must come to a column whose list,
// count label and window text agree, and a run over such columns must end.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/program.h"
#include "columns/column_store.h"
#include "columns/drop_win.h"
#include "generator/generate_win.h"
#include "text/text.h"
#include "text/word_list.h"
#include "ui/runtime.h"
#include "tests/win/win_test_support.h"

using namespace yz;

using yz::test::Pump;
using yz::test::PumpUntil;
using yz::test::WriteFileBytes;

namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t n, int lo, int hi) {
    std::uniform_int_distribution<int> byte(lo, hi);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(byte(rng));
    return s;
}

std::string Utf16(const std::wstring& w, bool bigEndian) {
    std::string s = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : w) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        s += bigEndian ? hi : lo;
        s += bigEndian ? lo : hi;
    }
    return s;
}

class RelyDropTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::InitRuntime(); }
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"yz_rely_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(dir_.c_str(), nullptr);
        main_ = LoadMainWindow();
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(main_)) DestroyWindow(main_);
        PumpUntil([] { return !CombinationRunActive(); }, 10000);
        for (const std::wstring& f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(dir_.c_str());
    }
    std::wstring Write(const std::string& bytes) {
        const std::wstring path = dir_ + L"\\f" + std::to_wstring(files_.size()) + L".txt";
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        files_.push_back(path);
        return path;
    }
    // The column's list, its label and the text its box holds tell the same.
    static void ExpectColumnAgrees(int column) {
        const WordListPtr list = Columns().List(column);
        ASSERT_NE(list, nullptr);
        const std::string text = ui::GetText(ui::kColumnEdit[column]);
        EXPECT_EQ(list->MemberCount(), WordList::FromText(text).MemberCount());
        EXPECT_EQ(ui::GetText(ui::kColumnLabel[column]), IntegerToText(list->MemberCount()) + "个");
    }

    std::wstring dir_;
    std::vector<std::wstring> files_;
    HWND main_ = nullptr;
};

}  // namespace

TEST_F(RelyDropTest, HostileContentsBecomeConsistentColumnsAndARunOverThemEnds) {
    std::mt19937 rng(20261211);
    struct Case {
        const char* what;
        std::string bytes;
    };
    // 0xFF is no GBK lead byte. Few lines: each costs the edit box about 8 ms
    // under Wine (glyphs from no font).
    std::string ffLines;
    for (int i = 0; i < 256; ++i) ffLines += std::string(62, '\xFF') + "\r\n";
    std::string leadsAndLineEnds;
    for (int i = 0; i < 5000; ++i) leadsAndLineEnds += i % 3 ? "\x81\r\n" : "\xFE\r\r\n\n";
    const Case cases[] = {
        {"random bytes", RandomBytes(rng, 64 * 1024, 1, 255)},
        {"random bytes with zeros", RandomBytes(rng, 16 * 1024, 0, 255)},
        // One long line of two-byte characters: kept short, since the edit
        // box lays out such a line slowly under Wine (45 s for 100 KB).
        {"only bytes of 0x80 and above", RandomBytes(rng, 8 * 1024, 0x80, 0xFF)},
        {"lead bytes before line ends", leadsAndLineEnds},
        {"UTF-16 little-endian", Utf16(L"\u8BCD\u8BED\r\n\u7EC4\u5408\r\n", false)},
        {"UTF-16 big-endian", Utf16(L"\u8BCD\u8BED\r\n\u7EC4\u5408\r\n", true)},
        {"0xFF bytes in lines", ffLines},
        {"bare CR and LF", std::string(10000, '\r') + std::string(10000, '\n')},
        {"empty", ""},
    };
    int column = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        column = column % 4 + 1;
        ImportDroppedFiles(column, FilesFromNames({Write(c.bytes)}));
        Pump();
        ExpectColumnAgrees(column);
    }
    // Whatever the columns hold now, a de-duplicating run over all four ends.
    ImportDroppedFiles(1, FilesFromNames({Write(RandomBytes(rng, 8 * 1024, 1, 255))}));
    for (int k = 2; k <= 4; ++k) ui::SetChecked(ui::kColumnCheck[k], true);
    ui::SetChecked("选择框_去重", true);
    ui::SetText("编辑框_输出条数", "3000");
    GenerateCommand();
    ASSERT_TRUE(PumpUntil([] { return !CombinationRunActive(); }, 60000)) << "the run did not end";
    Pump();
    EXPECT_EQ(SendMessageW(ui::Window("进度条1"), PBM_GETPOS, 0, 0), 3000);
}
