// A combination run without the window: passes, draws, whole-line
// de-duplication. The Win32 layer feeds it the column store and shows what it
// makes in batches; tests drive it with a fixed seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "columns/column_store.h"
#include "text/word_list.h"

namespace yz {

// The lines the result box holds, for de-duplication by whole lines: the
// box's text cut at CR LF (at character starts, as a column is cut). A last
// piece without CR LF counts as a line; the next line appended continues it.
class ResultLines {
public:
    ResultLines();
    ~ResultLines();
    ResultLines(const ResultLines&) = delete;
    ResultLines& operator=(const ResultLines&) = delete;

    // «ab\r\n» holds the line «ab», «\r\n» one empty line, «» none, and «ab»
    // the unfinished line «ab».
    void Reset(std::string_view boxText);
    // The line equals a whole line of the box (the unfinished last one
    // included), byte for byte.
    bool Contains(std::string_view line) const;
    // The line was appended to the box, followed by CR LF: afterwards the set
    // is what Reset(old text + line + CR LF) would give.
    void Append(std::string_view line);
    // Append unless Contains; true when appended.
    bool AppendIfAbsent(std::string_view line);
    // The same with the line's Hash() known. Prefetch(hash) asks for the
    // table's memory ahead and, a little later, PrefetchLine(hash) for the
    // stored line that may match, so a run can look several lines up at once.
    static std::uint32_t Hash(std::string_view line);
    void Prefetch(std::uint32_t hash) const;
    void PrefetchLine(std::uint32_t hash) const;
    bool AppendIfAbsent(std::string_view line, std::uint32_t hash);
    // A point to go back to: Rollback forgets the lines appended since Save,
    // as long as no Reset came in between.
    struct Checkpoint {
        std::size_t blocks = 0;
        std::uint32_t used = 0;
        std::size_t slots = 0;
        std::size_t overflow = 0;
        std::string tail;
        bool afterLead = false;
        bool pendingCr = false;
        std::uint64_t generation = 0;
    };
    Checkpoint Save() const;
    void Rollback(const Checkpoint& checkpoint);
    // Distinct lines held, the unfinished last one included.
    std::size_t LineCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class CombinationRun {
public:
    struct Settings {
        std::int32_t passes = 0;   // N; below 1 makes no pass
        bool dedup = false;        // read once at the start of the run
        std::uint32_t seed = 0;    // from SeedRandom
    };

    CombinationRun(const ColumnStore& columns, Settings settings);
    ~CombinationRun();

    enum class Stop {
        Done,      // all N passes made
        Passes,    // maxPasses made
        Lines,     // maxLines added
        Bytes,     // the next line would take `out` past maxBytes; that pass is not
                   // made (the first line of a call is always taken)
    };
    struct Batch {
        std::int32_t passes = 0;   // passes made by this call, skipped ones included
        std::size_t lines = 0;     // lines appended to out
        Stop stop = Stop::Done;
    };

    // Goes on from the next pass. Each pass draws column 1, then columns 2, 3
    // and 4 that are ticked and not empty at that pass (reading the column
    // store), joins the words, and appends the line and CR LF to `out` unless
    // de-duplication finds it among the result's lines. A change of the
    // store made between two calls counts from the first pass of the next
    // call; one made during a call, from one of the passes that follow it.
    // With de-duplication the lines made are added to the result's lines.
    Batch Next(std::string& out, std::int32_t maxPasses, std::size_t maxLines, std::size_t maxBytes);

    std::int32_t PassesDone() const;
    std::int32_t Passes() const;
    bool Done() const;

    // Somebody else changed the result box: de-duplicate against this text.
    void ResetResultText(std::string_view boxText);

    // A point to go back to, to make a batch again. Restore puts back the
    // random state and the passes made; with de-duplication it also forgets
    // the lines made since the latest Save, unless ResetResultText came in
    // between (then that text is what counts).
    struct Mark {
        std::uint32_t random = 0;
        std::int32_t passesDone = 0;
        std::uint64_t save = 0;  // which Save gave it
    };
    Mark Save() const;
    void Restore(const Mark& mark);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace yz
