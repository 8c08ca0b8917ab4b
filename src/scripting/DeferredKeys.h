#pragma once

#include "catalogue/KeyOrderPlan.h"

#include <QList>
#include <QSet>
#include <QString>

namespace quarvex {

class ObjectList;
class OdbcConnection;

// The foreign keys that no order of the ticked tables satisfies (a table's
// key to itself, the keys within a cycle), as Tables.sql handles them: turned
// off before the first delete, and on again after the last insert with a
// check of every row, so that the server trusts them again.
struct DeferredKeys {
    QList<LoopKey> keys;
    // Tables that another table's deferred key refers to. The server refuses
    // to truncate them even with that key off, so their rows are deleted.
    QSet<qint32> deletedTables;

    // Reads the database's foreign keys when a table of the list is ticked.
    static DeferredKeys read(OdbcConnection& connection, const ObjectList& list);

    // A note and one "nocheck" batch per key; empty without keys.
    QString turnOff() const;
    // Per key a note that names it and its "with check check" batch; empty
    // without keys.
    QString checkAgain() const;
};

} // namespace quarvex
