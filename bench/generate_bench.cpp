// How fast the run makes lines without the window: 5,000,000 passes, column 1
// of 20,000 words and column 2 (ticked) of 5,000, with and without
// de-duplication. The Win32 layer takes the lines in batches; so does this.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "columns/column_store.h"
#include "generator/combination_run.h"
#include "text/word_list.h"

namespace {

// <chrono> cannot be built with the GBK execution character set.
double NowMs(clockid_t clock = CLOCK_MONOTONIC) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// count words of two to four GBK characters, each ending in CR LF.
std::string Words(int count, int salt) {
    static const char* const kSyllables[] = {
        "\xB4\xCA", "\xD3\xEF", "\xD7\xE9", "\xBA\xCF", "\xB5\xBC",  // some common GBK characters
        "\xB3\xF6", "\xBD\xE1", "\xB9\xFB", "\xD1\xE2", "\xD6\xDB",
        "\xC6\xBB", "\xCA\xD6", "\xBB\xFA", "\xBF\xC7", "\xC9\xFA",
    };
    std::string text;
    std::uint32_t x = static_cast<std::uint32_t>(salt) * 2654435761u + 1u;
    for (int i = 0; i < count; ++i) {
        const int length = 2 + i % 3;
        int v = i;
        for (int k = 0; k < length; ++k) {
            x = x * 1103515245u + 12345u;
            text += kSyllables[(static_cast<std::uint32_t>(v) + (x >> 16)) % 15];
            v /= 15;
        }
        text += "\r\n";
    }
    return text;
}

struct Result {
    double ms = 0;
    double cpuMs = 0;  // the figure to trust on a busy machine
    std::size_t lines = 0;
    std::size_t bytes = 0;
};

Result Run(const yz::ColumnStore& store, bool dedup, std::int32_t passes) {
    const double t0 = NowMs();
    const double c0 = NowMs(CLOCK_THREAD_CPUTIME_ID);
    yz::CombinationRun run(store, {passes, dedup, 12345u});
    std::string out;
    out.reserve(1 << 20);
    Result r;
    while (!run.Done()) {
        out.clear();
        const yz::CombinationRun::Batch b = run.Next(out, INT32_MAX, SIZE_MAX, 1 << 20);
        r.lines += b.lines;
        r.bytes += out.size();
    }
    r.ms = NowMs() - t0;
    r.cpuMs = NowMs(CLOCK_THREAD_CPUTIME_ID) - c0;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    // "off" or "on" runs only that half (for a profiler).
    const std::string only = argc > 1 ? argv[1] : "";
    constexpr std::int32_t kPasses = 5000000;
    yz::ColumnStore store;
    store.ReplaceWordList(1, std::make_shared<const yz::WordList>(yz::WordList::FromText(Words(20000, 1))));
    store.ReplaceWordList(2, std::make_shared<const yz::WordList>(yz::WordList::FromText(Words(5000, 2))));
    store.SetTicked(2, true);
    std::printf("column 1: %d words, column 2: %d words, %d passes\n", store.List(1)->MemberCount(),
                store.List(2)->MemberCount(), kPasses);

    int status = 0;
    for (bool dedup : {false, true}) {
        if (!only.empty() && only != (dedup ? "on" : "off")) continue;
        std::vector<double> ms;
        std::vector<double> cpu;
        Result r;
        for (int i = 0; i < 3; ++i) {
            r = Run(store, dedup, kPasses);
            ms.push_back(r.ms);
            cpu.push_back(r.cpuMs);
        }
        std::sort(ms.begin(), ms.end());
        std::sort(cpu.begin(), cpu.end());
        const double median = ms[1];
        std::printf("dedup %-3s: %.0f ms (median of 3, best %.0f; CPU %.0f ms), %zu lines, %.1f MB, "
                    "%.2f M passes/s\n",
                    dedup ? "on" : "off", median, ms.front(), cpu[1], r.lines, static_cast<double>(r.bytes) / 1e6,
                    static_cast<double>(kPasses) / median / 1e3);
        if (!dedup && r.lines != static_cast<std::size_t>(kPasses)) status = 1;
    }
    return status;
}
