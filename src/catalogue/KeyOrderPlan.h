#pragma once

#include "catalogue/ForeignKeyQuery.h"
#include "model/Toolkit.h"

#include <QList>
#include <QStringList>

namespace quarvex {

// The ticked tables of the list in an order their foreign keys can load in,
// worked out in full before the list changes.
struct KeyOrderPlan {
    // The rows of the ticked table entries, top down, and the entry each of
    // those rows is to hold. Every other row keeps its entry.
    QList<int> rows;
    QList<ListEntry> entries;
    // How many of those rows change their entry.
    int moved = 0;
    // Ticked tables that reference each other in a cycle, "owner.name" in list
    // order; one list per cycle, the cycles by their first table.
    QList<QStringList> cycles;
    // Ticked tables that another table references, in list order: truncation
    // of these is refused.
    QStringList referenced;
};

// A stable order: again and again, the first ticked table in the current
// order whose referenced ticked tables are all placed. Tables in a cycle
// keep their order among themselves and wait, each, only for the tables
// outside the cycle that they reference. References to unticked or unlisted
// tables do not count.
KeyOrderPlan planKeyOrder(const ObjectList& list, const QList<TableReference>& references);

} // namespace quarvex
