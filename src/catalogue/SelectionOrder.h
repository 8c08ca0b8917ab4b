#pragma once

#include "base/ProcedureError.h"
#include "model/RunState.h"

namespace quarvex {

class Toolkit;

// The object list keeps the ticking order itself: whenever a mark changes,
// the entry moves within its kind's group so that the ticked entries stand
// at the top of the group in the order they were ticked. Reports its own
// failures.
void lstNames_ItemCheck(Toolkit& toolkit, RunState& runState, int item);

// Tick every entry of the current entry's kind, where they stand.
// Raise "SelectType: ", "SelectAll: ", "DeselectAll: " + description.
void SelectType(Toolkit& toolkit, RunState& runState);
void SelectAll(Toolkit& toolkit, RunState& runState);
void DeselectAll(Toolkit& toolkit, RunState& runState);

// Runs a change of entries or check marks with the item-check handler held
// off. The guard is lifted on every path, so a failure cannot leave later
// ticks unordered.
template <typename Body> void withItemCheckSuppressed(RunState& runState, Body&& body) {
    runState.SuppressItemCheck = true;
    const auto failure = failureOf(body);
    runState.SuppressItemCheck = false;
    if (failure)
        raise(*failure);
}

} // namespace quarvex
