// The combination run on its worker thread: what the rest of the Win32 layer
// and the tests may ask of it besides the two handlers in app/handlers.h.
#pragma once

#include <cstddef>

namespace yz {

// The most the result box is let grow to by a run: past it the run stops,
// keeps what it made and tells the user once. Lines are the box's lines as the
// edit control counts them (a wrapped line counts once per screen line: each
// costs the control memory); characters are UTF-16 units, what it stores.
struct ResultLimits {
    std::size_t lines = 2000000;
    std::size_t chars = 32000000;
};

// Tells every run to stop and waits, a bounded time, until their threads have
// ended. Registered as a before-exit routine by the first generate command;
// window thread only.
void StopCombinationRuns();

// Tests: a smaller limit, whether a run is still going, and new runs allowed
// again after StopCombinationRuns.
void SetResultLimitsForTest(const ResultLimits& limits);
bool CombinationRunActive();
void AllowCombinationRunsForTest();

}  // namespace yz
