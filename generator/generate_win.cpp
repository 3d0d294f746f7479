// Generate command, de-duplication warning and the run's worker thread.
//
// The worker makes lines in batches (CombinationRun, no window involved) and
// hands each batch to the window thread in one synchronous call, which
// appends it at the end of the result box and moves the bar. Each batch is
// sized so that its append takes about a tenth of a second or a little more on
// the window thread: the edit control costs a fixed amount per append plus its
// layout per line, so one append per line would take days for 100,000 lines,
// and one append for everything would freeze the window for minutes.
//
// Only the current run may write: every call checks, on the window thread,
// that its run is still the current one, so a new request or the end of the
// program stops a run at its next batch without anybody waiting for it.
#include "generator/generate_win.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "columns/column_store.h"
#include "generator/combination_run.h"
#include "text/text.h"
#include "text/word_list.h"
#include "ui/runtime.h"

namespace yz {

namespace {

constexpr const char* kCountBox = "编辑框_输出条数";
constexpr const char* kResultBox = "编辑框_结果";
constexpr const char* kDedupBox = "选择框_去重";

constexpr const char* kAskCount = "请输入组合词个数";
constexpr const char* kDedupNote =
    "注意：使用去重会降低词语生成速度，如果需要生成大量组合词，可以导出后到wps中去重";
constexpr const char* kColumnOneEmpty = "第一列没有词语，请先输入词语";

// Batch sizing. An append's time is a fixed part (about 45 ms under Wine),
// a walk over the lines already in the box, and the layout of each new line;
// the target grows with the box so that the walk never eats most of it.
constexpr double kTargetSeconds = 0.10;
constexpr double kTargetSecondsPerBoxLine = 0.5e-6;
constexpr std::size_t kFirstBatchLines = 1000;
constexpr std::size_t kMinBatchLines = 500;
// Passes per batch without a call to the window thread: with de-duplication
// most passes may add nothing, and the run must still see a stop request and
// move the bar a few times a second.
constexpr std::int32_t kMaxPassesPerBatch = 1 << 18;
// How long the end of the program waits for the runs' threads.
constexpr DWORD kExitWaitMs = 5000;
// The window thread's idle tick: a timer message comes only when nothing else
// waits (input, posted messages, painting), so a batch handed over on the
// tick never delays the user. A worker that gets no tick for this long hands
// its batch over anyway.
constexpr UINT kIdleTickMs = 10;
constexpr DWORD kIdleWaitMs = 250;

ResultLimits g_limits;

// Window thread only, except the atomics.
struct State {
    std::atomic<std::uint32_t> currentRun{0};  // 0: none may write
    std::atomic<bool> ending{false};
    std::uint32_t lastRun = 0;
    std::vector<HANDLE> threads;
    HWND resultBox = nullptr;
    // Writes of the result box's whole text by anyone; with the edit
    // control's modified flag (set by every edit through the control, cleared
    // after each append of ours) it tells whether someone but the run changed
    // the box since the run last looked.
    std::uint32_t setTextCount = 0;
    std::uint32_t setTextSeen = 0;
    bool limitNoticePending = false;
    UINT_PTR idleTimer = 0;
    HANDLE idle = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto-reset
};

State& S() {
    static State s;
    return s;
}

std::string LimitMessage() {
    auto amount = [](std::size_t n) {
        if (n >= 10000 && n % 10000 == 0)
            return IntegerToText(static_cast<std::int32_t>(n / 10000)) + "万";
        return IntegerToText(static_cast<std::int32_t>(std::min<std::size_t>(n, 0x7FFFFFFF)));
    };
    return "结果已达到上限（" + amount(g_limits.lines) + "行或" + amount(g_limits.chars) +
           "字），已停止生成";
}

void CALLBACK LimitNotice(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    S().limitNoticePending = false;
    if (!S().ending.load()) ui::ShowMessage(LimitMessage());
}

bool AnyThreadRunning() {
    for (HANDLE h : S().threads)
        if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) return true;
    return false;
}

void CALLBACK IdleTick(HWND, UINT, UINT_PTR timer, DWORD) {
    State& s = S();
    if (!AnyThreadRunning()) {
        KillTimer(nullptr, timer);
        if (s.idleTimer == timer) s.idleTimer = 0;
        return;
    }
    SetEvent(s.idle);
}

// Worker: waits until the window thread has nothing else to do, or a while.
void WaitForIdleWindow(std::uint32_t run) {
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < kIdleWaitMs) {
        if (WaitForSingleObject(S().idle, 20) == WAIT_OBJECT_0) return;
        if (S().ending.load() || S().currentRun.load() != run) return;
    }
}

LRESULT CALLBACK ResultBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_SETTEXT) {
        ++S().setTextCount;
    } else if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, ResultBoxProc, id);
        S().resultBox = nullptr;
        // The controls go: no run may touch them any more.
        S().currentRun.store(0);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// Window thread.
HWND ResultBox() {
    State& s = S();
    if (s.resultBox && IsWindow(s.resultBox)) return s.resultBox;
    HWND box = ui::Window(kResultBox);
    if (!box) return nullptr;
    if (!SetWindowSubclass(box, ResultBoxProc, 1, 0)) return nullptr;
    s.resultBox = box;
    return box;
}

bool ChangedByOthers(HWND box) {
    return S().setTextCount != S().setTextSeen || SendMessageW(box, EM_GETMODIFY, 0, 0) != 0;
}

void MarkSeen(HWND box) {
    S().setTextSeen = S().setTextCount;
    SendMessageW(box, EM_SETMODIFY, FALSE, 0);
}

bool IsCurrent(std::uint32_t run) {
    const State& s = S();
    return !s.ending.load() && run != 0 && s.currentRun.load() == run && s.resultBox &&
           IsWindow(s.resultBox);
}

// Appends at the end without touching what is there. The user who works in
// the box keeps the caret, the selection and the view.
void AppendAtEnd(HWND box, const std::wstring& text) {
    const bool focused = GetFocus() == box;
    DWORD selStart = 0, selEnd = 0;
    LRESULT firstLine = 0;
    if (focused) {
        SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
        firstLine = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    }
    const LRESULT end = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(box, EM_SETSEL, end, end);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    if (focused) {
        SendMessageW(box, EM_SETSEL, selStart, selEnd);
        const LRESULT nowFirst = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
        if (nowFirst != firstLine) SendMessageW(box, EM_LINESCROLL, 0, firstLine - nowFirst);
    }
}

// What the box holds, for the limits.
struct BoxSize {
    std::size_t lines = 1;
    std::size_t chars = 0;
};

BoxSize MeasureBox(HWND box) {
    BoxSize b;
    const LRESULT lines = SendMessageW(box, EM_GETLINECOUNT, 0, 0);
    const LRESULT chars = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    b.lines = lines > 0 ? static_cast<std::size_t>(lines) : 1;
    b.chars = chars > 0 ? static_cast<std::size_t>(chars) : 0;
    return b;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency;
}

// The start of a run, on the window thread, in one call.
struct Start {
    bool ok = false;
    CombinationRun::Settings settings;
    BoxSize box;
};

void StartSteps(std::uint32_t run, Start& start) {
    if (!IsCurrent(run)) return;
    HWND box = S().resultBox;
    SetWindowTextW(box, L"");
    MarkSeen(box);
    const std::int32_t maximum = TextToInteger(ui::GetText(kCountBox));
    ui::SetProgressMax(maximum < 0 ? 0 : maximum);
    start.settings.dedup = ui::GetChecked(kDedupBox);
    Random seeded;
    start.settings.seed = SeedRandom(seeded, GetTickCount());
    start.settings.passes = TextToInteger(ui::GetText(kCountBox));
    start.box = MeasureBox(box);
    start.ok = true;
}

// One batch handed to the window thread.
struct Delivery {
    // in
    const std::wstring* text = nullptr;
    std::int32_t passesDone = 0;
    bool dedup = false;
    bool limitStop = false;
    // out
    bool gone = false;
    bool remake = false;
    std::string boxText;   // when remake: what the box holds now
    double seconds = 0;    // the append's time
    BoxSize box;
};

void Deliver(std::uint32_t run, Delivery& d) {
    if (!IsCurrent(run)) {
        d.gone = true;
        return;
    }
    State& s = S();
    HWND box = s.resultBox;
    if (d.dedup && ChangedByOthers(box)) {
        // The batch was checked against text that is no longer there.
        MarkSeen(box);
        d.boxText = ui::GetText(kResultBox);
        d.remake = true;
        d.box = MeasureBox(box);
        return;
    }
    if (!d.text->empty()) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        AppendAtEnd(box, *d.text);
        QueryPerformanceCounter(&t1);
        d.seconds = Seconds(t0, t1);
    }
    MarkSeen(box);
    ui::SetProgressPos(d.passesDone);
    d.box = MeasureBox(box);
    if (d.limitStop && !s.limitNoticePending) {
        // Told from the message loop once this run has let go, never from
        // inside the worker's call.
        if (SetTimer(nullptr, 0, 0, LimitNotice)) s.limitNoticePending = true;
    }
}

// Line ends in a wide batch up to `room` units: how many whole lines fit.
std::size_t LinesWithin(const std::wstring& text, std::size_t room) {
    std::size_t lines = 0;
    const std::size_t n = std::min(room, text.size());
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (text[i] == L'\r' && text[i + 1] == L'\n') {
            ++lines;
            ++i;
        }
    }
    return lines;
}

DWORD WINAPI RunThread(LPVOID param) {
    const auto run = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(param));
    Start start;
    if (!ui::OnWindowThread([&] { StartSteps(run, start); }) || !start.ok) return 0;
    if (start.settings.passes < 1) return 0;

    CombinationRun combos(Columns(), start.settings);
    const ResultLimits limits = g_limits;
    BoxSize box = start.box;
    std::size_t target = kFirstBatchLines;
    std::string batch;
    std::wstring wide;

    while (!combos.Done()) {
        if (S().ending.load() || S().currentRun.load() != run) return 0;
        const std::size_t roomLines = box.lines < limits.lines ? limits.lines - box.lines : 0;
        const std::size_t roomChars = box.chars < limits.chars ? limits.chars - box.chars : 0;

        const CombinationRun::Mark mark = combos.Save();
        batch.clear();
        wide.clear();
        bool limitStop = false;
        if (roomLines == 0 || roomChars == 0) {
            limitStop = true;
        } else {
            const std::size_t want = std::min(target, roomLines);
            // A GBK byte never makes more than one UTF-16 unit.
            const std::size_t maxBytes = roomChars > SIZE_MAX / 2 ? SIZE_MAX : roomChars * 2;
            const CombinationRun::Batch made = combos.Next(batch, kMaxPassesPerBatch, want, maxBytes);
            wide = ui::WideFromGbk(batch);
            if (wide.size() > roomChars) {
                // Make the batch again with only the lines that fit.
                const std::size_t fit = LinesWithin(wide, roomChars);
                combos.Restore(mark);
                batch.clear();
                if (fit > 0) combos.Next(batch, kMaxPassesPerBatch, fit, SIZE_MAX);
                wide = ui::WideFromGbk(batch);
                limitStop = true;
            } else if (made.stop == CombinationRun::Stop::Bytes ||
                       (made.stop == CombinationRun::Stop::Lines && want == roomLines)) {
                limitStop = !combos.Done();
            }
        }

        WaitForIdleWindow(run);
        Delivery d;
        d.text = &wide;
        d.passesDone = combos.PassesDone();
        d.dedup = start.settings.dedup;
        d.limitStop = limitStop;
        if (!ui::OnWindowThread([&] { Deliver(run, d); }) || d.gone) return 0;
        box = d.box;
        if (d.remake) {
            combos.ResetResultText(d.boxText);
            combos.Restore(mark);
            continue;
        }
        if (limitStop) return 0;

        // Aim the next append at the target time; the fixed part shrinks the
        // batch as the box grows only down to a floor.
        const std::size_t added = LinesWithin(wide, wide.size());
        if (added > 0 && d.seconds > 0) {
            const double goal = kTargetSeconds + kTargetSecondsPerBoxLine * static_cast<double>(box.lines);
            double next = static_cast<double>(added) * goal / d.seconds;
            next = std::min(next, 2.0 * static_cast<double>(std::max(added, target)));
            target = std::max(kMinBatchLines, static_cast<std::size_t>(next));
        }
    }
    return 0;
}

void ForgetEndedThreads() {
    auto& threads = S().threads;
    for (auto it = threads.begin(); it != threads.end();) {
        if (WaitForSingleObject(*it, 0) == WAIT_OBJECT_0) {
            CloseHandle(*it);
            it = threads.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

void GenerateCommand() {
    if (TextToInteger(ui::GetText(kCountBox)) < 1) {
        ui::ShowMessage(kAskCount);
        return;
    }
    // Every pass draws from column 1: without a word there is nothing to make.
    if (Columns().List(1)->MemberCount() < 1) {
        ui::ShowMessage(kColumnOneEmpty);
        return;
    }
    State& s = S();
    if (s.ending.load() || !ResultBox()) return;
    RegisterBeforeExit(StopCombinationRuns);
    ForgetEndedThreads();
    // The run under way stops at its next batch: it is no longer current.
    const std::uint32_t run = ++s.lastRun == 0 ? ++s.lastRun : s.lastRun;
    s.currentRun.store(run);
    HANDLE thread = CreateThread(nullptr, 0, RunThread,
                                 reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(run)), 0, nullptr);
    if (thread) s.threads.push_back(thread);
    if (thread && !s.idleTimer) s.idleTimer = SetTimer(nullptr, 0, kIdleTickMs, IdleTick);
}

void DedupWarning() {
    if (ui::GetChecked(kDedupBox)) ui::ShowMessage(kDedupNote);
}

void StopCombinationRuns() {
    State& s = S();
    s.ending.store(true);
    s.currentRun.store(0);
    const DWORD started = GetTickCount();
    while (!s.threads.empty()) {
        const DWORD waited = GetTickCount() - started;
        if (waited >= kExitWaitMs) break;
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(s.threads.size(), MAXIMUM_WAIT_OBJECTS - 1));
        // A worker may be inside a call to this thread: serve it (it sees the
        // stop and returns) instead of waiting for it blindly.
        const DWORD r = MsgWaitForMultipleObjects(count, s.threads.data(), FALSE, kExitWaitMs - waited,
                                                  QS_SENDMESSAGE);
        if (r < WAIT_OBJECT_0 + count) {
            CloseHandle(s.threads[r - WAIT_OBJECT_0]);
            s.threads.erase(s.threads.begin() + (r - WAIT_OBJECT_0));
        } else if (r == WAIT_OBJECT_0 + count) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else {
            break;
        }
    }
}

void SetResultLimitsForTest(const ResultLimits& limits) { g_limits = limits; }

bool CombinationRunActive() { return AnyThreadRunning(); }

}  // namespace yz
