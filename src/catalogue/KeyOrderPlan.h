#pragma once

#include "catalogue/ForeignKeyQuery.h"
#include "model/Toolkit.h"

#include <QList>
#include <QStringList>

namespace quarvex {

// A foreign key that no order of the ticked tables satisfies: a table's key
// to itself, or a key between tables of one cycle. A script turns it off
// while the rows load and checks it after them.
struct LoopKey {
    ObjectRef table; // the referencing table
    QString name;
    qint32 referenced = 0; // the referenced table's id: table.id for a key to itself

    friend bool operator==(const LoopKey&, const LoopKey&) = default;
};

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
    // Ticked tables with a key to themselves, "owner.name" in list order.
    QStringList selfReferencing;
    // The keys of both kinds, by referencing table in list order, then by name.
    QList<LoopKey> loopKeys;
    // Ticked tables that another table references by a key other than a loop
    // key, in list order: truncation of these is refused.
    QStringList referenced;
};

// A stable order: again and again, the first ticked table in the current
// order whose referenced ticked tables are all placed. Tables in a cycle
// keep their order among themselves and wait, each, only for the tables
// outside the cycle that they reference. References to unticked or unlisted
// tables do not count.
KeyOrderPlan planKeyOrder(const ObjectList& list, const QList<TableReference>& references);

} // namespace quarvex
