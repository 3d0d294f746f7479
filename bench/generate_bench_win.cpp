// Drives the real program through a long combination run and compares it, in
// the same session, with the display floor: one write of the same final text
// into the same result box. Also reports how long the main window took at
// worst to answer a message sent during the run, and the program's peak
// memory.
//
//   generate_bench_win.exe --app=<path of the program> [--lines=100000] [--dedup]
//
// Without --lines it runs the three standard cases: 100,000 lines without and
// with de-duplication, and 1,000,000 lines without. Run under Wine with a
// display (see README).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/driver.h"

using namespace yz::e2e;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// A GBK word of `chars` level-1 hanzi, different for each i below 3755.
std::string Word(int i, int chars) {
    std::string w;
    for (int k = 0; k < chars; ++k) {
        const int n = (i * (k * 2 + 1) + k * 977) % 3755;  // 0xB0A1 .. 0xD7F9, 94 per row
        w.push_back(char(0xB0 + n / 94));
        w.push_back(char(0xA1 + n % 94));
    }
    return w;
}

std::string Column(int words, int salt) {
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i) text += "\r\n";
        text += Word(i + salt, 3);
    }
    return text;
}

// Sends a message to the window every ~20 ms and keeps the worst reply time.
class Prober {
public:
    Prober(HWND main, HWND box) : main_(main), box_(box), thread_([this] { Loop(); }) {}
    ~Prober() {
        stop_ = true;
        thread_.join();
    }
    double Worst() const { return worst_.load(); }
    double WorstAt() const { return worstAt_.load() - started_; }
    int Probes() const { return probes_.load(); }
    int Slow() const { return slow_.load(); }   // replies over 200 ms

private:
    void Loop() {
        bool text = false;
        while (!stop_) {
            DWORD_PTR result = 0;
            const double t0 = Now();
            SendMessageTimeoutW(text ? box_ : main_, text ? WM_GETTEXTLENGTH : WM_NULL, 0, 0,
                                SMTO_NORMAL, 60000, &result);
            const double t = Now() - t0;
            if (t > worst_.load()) {
                worst_.store(t);
                worstAt_.store(t0);
            }
            if (t > 0.2) ++slow_;
            ++probes_;
            text = !text;
            Sleep(20);
        }
    }
    HWND main_, box_;
    const double started_ = Now();
    std::atomic<bool> stop_{false};
    std::atomic<double> worst_{0};
    std::atomic<double> worstAt_{0};
    std::atomic<int> probes_{0};
    std::atomic<int> slow_{0};
    std::thread thread_;
};

struct Figures {
    double run = 0, floor = 0, worstReply = 0, worstAt = 0;
    int probes = 0, slow = 0;
    long lines = 0;
    SIZE_T peakWorkingSet = 0, peakPagefile = 0;
};

Figures Measure(int passes, bool dedup) {
    Figures f;
    App app;
    app.TypeAsUser("编辑框_第一列", Column(1000, 0));
    app.TypeAsUser("编辑框_第二列", Column(1000, 1777));
    app.Click("选择框_第二列");
    if (dedup) {
        app.Click("选择框_去重");
        if (HWND box = app.FindMessageBox("提示")) app.CloseMessageBox(box);
    }
    app.SetText("编辑框_输出条数", std::to_string(passes));
    const HWND result = app.Control("编辑框_结果");
    const HWND bar = app.Control("进度条1");
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, app.pid());
    struct Ended {
        HANDLE process;
        ~Ended() {
            DWORD code = 0;
            if (process && GetExitCodeProcess(process, &code) && code != STILL_ACTIVE)
                std::printf("  the program ended with exit code 0x%08lX\n", code);
        }
    } ended{process};

    {
        Prober prober(app.hwnd(), result);
        const double t0 = Now();
        app.Post(app.Control("按钮_输出"), BM_CLICK);
        for (;;) {
            DWORD_PTR pos = 0, max = 0;
            static DWORD_PTR lastPos = 0;
            SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 60000, &pos);
            SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 60000, &max);
            if (pos) lastPos = pos;
            if (!IsWindow(app.hwnd())) std::printf("  last bar position %lu\n", (unsigned long)lastPos);
            if (int(max) == passes && int(pos) == passes) break;
            if (!IsWindow(app.hwnd())) {
                std::printf("  the main window went after %.1f s\n", Now() - t0);
                break;
            }
            if (Now() - t0 > 1800) {
                std::printf("  timed out at %d of %d\n", int(pos), int(max));
                break;
            }
            Sleep(5);
        }
        // The last lines painted too, as the floor below.
        app.Send(result, WM_NULL);
        f.run = Now() - t0;
        f.worstReply = prober.Worst();
        f.worstAt = prober.WorstAt();
        f.probes = prober.Probes();
        f.slow = prober.Slow();
    }
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (process && GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
        f.peakWorkingSet = pmc.PeakWorkingSetSize;
        f.peakPagefile = pmc.PeakPagefileUsage;
    }
    f.lines = long(app.Send(result, EM_GETLINECOUNT)) - 1;

    // The floor: the same text written whole into the same box, by the
    // program itself (a large WM_SETTEXT from another process does not get
    // through under Wine): copied with its copy button, the box emptied, then
    // pasted back in one go.
    app.Click("按钮_复制");
    app.SetText("编辑框_结果", "");
    app.Send(result, WM_NULL);
    Sleep(300);
    const double t0 = Now();
    SendMessageTimeoutW(result, WM_PASTE, 0, 0, SMTO_NORMAL, 600000, nullptr);
    app.Send(result, WM_NULL);
    f.floor = Now() - t0;
    const long pasted = long(app.Send(result, EM_GETLINECOUNT)) - 1;
    if (pasted != f.lines) std::printf("  the floor pasted %ld lines, not %ld\n", pasted, f.lines);
    app.Close();
    app.WaitExit(30000);
    return f;
}

void Report(const char* name, int passes, bool dedup) {
    std::printf("%s: %d passes, de-duplication %s\n", name, passes, dedup ? "on" : "off");
    std::fflush(stdout);
    const Figures f = Measure(passes, dedup);
    std::printf("  lines %ld, run %.2f s, floor %.2f s, ratio %.2f, worst reply %.0f ms (at %.1f s; "
                "%d of %d over 200 ms), peak working set %.0f MB, peak private %.0f MB\n",
                f.lines, f.run, f.floor, f.floor > 0 ? f.run / f.floor : 0.0, f.worstReply * 1000, f.worstAt,
                f.slow, f.probes, double(f.peakWorkingSet) / 1048576.0, double(f.peakPagefile) / 1048576.0);
    std::fflush(stdout);
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int lines = 0;
    bool dedup = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.rfind(L"--lines=", 0) == 0) lines = _wtoi(a.c_str() + 8);
        if (a == L"--dedup") dedup = true;
    }
    LocalFree(argv);
    try {
        if (lines > 0) {
            Report("custom", lines, dedup);
        } else {
            Report("100k", 100000, false);
            Report("100k", 100000, true);
            Report("1M", 1000000, false);
        }
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
