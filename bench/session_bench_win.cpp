// A long session against the real program: 100 runs of 10,000 lines with
// new words, include boxes, 去重, copy, export and reset between them. Reports
// the program's private memory after runs 10, 25, 50 and 100 and the time
// per run. The end-to-end test runs a shorter session and asserts a bound.
// Run under Wine, on a display:
//   wine session_bench_win.exe --app=<path of YanzhouCombiner.exe> [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>

#include "tests/e2e/long_session.h"

using namespace yz::e2e;

int main(int argc, char** argv) {
    int runs = 100;
    for (int i = 1; i < argc; ++i)
        if (std::atoi(argv[i]) > 0) runs = std::atoi(argv[i]);
    try {
        App app;
        std::set<int> at;
        for (int r : {1, 10, 25, 50, 100})
            if (r <= runs) at.insert(r);
        at.insert(runs);
        const DWORD start = GetTickCount();
        const auto bytes = LongSession(app, runs, 10000, at);
        const DWORD ms = GetTickCount() - start;
        for (const auto& [run, b] : bytes)
            std::printf("after run %3d: private %.2f MB\n", run, double(b) / (1024.0 * 1024.0));
        if (bytes.count(10))
            std::printf("growth from run 10 to run %d: %.2f MB\n", runs,
                        (double(bytes.at(runs)) - double(bytes.at(10))) / (1024.0 * 1024.0));
        std::printf("%d runs of 10000 lines in %.1f s (%.2f s a run with the edits between)\n", runs, ms / 1000.0,
                    ms / 1000.0 / runs);
        app.Close();
        const auto code = app.WaitExit(20000);
        std::printf("exit code: %s\n", code ? std::to_string(*code).c_str() : "none (did not end)");
        return code && *code == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
}
