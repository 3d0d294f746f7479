// The export file writer and the clipboard, against the real file system and
// clipboard (under Wine in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "output/result_io_win.h"
#include "ui/runtime.h"
#include "tests/win/win_test_support.h"

namespace yz {
using yz::test::FolderEntries;
using yz::test::OpenClipboardSoon;
using yz::test::ReadFileBytes;

namespace {

// <chrono> does not compile with the GBK execution character set (its
// "\u00b5s" suffix has no GBK form): time with the performance counter.
double NowMs() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// A fresh folder with a Chinese name, so that the GBK path must be converted
// with code page 936 to be found at all.
class ExportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dirGbk_ = std::string(tmp) + "导出测试乗" + std::to_string(GetCurrentProcessId());
        dir_ = ui::WideFromGbk(dirGbk_);
        RemoveTree(dir_);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
        pathGbk_ = dirGbk_ + "\\砚舟词语组合导出结果.txt";
        path_ = ui::WideFromGbk(pathGbk_);
    }
    void TearDown() override { RemoveTree(dir_); }

    static void RemoveTree(const std::wstring& dir) {
        for (const std::wstring& name : FolderEntries(dir)) {
            const std::wstring p = dir + L"\\" + name;
            if (GetFileAttributesW(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p);
            else DeleteFileW(p.c_str());
        }
        RemoveDirectoryW(dir.c_str());
    }

    std::string dirGbk_, pathGbk_;
    std::wstring dir_, path_;
};

TEST_F(ExportFileTest, WritesExactlyTheBytesAndReplacesTheWholeFile) {
    struct Case { const char* what; std::string bytes; };
    const Case cases[] = {
        {"two lines", "ab\r\ncd\r\n"},
        {"GBK words, one with the trail byte 0x5C", "砚舟\r\n乗\r\n"},
        {"empty result gives 0 bytes", ""},
        {"no final line break", "x"},
        {"longer again", std::string(100000, 'a') + "\r\n"},
        {"shorter after longer", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWholeFile(pathGbk_, c.bytes));
        EXPECT_EQ(ReadFileBytes(path_), c.bytes);
        EXPECT_EQ(FolderEntries(dir_).size(), 1u) << "a temporary file stayed behind";
    }
}

TEST_F(ExportFileTest, FileHeldOpenWithoutSharingFailsAndStaysAsItWas) {
    ASSERT_TRUE(WriteWholeFile(pathGbk_, "earlier\r\n"));
    HANDLE held = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteWholeFile(pathGbk_, "later\r\n"));
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(path_), "earlier\r\n");
    EXPECT_EQ(FolderEntries(dir_).size(), 1u) << "a temporary file stayed behind";
    // Once released the export works again.
    EXPECT_TRUE(WriteWholeFile(pathGbk_, "later\r\n"));
    EXPECT_EQ(ReadFileBytes(path_), "later\r\n");
}

TEST_F(ExportFileTest, PathsThatCannotBeWrittenFail) {
    // A folder in the file's place cannot be replaced by a file.
    ASSERT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    EXPECT_FALSE(WriteWholeFile(pathGbk_, "ab\r\n"));
    EXPECT_EQ(FolderEntries(dir_).size(), 1u) << "a temporary file stayed behind";
    EXPECT_TRUE(GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    // A folder that does not exist, and no name at all.
    EXPECT_FALSE(WriteWholeFile(dirGbk_ + "\\没有的文件夹\\a.txt", "ab"));
    EXPECT_FALSE(WriteWholeFile("", "ab"));
}

TEST(ExportMessageTest, SuccessOnlyWhenWrittenAndFailureNamesTheFile) {
    EXPECT_EQ(ExportMessage(true, "C:\\a\\b.txt"), "导出成功");
    const std::string failed = ExportMessage(false, "C:\\工具\\砚舟词语组合导出结果.txt");
    EXPECT_EQ(failed.rfind("导出失败", 0), 0u) << failed;
    EXPECT_NE(failed.find("C:\\工具\\砚舟词语组合导出结果.txt"), std::string::npos) << failed;
    EXPECT_EQ(CopyMessage(CopyOutcome::Placed), "");
    EXPECT_EQ(CopyMessage(CopyOutcome::Busy).rfind("复制失败", 0), 0u);
    EXPECT_EQ(CopyMessage(CopyOutcome::NotPlaced).rfind("复制失败", 0), 0u);
}

// Wine's clipboard manager may hold the clipboard for a moment after a
// change: open it in a short retry loop.
std::string ClipboardText() {
    if (!OpenClipboardSoon()) return "<not opened>";
    std::string out = "<no CF_TEXT>";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

void PutUnicodeText(const wchar_t* text) {
    ASSERT_TRUE(OpenClipboardSoon());
    EmptyClipboard();
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text, bytes);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

TEST(ClipboardTest, PlacesTheBytesAsTheyAreAndReplacesWhatWasThere) {
    const std::string cases[] = {"ab\r\ncd\r\n", "砚舟词语\r\n表\r\n", ""};
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        PutUnicodeText(L"earlier content");
        ASSERT_EQ(PutClipboardText(text), CopyOutcome::Placed);
        EXPECT_EQ(ClipboardText(), text);
    }
}

TEST(ClipboardTest, HeldByAnotherThreadGivesBusyAfterBriefRetriesAndChangesNothing) {
    PutUnicodeText(L"kept");
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Another program holds it through a window of its own (Wine lets two
    // openers without a window share it).
    std::thread holder([&] {
        HWND own = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        bool ok = false;
        for (int i = 0; i < 50 && !ok; ++i) {
            ok = OpenClipboard(own);
            if (!ok) Sleep(10);
        }
        SetEvent(opened);
        WaitForSingleObject(release, 10000);
        if (ok) CloseClipboard();
        DestroyWindow(own);
    });
    WaitForSingleObject(opened, 10000);
    const double start = NowMs();
    const CopyOutcome outcome = PutClipboardText("new");
    const double ms = NowMs() - start;
    SetEvent(release);
    holder.join();
    CloseHandle(opened);
    CloseHandle(release);
    EXPECT_EQ(outcome, CopyOutcome::Busy);
    EXPECT_GE(ms, 60) << "gave up without retrying";
    EXPECT_LT(ms, 500) << "kept the user waiting";
    EXPECT_EQ(ClipboardText(), "kept");
}

// 1,000,000 lines of 12 bytes, as a long run leaves them: one write of the
// file, one block on the clipboard, each well under a second.
TEST(ResultOutputSpeedTest, TwelveMegabytesWellUnderASecond) {
    std::string text;
    text.reserve(12'000'000);
    for (int i = 0; i < 1'000'000; ++i) text += "词语组合词5\r\n";
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string path = std::string(tmp) + "砚舟速度" + std::to_string(GetCurrentProcessId()) + ".txt";

    const double t0 = NowMs();
    ASSERT_TRUE(WriteWholeFile(path, text));
    const double t1 = NowMs();
    ASSERT_EQ(PutClipboardText(text), CopyOutcome::Placed);
    const double t2 = NowMs();
    const double exportMs = t1 - t0, copyMs = t2 - t1;
    std::printf("12 MB result: export %.0f ms, copy %.0f ms\n", exportMs, copyMs);
    EXPECT_EQ(ReadFileBytes(ui::WideFromGbk(path)).value_or("").size(), text.size());
    DeleteFileW(ui::WideFromGbk(path).c_str());
    EXPECT_LT(exportMs, 1000);
    EXPECT_LT(copyMs, 1000);
}

}  // namespace
}  // namespace yz
