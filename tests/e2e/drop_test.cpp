// Real OLE drags of files onto the columns of the running program, made by
// the drag_source test program with real mouse input.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

using namespace yz::e2e;

namespace {

struct DragResult {
    bool finished = false;   // drag_source ran to its end
    DWORD exitCode = 0;
    unsigned long hr = 0;    // what DoDragDrop returned: the target's answer
    unsigned long effect = 0;
    unsigned long over = 0;  // the effect shown over the column at the release
    double dropMs = -1;      // button release to DoDragDrop's return
};

struct DragOptions {
    DragOptions(const char* keys = "", DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                bool textOnly = false)
        : keys(keys), allowed(allowed), textOnly(textOnly) {}
    const char* keys;  // "", "ctrl", "shift", "ctrlshift"
    DWORD allowed;
    bool textOnly;
    Millis timeout = 60000;
    std::wstring list;  // a UTF-8 file of more names, one a line
};

std::wstring DragSourcePath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"drag_source.exe";
}

// One drag from drag_source onto the middle of a control of the program. It
// runs on while the test looks at the program (a message box holds the drop).
class Drag {
public:
    Drag(const App& app, std::string_view box, const std::vector<std::wstring>& files, DragOptions options = {})
        : out_(app.Folder() + L"\\drag_result.txt"), options_(options) {
        DeleteFileW(out_.c_str());
        RECT r;
        GetWindowRect(app.Control(box), &r);
        std::wstring command = L"\"" + DragSourcePath() + L"\" --x=" + std::to_wstring((r.left + r.right) / 2) +
                               L" --y=" + std::to_wstring((r.top + r.bottom) / 2) + L" --out=\"" + out_ + L"\"" +
                               L" --allowed=" + std::to_wstring(options.allowed) +
                               L" --timeout=" + std::to_wstring(options.timeout);
        if (*options.keys) command += L" --keys=" + Wide(options.keys);
        if (options.textOnly) command += L" --text";
        if (!options.list.empty()) command += L" --list=\"" + options.list + L"\"";
        for (const std::wstring& f : files) command += L" \"" + f + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            throw std::runtime_error("drag_source did not start");
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
    ~Drag() {
        if (process_) {
            if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 9);
            CloseHandle(process_);
        }
    }
    DragResult Wait() {
        DragResult result;
        if (WaitForSingleObject(process_, options_.timeout + 15000) != WAIT_OBJECT_0) return result;
        GetExitCodeProcess(process_, &result.exitCode);
        const auto text = ReadFileBytes(out_);
        if (!text) return result;
        result.finished = std::sscanf(text->c_str(), "hr=0x%lX effect=%lu over=%lu drop_ms=%lf", &result.hr,
                                      &result.effect, &result.over, &result.dropMs) == 4;
        return result;
    }

private:
    std::wstring out_;
    DragOptions options_;
    HANDLE process_ = nullptr;
};

constexpr unsigned long kFail = 0x80004005;  // E_FAIL

// What a column shows: its text, its count and its include box.
struct ColumnState {
    std::string text, label;
    bool ticked;
    bool operator==(const ColumnState&) const = default;
};
ColumnState StateOf(const App& app, int column) {
    static const char* const edits[] = {"", "编辑框_第一列", "编辑框_第二列", "编辑框_第三列", "编辑框_第四列"};
    static const char* const labels[] = {"", "标签_第一列", "标签_第二列", "标签_第三列", "标签_第四列"};
    static const char* const checks[] = {"", "选择框_第一列", "选择框_第二列", "选择框_第三列", "选择框_第四列"};
    return {app.Text(edits[column]), app.Text(labels[column]), app.Checked(checks[column])};
}

TEST(FileDrop, ADroppedFileBecomesTheColumnAndTheNextDropReplacesIt) {
    App app;
    app.TypeAsUser("编辑框_第一列", "x");
    app.Click("选择框_第二列");
    const ColumnState first = StateOf(app, 1);

    const std::wstring words = app.InFolder("词语.txt");
    ASSERT_TRUE(WriteFileBytes(words, "a\r\nb\r\n"));
    // A name outside GBK opens too; UTF-8 content and its byte-order mark
    // arrive unconverted.
    const std::wstring utf8 = app.Folder() + L"\\\uD55C\u0E01.txt";
    ASSERT_TRUE(WriteFileBytes(utf8, "\xEF\xBB\xBF" "c\r\nd\r\ne"));
    const std::wstring empty = app.InFolder("空.txt");
    ASSERT_TRUE(WriteFileBytes(empty, ""));

    struct Step {
        const char* what;
        std::wstring file;
        DragOptions options;
        ColumnState after;
    };
    const Step steps[] = {
        {"a word file", words, {}, {"a\r\nb\r\n", "2个", true}},
        {"another file replaces it, Ctrl held", utf8, {"ctrl"}, {"\xEF\xBB\xBF" "c\r\nd\r\ne", "3个", true}},
        {"the same file again, Shift held", utf8, {"shift"}, {"\xEF\xBB\xBF" "c\r\nd\r\ne", "3个", true}},
        {"an empty file empties the column", empty, {}, {"", "0个", false}},
    };
    const unsigned long effects[] = {DROPEFFECT_COPY, DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_COPY};
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        Drag drag(app, "编辑框_第二列", {s.file}, s.options);
        const DragResult r = drag.Wait();
        ASSERT_TRUE(r.finished) << "exit code " << r.exitCode;
        EXPECT_EQ(r.hr, kFail) << "the drop is always answered E_FAIL";
        EXPECT_EQ(r.over, effects[i]);
        EXPECT_TRUE(app.ExpectNoMessageBox(200));
        EXPECT_EQ(StateOf(app, 2), s.after);
        EXPECT_EQ(StateOf(app, 1), first);
        EXPECT_EQ(StateOf(app, 3).label, "当前词数0个");
        ++i;
    }
    EXPECT_TRUE(FileExists(words)) << "the source must never take the drop as a move";
    // The drop targets let go of the column boxes as the window closes.
    app.Close();
    EXPECT_EQ(app.WaitExit(), std::optional<DWORD>(0));
}

TEST(FileDrop, ADropThatCannotBeReadKeepsTheColumnAndTellsTheUser) {
    App app;
    app.TypeAsUser("编辑框_第三列", "p\r\nq");
    app.Click("选择框_第三列");
    const ColumnState before = StateOf(app, 3);
    ASSERT_EQ(before, (ColumnState{"p\r\nq", "2个", true}));

    const std::wstring one = app.InFolder("一.txt"), two = app.InFolder("二.txt");
    ASSERT_TRUE(WriteFileBytes(one, "1"));
    ASSERT_TRUE(WriteFileBytes(two, "2"));
    const std::wstring folder = app.Folder();
    const std::wstring gone = app.InFolder("已删除.txt");
    // Held by another program without sharing.
    const std::wstring locked = app.InFolder("锁定.txt");
    ASSERT_TRUE(WriteFileBytes(locked, "x"));
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    // 2^31 bytes that take no room on the disk.
    const std::wstring huge = app.InFolder("巨大.txt");
    {
        HANDLE h = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at;
        at.QuadPart = 0x80000000LL;
        EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(h));
        CloseHandle(h);
    }
    // 1,000 files at once, more than a command line holds.
    std::string list;
    for (int i = 0; i < 1000; ++i) {
        const std::wstring name = app.InFolder("n" + std::to_string(i) + ".txt");
        ASSERT_TRUE(WriteFileBytes(name, "w"));
        const std::wstring wide = name + L"\n";
        std::string utf8(wide.size() * 3, '\0');
        utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), int(utf8.size()),
                                        nullptr, nullptr));
        list += utf8;
    }
    const std::wstring listFile = app.InFolder("names.lst");
    ASSERT_TRUE(WriteFileBytes(listFile, list));
    DragOptions thousand;
    thousand.list = listFile;

    struct Case {
        const char* what;
        std::vector<std::wstring> files;
        std::string message;
        DragOptions options;
    };
    const Case cases[] = {
        {"a folder and two files", {folder, one, two}, "一次只能拖入一个文件", {}},
        {"1,000 files", {}, "一次只能拖入一个文件", thousand},
        {"a folder", {folder}, "无法读取文件：" + Gbk(folder), {}},
        {"a file deleted before the drop", {gone}, "无法读取文件：" + Gbk(gone), {}},
        {"a file held without sharing", {locked}, "无法读取文件：" + Gbk(locked), {}},
        {"a file of 2^31 bytes", {huge}, "文件太大，无法导入：" + Gbk(huge), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Drag drag(app, "编辑框_第三列", c.files, c.options);
        const HWND box = app.FindMessageBox("提示", 15000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(app.MessageText(box), c.message);
        app.CloseMessageBox(box);
        const DragResult r = drag.Wait();
        ASSERT_TRUE(r.finished) << "exit code " << r.exitCode;
        EXPECT_EQ(r.hr, kFail);
        EXPECT_EQ(StateOf(app, 3), before);
    }
    CloseHandle(lock);
}

TEST(FileDrop, RefusedDragsChangeNothing) {
    App app;
    app.TypeAsUser("编辑框_第四列", "k");
    app.Click("选择框_第四列");
    const ColumnState before = StateOf(app, 4);
    const std::wstring file = app.InFolder("词.txt");
    ASSERT_TRUE(WriteFileBytes(file, "new\r\nwords"));

    struct Case {
        const char* what;
        DragOptions options;
    };
    const Case cases[] = {
        {"text, not a file list", {"", DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, true}},
        {"Ctrl and Shift held", {"ctrlshift"}},
        {"Shift held, the source allows only a copy", {"shift", DROPEFFECT_COPY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Drag drag(app, "编辑框_第四列", {file}, c.options);
        const DragResult r = drag.Wait();
        ASSERT_TRUE(r.finished) << "exit code " << r.exitCode;
        EXPECT_EQ(r.over, static_cast<unsigned long>(DROPEFFECT_NONE));
        EXPECT_EQ(r.effect, static_cast<unsigned long>(DROPEFFECT_NONE));
        EXPECT_TRUE(app.ExpectNoMessageBox(200));
        EXPECT_EQ(StateOf(app, 4), before);
    }
}

// A large word file is read, shown and counted. The time from the release
// of the button until the drop is answered (the edit control's layout of the
// text included) is reported.
void DropWordFile(int lines) {
    App app;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(lines) * 10);
    char line[16];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "w%07d\r\n", i);  // 10 bytes a line
        bytes += line;
    }
    const std::wstring file = app.InFolder("words.txt");
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    DragOptions options;
    options.timeout = 900000;
    Drag drag(app, "编辑框_第一列", {file}, options);
    const DragResult r = drag.Wait();
    ASSERT_TRUE(r.finished) << "exit code " << r.exitCode;
    EXPECT_EQ(r.hr, kFail);
    EXPECT_EQ(app.Text("标签_第一列"), std::to_string(lines) + "个");
    EXPECT_EQ(app.Text("编辑框_第一列").size(), bytes.size());
    ::testing::Test::RecordProperty("drop_total_ms", std::to_string(r.dropMs));
    std::printf("%d-line drop, release to answer (the box's layout included): %.0f ms\n", lines, r.dropMs);
}

TEST(FileDrop, OneMegabyteWordFile) { DropWordFile(100'000); }

// 10 MB, 1,000,000 lines: the column box takes it in a fraction of a second.
TEST(FileDrop, TenMegabyteWordFile) { DropWordFile(1'000'000); }

}  // namespace
