// How long the split of a large column takes: 10 MB of short GBK words.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "text/word_list.h"

namespace {
// <chrono> is out: its "\u00b5s" has no GBK form, and sources build with GBK literals.
double NowMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}
}  // namespace

int main() {
    // 1,000,000 lines of about 10 bytes: four two-byte characters and a
    // counter digit, each line ending in CR LF.
    static const char* const kSyllables[] = {
        "\xB4\xCA", "\xD3\xEF", "\xD7\xE9", "\xBA\xCF", "\xB5\xBC",  // some common GBK characters
        "\xB3\xF6", "\xBD\xE1", "\xB9\xFB", "\xD1\xE2", "\xD6\xDB",
    };
    constexpr int kLines = 1000000;
    std::string text;
    text.reserve(static_cast<std::size_t>(kLines) * 12);
    for (int i = 0; i < kLines; ++i) {
        for (int k = 0; k < 4; ++k) text += kSyllables[(i * 7 + k * 3) % 10];
        text += static_cast<char>('0' + i % 10);
        text += "\r\n";
    }

    // Wall time, and the process's CPU time, which a busy shared machine
    // disturbs far less.
    std::vector<double> ms;
    std::vector<double> cpu;
    std::int32_t count = 0;
    for (int run = 0; run < 11; ++run) {
        const double c0 = NowMs(CLOCK_PROCESS_CPUTIME_ID);
        const double t0 = NowMs(CLOCK_MONOTONIC);
        const yz::WordList list = yz::WordListFromText(text);
        const double t1 = NowMs(CLOCK_MONOTONIC);
        const double c1 = NowMs(CLOCK_PROCESS_CPUTIME_ID);
        count = list.MemberCount();
        ms.push_back(t1 - t0);
        cpu.push_back(c1 - c0);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("split %.1f MB (%d lines): %.1f ms (median of %zu runs, best %.1f ms)\n",
                static_cast<double>(text.size()) / 1e6, kLines, ms[ms.size() / 2], ms.size(), ms.front());
    std::printf("split %.1f MB cpu time: %.1f ms (median)\n", static_cast<double>(text.size()) / 1e6,
                cpu[cpu.size() / 2]);
    std::printf("members: %d\n", count);
    return count == kLines ? 0 : 1;
}
