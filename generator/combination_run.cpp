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
    std::string line;                    // the pass's line, reused

    void Refresh() {
        const std::uint64_t v = columns.Version();
        if (v == version) return;
        // Read the version first: a change in between is caught next pass.
        version = v;
        for (int c = 1; c <= ColumnStore::kColumns; ++c) snapshots[c] = columns.Snapshot(c);
    }

    // Draws column 1, then each of columns 2..4 that takes part, in order;
    // a column that takes no part takes no number.
    void MakeLine() {
        line.clear();
        line.append(DrawMember(*snapshots[1].list, random));
        for (int c = 2; c <= ColumnStore::kColumns; ++c) {
            const ColumnSnapshot& s = snapshots[c];
            if (s.ticked && s.list->MemberCount() >= 1) line.append(DrawMember(*s.list, random));
        }
    }
};

CombinationRun::CombinationRun(const ColumnStore& columns, Settings settings)
    : impl_(std::make_unique<Impl>(columns, settings)) {
    if (settings.dedup) impl_->lines = std::make_unique<ResultLines>();
}

CombinationRun::~CombinationRun() = default;

CombinationRun::Batch CombinationRun::Next(std::string& out, std::int32_t maxPasses,
                                           std::size_t maxLines, std::size_t maxBytes) {
    Impl& d = *impl_;
    Batch batch;
    for (;;) {
        if (Done()) {
            batch.stop = Stop::Done;
            break;
        }
        if (batch.passes >= maxPasses) {
            batch.stop = Stop::Passes;
            break;
        }
        if (batch.lines >= maxLines) {
            batch.stop = Stop::Lines;
            break;
        }
        d.Refresh();
        const std::uint32_t before = d.random.State();
        d.MakeLine();
        // A call always takes its first line, so a long line cannot stall a
        // caller that empties `out` between calls. The check comes before the
        // de-duplication so that the set changes only with `out`; a pass put
        // back here is simply made again by the next call.
        if (batch.lines > 0 && out.size() + d.line.size() + 2 > maxBytes) {
            d.random.SetState(before);
            batch.stop = Stop::Bytes;
            break;
        }
        if (!d.lines || d.lines->AppendIfAbsent(d.line)) {
            out.append(d.line);
            out.append("\r\n", 2);
            ++batch.lines;
        }
        ++d.passesDone;
        ++batch.passes;
    }
    return batch;
}

std::int32_t CombinationRun::PassesDone() const { return impl_->passesDone; }
std::int32_t CombinationRun::Passes() const { return impl_->settings.passes; }
bool CombinationRun::Done() const { return impl_->passesDone >= impl_->settings.passes; }

void CombinationRun::ResetResultText(std::string_view boxText) {
    if (impl_->lines) impl_->lines->Reset(boxText);
}

CombinationRun::Mark CombinationRun::Save() const {
    return Mark{impl_->random.State(), impl_->passesDone};
}

void CombinationRun::Restore(const Mark& mark) {
    impl_->random.SetState(mark.random);
    std::int32_t done = mark.passesDone < 0 ? 0 : mark.passesDone;
    if (impl_->settings.passes > 0 && done > impl_->settings.passes) done = impl_->settings.passes;
    impl_->passesDone = done;
}

}  // namespace yz
