#pragma once

#include "model/RunState.h"

#include <QString>

namespace quarvex {

class Toolkit;

// An object named on the command line, with the row filter it may carry
// after the word "where": "table:dbo.Orders where Region = 'EU'".
struct ObjectArgument {
    QString name;
    QString rowFilter;
};
ObjectArgument splitObjectArgument(const QString& argument);

// Raises, naming the table and the condition, when a row filter is not a
// single condition by the rules of the list filters, or holds a line break
// or another control character that a script line cannot carry, or "$(",
// which sqlcmd replaces.
void checkRowFilter(const QString& table, const QString& condition);

// Gives the entry at index the row filter condition (empty clears it); the
// entry keeps its place and its tick. Only a table takes one.
// Raises "RowFilter: " + description.
void RowFilter(Toolkit& toolkit, RunState& runState, int index, const QString& condition);

} // namespace quarvex
