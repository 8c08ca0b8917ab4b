#pragma once

namespace quarvex {

class Toolkit;
struct WindowFields;

// The object list keeps the ticking order itself: whenever a mark changes,
// the entry moves within its kind's group so that the ticked entries stand
// at the top of the group in the order they were ticked. Reports its own
// failures.
void lstNames_ItemCheck(Toolkit& toolkit, WindowFields& fields, int item);

// Tick every entry of the current entry's kind, where they stand.
// Raise "SelectType: ", "SelectAll: ", "DeselectAll: " + description.
void SelectType(Toolkit& toolkit, WindowFields& fields);
void SelectAll(Toolkit& toolkit, WindowFields& fields);
void DeselectAll(Toolkit& toolkit, WindowFields& fields);

} // namespace quarvex
