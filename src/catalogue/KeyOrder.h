#pragma once

#include "catalogue/ForeignKeyQuery.h"
#include "model/Settings.h"

#include <QList>

namespace quarvex {

class Toolkit;
struct RunState;

// "Key Order": reads the foreign keys over a connection of its own and puts
// the ticked tables of the list in an order they can load in (see
// planKeyOrder); unticked entries and the other kinds stay where they are.
// The status line says how many entries moved, names the tables of a cycle
// and those that reference themselves, and with grouping off, which ticked
// tables cannot be truncated.
// Raises "KeyOrder: " + description, with the SQL that failed; the list is
// left as it was then.
void KeyOrder(Toolkit& toolkit, RunState& runState, const Settings& settings);

// The same over references already read: reorders the list in place, keeping
// the current row and the scroll position, and sets the status line.
void orderByKeys(Toolkit& toolkit, RunState& runState, const QList<TableReference>& references,
                 bool groupedDeletes);

} // namespace quarvex
