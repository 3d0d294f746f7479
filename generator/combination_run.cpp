#include "generator/combination_run.h"

#include <array>

namespace yz {

struct CombinationRun::Impl {
    Impl(const ColumnStore& c, Settings s) : columns(c), settings(s), random(s.seed) {}

    const ColumnStore& columns;
    const Settings settings;
    Random random;
    std::int32_t passesDone = 0;

    // The columns as last read: reloaded only when the store's version moved,
    // so a change is seen from the next pass on at the cost of one atomic
    // load per pass. The lists stay alive while held here.
    std::array<ColumnSnapshot, ColumnStore::kColumns + 1> snapshots{};
    std::uint64_t version = 0;

    std::unique_ptr<ResultLines> lines;  // only with de-duplication
    // The lines as at the latest Save, while no ResetResultText came since.
    ResultLines::Checkpoint saved;
    std::uint64_t saves = 0;
    bool savedValid = false;
    std::string line;                    // the pass's line, reused

    // With de-duplication the passes are drawn a few ahead of their look-up,
    // so the table's memory for several lines is fetched at once. Only within
    // one call: what is left over at its end is put back, so a change made
    // between calls is seen from the next pass, as without look-ahead.
    static constexpr int kAhead = 16;
    struct Ahead {
        std::string line;
        std::uint32_t hash = 0;
        std::uint32_t randomBefore = 0;
    };
    std::array<Ahead, kAhead> ahead;
    int aheadFirst = 0;
    int aheadCount = 0;

    void Refresh() {
        const std::uint64_t v = columns.Version();
        if (v == version) return;
        // Read the version first: a change in between is caught next pass.
        version = v;
        for (int c = 1; c <= ColumnStore::kColumns; ++c) snapshots[c] = columns.Snapshot(c);
    }

    // Draws column 1, then each of columns 2..4 that takes part, in order;
    // a column that takes no part takes no number.
    void MakeLine(std::string& into) {
        into.clear();
        into.append(DrawMember(*snapshots[1].list, random));
        for (int c = 2; c <= ColumnStore::kColumns; ++c) {
            const ColumnSnapshot& s = snapshots[c];
            if (s.ticked && s.list->MemberCount() >= 1) into.append(DrawMember(*s.list, random));
        }
    }

    Batch NextPlain(std::string& out, std::int32_t maxPasses, std::size_t maxLines, std::size_t maxBytes);
    Batch NextDedup(std::string& out, std::int32_t maxPasses, std::size_t maxLines, std::size_t maxBytes);

    // The stop before the next pass, if any.
    bool Stopped(const Batch& batch, std::int32_t maxPasses, std::size_t maxLines, Stop& stop) const {
        if (passesDone >= settings.passes) {
            stop = Stop::Done;
        } else if (batch.passes >= maxPasses) {
            stop = Stop::Passes;
        } else if (batch.lines >= maxLines) {
            stop = Stop::Lines;
        } else {
            return false;
        }
        return true;
    }

    // A call always takes its first line, so a long line cannot stall a
    // caller that empties `out` between calls.
    static bool OverBytes(const Batch& batch, const std::string& out, std::size_t lineSize, std::size_t maxBytes) {
        return batch.lines > 0 && out.size() + lineSize + 2 > maxBytes;
    }
};

CombinationRun::Batch CombinationRun::Impl::NextPlain(std::string& out, std::int32_t maxPasses,
                                                      std::size_t maxLines, std::size_t maxBytes) {
    Batch batch;
    while (!Stopped(batch, maxPasses, maxLines, batch.stop)) {
        Refresh();
        const std::uint32_t before = random.State();
        MakeLine(line);
        if (OverBytes(batch, out, line.size(), maxBytes)) {
            random.SetState(before);
            batch.stop = Stop::Bytes;
            break;
        }
        out.append(line);
        out.append("\r\n", 2);
        ++batch.lines;
        ++passesDone;
        ++batch.passes;
    }
    return batch;
}

CombinationRun::Batch CombinationRun::Impl::NextDedup(std::string& out, std::int32_t maxPasses,
                                                      std::size_t maxLines, std::size_t maxBytes) {
    Batch batch;
    aheadFirst = 0;
    aheadCount = 0;
    while (!Stopped(batch, maxPasses, maxLines, batch.stop)) {
        // Draw ahead, never beyond the passes this call may still make.
        while (aheadCount < kAhead && passesDone + aheadCount < settings.passes &&
               batch.passes + aheadCount < maxPasses) {
            Ahead& a = ahead[static_cast<std::size_t>((aheadFirst + aheadCount) % kAhead)];
            Refresh();
            a.randomBefore = random.State();
            MakeLine(a.line);
            a.hash = ResultLines::Hash(a.line);
            lines->Prefetch(a.hash);
            ++aheadCount;
        }
        if (aheadCount > kAhead / 2) {
            lines->PrefetchLine(ahead[static_cast<std::size_t>((aheadFirst + kAhead / 2) % kAhead)].hash);
        }
        Ahead& a = ahead[static_cast<std::size_t>(aheadFirst)];
        // The byte check comes before the look-up so that the set changes
        // only with `out`; a pass put back here is made again next call.
        if (OverBytes(batch, out, a.line.size(), maxBytes)) {
            batch.stop = Stop::Bytes;
            break;
        }
        if (lines->AppendIfAbsent(a.line, a.hash)) {
            out.append(a.line);
            out.append("\r\n", 2);
            ++batch.lines;
        }
        aheadFirst = (aheadFirst + 1) % kAhead;
        --aheadCount;
        ++passesDone;
        ++batch.passes;
    }
    // The passes drawn but not made are made again by the next call.
    if (aheadCount > 0) random.SetState(ahead[static_cast<std::size_t>(aheadFirst)].randomBefore);
    aheadCount = 0;
    return batch;
}

CombinationRun::CombinationRun(const ColumnStore& columns, Settings settings)
    : impl_(std::make_unique<Impl>(columns, settings)) {
    if (settings.dedup) impl_->lines = std::make_unique<ResultLines>();
}

CombinationRun::~CombinationRun() = default;

CombinationRun::Batch CombinationRun::Next(std::string& out, std::int32_t maxPasses,
                                           std::size_t maxLines, std::size_t maxBytes) {
    return impl_->lines ? impl_->NextDedup(out, maxPasses, maxLines, maxBytes)
                        : impl_->NextPlain(out, maxPasses, maxLines, maxBytes);
}

std::int32_t CombinationRun::PassesDone() const { return impl_->passesDone; }
std::int32_t CombinationRun::Passes() const { return impl_->settings.passes; }
bool CombinationRun::Done() const { return impl_->passesDone >= impl_->settings.passes; }

void CombinationRun::ResetResultText(std::string_view boxText) {
    if (impl_->lines) impl_->lines->Reset(boxText);
    impl_->savedValid = false;
}

CombinationRun::Mark CombinationRun::Save() const {
    Impl& d = *impl_;
    ++d.saves;
    if (d.lines) {
        d.saved = d.lines->Save();
        d.savedValid = true;
    }
    return Mark{d.random.State(), d.passesDone, d.saves};
}

void CombinationRun::Restore(const Mark& mark) {
    Impl& d = *impl_;
    if (d.lines && d.savedValid && mark.save == d.saves) d.lines->Rollback(d.saved);
    impl_->random.SetState(mark.random);
    std::int32_t done = mark.passesDone < 0 ? 0 : mark.passesDone;
    if (impl_->settings.passes > 0 && done > impl_->settings.passes) done = impl_->settings.passes;
    impl_->passesDone = done;
}

}  // namespace yz
