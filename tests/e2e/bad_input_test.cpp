// What users and the system throw at the real program: bad numbers pasted
// into the count box (each read as a 32-bit decimal with wrap-around,
// full-width digits folded; a huge count starts a run that neither reserves
// memory for the count it was given nor stops the window from answering), and
// an export onto a full disk.
#define PSAPI_VERSION 2
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "tests/e2e/driver.h"
#include "tests/e2e/long_session.h"

using namespace yz::e2e;

namespace {

constexpr const char* kAskCount = "请输入组合词个数";

// The reading the program must make, written out plainly: ASCII digits only
// (the table folds full-width ones itself), 32-bit wrap-around.
std::int32_t Wrapped(const std::string& sign, const std::string& digits) {
    std::uint32_t v = 0;
    for (char c : digits) v = v * 10u + std::uint32_t(c - '0');
    return std::int32_t(sign == "-" ? 0u - v : v);
}

int LineCount(App& app) { return int(app.Send(app.Control("编辑框_结果"), EM_GETLINECOUNT)) - 1; }

}  // namespace

TEST(BadCount, PastedNumbersAreReadWithWrapAroundAndFolding) {
    std::string tenThousandDigits(10000, '7');
    const struct {
        std::string pasted;
        std::int32_t count;
    } cases[] = {
        {"99999999999", Wrapped("", "99999999999")},   // 1215752191
        {"4294967299", 3},                               // 2^32 + 3
        {"2147483648", INT32_MIN},
        {"-2147483651", Wrapped("-", "2147483651")},   // wraps to a large positive count
        {"-5", -5},
        {"７", 7},                                      // full-width
        {"－８", -8},
        {"１２abc３", 12},
        {"  9 lines", 9},
        {"abc12", 0},
        {tenThousandDigits, Wrapped("", tenThousandDigits)},
        {"0000000000000000000000000000000000000004", 4},
    };
    App app;
    app.TypeAsUser("编辑框_第一列", "a\r\nb\r\nc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted.substr(0, 40));
        app.TypeAsUser("编辑框_输出条数", c.pasted);
        ASSERT_EQ(app.Text("编辑框_输出条数"), c.pasted) << "a paste is not filtered";
        app.Click("按钮_输出");
        if (c.count < 1) {
            HWND box = app.FindMessageBox("提示");
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(app.MessageText(box), kAskCount);
            app.CloseMessageBox(box);
            continue;
        }
        // The bar counts to the end of any count.
        ASSERT_TRUE(WaitFor([&] { return app.ProgressMax() == c.count && LineCount(app) > 0; }, 15000))
            << "bar maximum " << app.ProgressMax();
        if (c.count <= 100) {
            ASSERT_TRUE(WaitFor([&] { return app.ProgressPos() == c.count; }, 15000));
            EXPECT_EQ(LineCount(app), c.count);
        } else {
            // A count of a thousand million: lines come, the window answers,
            // and memory follows the lines made, not the count.
            Sleep(1500);
            app.Settle();
            EXPECT_LT(PrivateBytes(app.pid()), std::size_t(300) << 20);
        }
        EXPECT_TRUE(app.ExpectNoMessageBox(100));
    }
    // The last huge run is replaced by a small one, then the window closes.
    app.TypeAsUser("编辑框_输出条数", "９８７６５４３２１０");  // 9876543210 wraps to 1286608618
    app.Click("按钮_输出");
    ASSERT_TRUE(WaitFor([&] { return app.ProgressMax() == 1286608618 && LineCount(app) > 0; }, 15000));
    app.Close();
    const auto code = app.WaitExit(20000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

namespace {

constexpr const char* kExportName = "砚舟词语组合导出结果.txt";

std::string PressForMessage(App& app, const char* button) {
    app.Click(button);
    HWND box = app.FindMessageBox("提示", 10000);
    if (!box) return "(no message)";
    std::string text = app.MessageText(box);
    app.CloseMessageBox(box);
    return text;
}

// Fills the file system holding `path` until a write fails.
bool FillTheDisk(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::string chunk(4096, 'f');
    DWORD written = 0;
    int chunks = 0;
    while (chunks < 1 << 20 && WriteFile(h, chunk.data(), DWORD(chunk.size()), &written, nullptr) &&
           written == chunk.size())
        ++chunks;
    const DWORD err = GetLastError();
    CloseHandle(h);
    return err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL;
}

// Points the temporary folder (where App puts the program) elsewhere while
// it lives.
class TempFolderAt {
public:
    explicit TempFolderAt(const std::wstring& dir) {
        for (int i = 0; i < 2; ++i) {
            wchar_t buf[MAX_PATH] = {};
            had_[i] = GetEnvironmentVariableW(kNames[i], buf, MAX_PATH) > 0;
            saved_[i] = buf;
            SetEnvironmentVariableW(kNames[i], dir.c_str());
        }
    }
    ~TempFolderAt() {
        for (int i = 0; i < 2; ++i) SetEnvironmentVariableW(kNames[i], had_[i] ? saved_[i].c_str() : nullptr);
    }

private:
    static constexpr const wchar_t* kNames[2] = {L"TMP", L"TEMP"};
    bool had_[2] = {};
    std::wstring saved_[2];
};

}  // namespace

// A full disk: YZ_SMALL_DISK names a Unix folder on a small file system of
// its own (a few MB, room for the program and a little more), for example
//   mkdir -p /tmp/yz-small && mount -t tmpfs -o size=4m tmpfs /tmp/yz-small
// The program runs from there; a failed export says so and leaves the
// earlier export as it was, and no partial file behind.
TEST(ExportFaults, FullDiskIsToldAndKeepsTheEarlierExport) {
    const char* unixDir = std::getenv("YZ_SMALL_DISK");
    if (!unixDir || !*unixDir)
        GTEST_SKIP() << "set YZ_SMALL_DISK to a folder on a small file system (e.g. a 4 MB tmpfs) to run this";
    std::wstring dir = L"Z:" + Wide(unixDir);
    for (auto& c : dir)
        if (c == L'/') c = L'\\';
    std::unique_ptr<App> started;
    {
        TempFolderAt temp(dir);
        started = std::make_unique<App>();
    }
    App& app = *started;
    ASSERT_EQ(_wcsnicmp(app.Folder().c_str(), dir.c_str(), dir.size()), 0) << "the program is not on the small disk";

    app.SetText("编辑框_结果", "earlier\r\n");
    ASSERT_EQ(PressForMessage(app, "按钮_导出"), "导出成功");
    const std::wstring filler = app.InFolder("filler.bin");
    ASSERT_TRUE(FillTheDisk(filler)) << "the disk did not fill up";

    std::string later;
    for (int i = 0; i < 20000; ++i) later.append("later").append(std::to_string(i)).append("\r\n");
    app.SetText("编辑框_结果", later);
    const std::string message = PressForMessage(app, "按钮_导出");
    EXPECT_EQ(message.rfind("导出失败", 0), 0u) << message;
    EXPECT_EQ(ReadFileBytes(app.InFolder(kExportName)), std::optional<std::string>("earlier\r\n"));
    for (const char* stray : {".tmp"}) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((app.Folder() + L"\\*" + Wide(stray)).c_str(), &fd);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "a partial file is left behind";
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
    }
    EXPECT_TRUE(app.Running());

    // Room again: the same export goes through.
    ASSERT_TRUE(DeleteFileW(filler.c_str()));
    EXPECT_EQ(PressForMessage(app, "按钮_导出"), "导出成功");
    EXPECT_EQ(ReadFileBytes(app.InFolder(kExportName)), std::optional<std::string>(later));
    app.Close();
    EXPECT_EQ(app.WaitExit(), std::optional<DWORD>(0));
}
