// Generate command, de-duplication warning and the run's worker thread.
//
// The worker makes lines in batches (CombinationRun, no window involved) and
// leaves each batch in a one-batch mailbox; the window thread takes it on its
// idle tick, appends it at the end of the result box and moves the bar. Each
// batch is sized so that its append takes a little over a tenth of a second
// on the window thread: the edit control costs a fixed amount per append plus
// its layout per line, so one append per line would take days for 100,000
// lines, and one append for everything would freeze the window for minutes.
//
// Only the current run may write: every step checks, on the window thread,
// that its run is still the current one, so a new request or the end of the
// program stops a run at its next batch without anybody waiting for it.
#include "generator/generate_win.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
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

// Batch sizing. An append's time is a fixed part (tens of milliseconds under
// Wine, painting included), walks over the lines already in the box, and the
// layout of each new line; the target grows with the box so that the walks
// never eat most of it.
constexpr double kTargetSeconds = 0.11;
constexpr double kTargetSecondsPerBoxLine = 0.2e-6;        // up to kLargeBox lines
constexpr double kTargetSecondsPerLargeBoxLine = 1.0e-6;   // beyond
constexpr std::size_t kLargeBox = 100000;
constexpr std::size_t kFirstBatchLines = 400;
constexpr std::size_t kMinBatchLines = 400;
// Passes per batch without a call to the window thread: with de-duplication
// most passes may add nothing, and the run must still see a stop request and
// move the bar a few times a second.
constexpr std::int32_t kMaxPassesPerBatch = 1 << 18;
// How long the end of the program waits for the runs' threads.
constexpr DWORD kExitWaitMs = 5000;
// The window thread takes each batch on its idle tick: a timer message comes
// only when nothing else waits (input, posted messages, painting), so a batch
// never delays the user, and the worker, one batch ahead, is never waited for.
constexpr UINT kIdleTickMs = 10;

ResultLimits g_limits;

struct Mailbox;

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
    std::shared_ptr<Mailbox> mailbox;  // the current run's
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

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency;
}

// Appends at the end without touching what is there. The view is put back
// where it was, near the top unless the user scrolled: under Wine the control
// walks its lines from the first to paint one, so painting at the end of a
// long text is slow. A caret that stood at the end stays at the (new) end, so
// that the next append finds the selection where it goes and the control
// skips walking its lines for it; a caret or selection the user put elsewhere
// is put back. Drawing is off meanwhile, so the control's own scrolling to the
// new end and back costs nothing on the screen; only what is in view is
// painted again.
void AppendAtEnd(HWND box, const std::wstring& text) {
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const LRESULT firstLine = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    const LRESULT linesBefore = SendMessageW(box, EM_GETLINECOUNT, 0, 0);
    const LRESULT end = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    const bool caretAtEnd = selStart == selEnd && static_cast<LRESULT>(selEnd) == end;
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    if (!caretAtEnd) SendMessageW(box, EM_SETSEL, end, end);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    if (!caretAtEnd) SendMessageW(box, EM_SETSEL, selStart, selEnd);
    const LRESULT nowFirst = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (nowFirst != firstLine) SendMessageW(box, EM_LINESCROLL, 0, firstLine - nowFirst);
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    // The box shows a few dozen lines at most: below them nothing in view
    // changed but the scroll bar.
    constexpr LRESULT kMoreThanInView = 64;
    if (linesBefore <= firstLine + kMoreThanInView)
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    else
        SendMessageW(box, WM_NCPAINT, 1, 0);
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


// One batch handed to the window thread, and what became of it.
struct Delivery {
    // in
    std::wstring text;
    std::int32_t passesDone = 0;
    bool dedup = false;
    bool limitStop = false;
    // out
    bool gone = false;
    bool remake = false;
    std::string boxText;   // when remake: what the box holds now
    double seconds = 0;    // the window thread's time for it
    BoxSize box;
};

// A run's one-batch mailbox. The worker fills it and sets `full`; the window
// thread's idle tick empties it and signals `answered`.
struct Mailbox {
    explicit Mailbox(std::uint32_t r) : run(r) {}
    ~Mailbox() { CloseHandle(answered); }
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    const std::uint32_t run;
    HANDLE answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> full{false};
    Delivery d;
};

// The start of a run, on the window thread, in one call.
struct Start {
    bool ok = false;
    CombinationRun::Settings settings;
    BoxSize box;
};

void StartSteps(const std::shared_ptr<Mailbox>& mailbox, Start& start) {
    if (!IsCurrent(mailbox->run)) return;
    State& s = S();
    s.mailbox = mailbox;
    HWND box = s.resultBox;
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
    if (!d.text.empty()) AppendAtEnd(box, d.text);
    MarkSeen(box);
    // The bar paints itself at once on a new position; painted with the next
    // round of messages instead, it never adds to this step.
    HWND bar = ui::Window("进度条1");
    if (bar) SendMessageW(bar, WM_SETREDRAW, FALSE, 0);
    ui::SetProgressPos(d.passesDone);
    if (bar) {
        SendMessageW(bar, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(bar, nullptr, FALSE);
    }
    d.box = MeasureBox(box);
    if (d.limitStop && !s.limitNoticePending) {
        // Told from the message loop once this run has let go, never from
        // inside the run's own step.
        if (SetTimer(nullptr, 0, 0, LimitNotice)) s.limitNoticePending = true;
    }
}

void CALLBACK IdleTick(HWND, UINT, UINT_PTR timer, DWORD) {
    State& s = S();
    if (!AnyThreadRunning()) {
        KillTimer(nullptr, timer);
        if (s.idleTimer == timer) s.idleTimer = 0;
        s.mailbox.reset();
        return;
    }
    const std::shared_ptr<Mailbox> mailbox = s.mailbox;
    if (!mailbox || !mailbox->full.load(std::memory_order_acquire)) return;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    Deliver(mailbox->run, mailbox->d);
    QueryPerformanceCounter(&t1);
    mailbox->d.seconds = Seconds(t0, t1);
    mailbox->full.store(false, std::memory_order_release);
    SetEvent(mailbox->answered);
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

bool StillCurrent(std::uint32_t run) {
    return !S().ending.load() && S().currentRun.load() == run;
}

DWORD WINAPI RunThread(LPVOID param) {
    const auto run = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(param));
    const auto mailbox = std::make_shared<Mailbox>(run);
    if (!mailbox->answered) return 0;
    Start start;
    if (!ui::OnWindowThread([&] { StartSteps(mailbox, start); }) || !start.ok) return 0;
    if (start.settings.passes < 1) return 0;

    CombinationRun combos(Columns(), start.settings);
    const ResultLimits limits = g_limits;
    BoxSize box = start.box;
    std::size_t target = kFirstBatchLines;
    std::string batch;
    Delivery& d = mailbox->d;

    while (!combos.Done()) {
        if (!StillCurrent(run)) return 0;
        const std::size_t roomLines = box.lines < limits.lines ? limits.lines - box.lines : 0;
        const std::size_t roomChars = box.chars < limits.chars ? limits.chars - box.chars : 0;

        const CombinationRun::Mark mark = combos.Save();
        batch.clear();
        d.text.clear();
        bool limitStop = false;
        if (roomLines == 0 || roomChars == 0) {
            limitStop = true;
        } else {
            const std::size_t want = std::min(target, roomLines);
            // A GBK byte never makes more than one UTF-16 unit.
            const std::size_t maxBytes = roomChars > SIZE_MAX / 2 ? SIZE_MAX : roomChars * 2;
            const CombinationRun::Batch made = combos.Next(batch, kMaxPassesPerBatch, want, maxBytes);
            d.text = ui::WideFromGbk(batch);
            if (d.text.size() > roomChars) {
                // Make the batch again with only the lines that fit.
                const std::size_t fit = LinesWithin(d.text, roomChars);
                combos.Restore(mark);
                batch.clear();
                if (fit > 0) combos.Next(batch, kMaxPassesPerBatch, fit, SIZE_MAX);
                d.text = ui::WideFromGbk(batch);
                limitStop = true;
            } else if (made.stop == CombinationRun::Stop::Bytes ||
                       (made.stop == CombinationRun::Stop::Lines && want == roomLines)) {
                limitStop = !combos.Done();
            }
        }

        d.passesDone = combos.PassesDone();
        d.dedup = start.settings.dedup;
        d.limitStop = limitStop;
        d.gone = d.remake = false;
        d.boxText.clear();
        d.seconds = 0;
        mailbox->full.store(true, std::memory_order_release);
        while (mailbox->full.load(std::memory_order_acquire)) {
            WaitForSingleObject(mailbox->answered, 50);
            if (!StillCurrent(run)) return 0;
        }
        if (d.gone) return 0;
        box = d.box;
        if (d.remake) {
            combos.ResetResultText(d.boxText);
            combos.Restore(mark);
            continue;
        }
        if (limitStop) return 0;

        // Aim the next batch at the target time on the window thread; as the
        // box grows the target grows with it, so that the control's walk over
        // its lines never takes most of an append.
        const std::size_t added = LinesWithin(d.text, d.text.size());
        if (added > 0 && d.seconds > 0) {
            const double small = static_cast<double>(std::min(box.lines, kLargeBox));
            const double large = static_cast<double>(box.lines - std::min(box.lines, kLargeBox));
            const double goal =
                kTargetSeconds + kTargetSecondsPerBoxLine * small + kTargetSecondsPerLargeBoxLine * large;
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

void AllowCombinationRunsForTest() { S().ending.store(false); }

}  // namespace yz
