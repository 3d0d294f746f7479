// A long session against the real program, shared by the end-to-end test and
// the benchmark: runs of a fixed size with a user's edits between them, and
// the program's private memory read after chosen runs.
#pragma once

// Version 2: GetProcessMemoryInfo from kernel32, no psapi.dll to link.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2
#endif
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "tests/e2e/driver.h"

namespace yz::e2e {

// Private bytes of another process (what it has committed for itself).
inline std::size_t PrivateBytes(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!h) throw std::runtime_error("OpenProcess failed: " + std::to_string(GetLastError()));
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    const BOOL ok = GetProcessMemoryInfo(h, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    CloseHandle(h);
    if (!ok) throw std::runtime_error("GetProcessMemoryInfo failed: " + std::to_string(GetLastError()));
    return pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
}

inline void CloseAnyMessageBox(App& app, Millis within) {
    if (HWND box = app.FindMessageBox("提示", within)) app.CloseMessageBox(box);
}

// `runs` runs of `lines` lines each; between them the columns get new words,
// an include box and 去重 flip, and the result is copied, exported and reset.
// Gives the private bytes after each run named in `measureAfter`.
inline std::map<int, std::size_t> LongSession(App& app, int runs, int lines, const std::set<int>& measureAfter) {
    std::map<int, std::size_t> bytes;
    const std::string count = std::to_string(lines);
    for (int r = 1; r <= runs; ++r) {
        std::string words;
        for (int i = 0; i < 200; ++i) words.append("w").append(std::to_string(r * 1000 + i)).append("\r\n");
        app.TypeAsUser("编辑框_第一列", words);
        app.TypeAsUser("编辑框_第二列", words + "x");
        if (r % 3 == 0) app.Click("选择框_第二列");
        if (r % 4 == 0) {
            app.Click("选择框_去重");
            if (app.Checked("选择框_去重")) CloseAnyMessageBox(app, 5000);
        }
        app.SetText("编辑框_输出条数", count);
        app.Click("按钮_输出");
        const int n = lines;
        if (!WaitFor([&] { return app.ProgressMax() == n && app.ProgressPos() == n; }, 60000))
            throw std::runtime_error("run " + std::to_string(r) + " did not end within 60 s");
        if (r % 5 == 0) {
            app.Click("按钮_复制");
            app.Click("按钮_导出");
            CloseAnyMessageBox(app, 5000);
        }
        if (measureAfter.count(r)) {
            // Let the run's thread end and its batch go.
            Sleep(300);
            app.Settle();
            bytes[r] = PrivateBytes(app.pid());
        }
        if (r < runs) app.Click("按钮_重置");
    }
    return bytes;
}

}  // namespace yz::e2e
