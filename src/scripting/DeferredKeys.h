#pragma once

#include "catalogue/KeyOrderPlan.h"

#include <QList>
#include <QSet>
#include <QString>

namespace quarvex {

class ObjectList;
class OdbcConnection;

// A statement that turns a deferred foreign key on again with a check of
// every row, and the words that name the key in a message.
struct KeyCheck {
    QString description; // "key K of owner.table"
    QString statement;   // ends in its line break
};

// The foreign keys that no order of the ticked tables satisfies (a table's
// key to itself, the keys within a cycle), as Tables.sql handles them: turned
// off before the first delete, and on again after the last insert with a
// check of every row, so that the server trusts them again.
struct DeferredKeys {
    QList<LoopKey> keys;
    // Tables that a key of another table refers to. The server refuses to
    // truncate them, even with that key off, so their rows are deleted.
    QSet<qint32> referencedTables;

    // Reads the database's foreign keys when a table of the list is ticked.
    static DeferredKeys read(OdbcConnection& connection, const ObjectList& list);

    // The "nocheck" statements, one a key; empty without keys.
    QString turnOffStatements() const;
    // Per key the "with check check" statement that turns it on again.
    QList<KeyCheck> checkAgainSteps() const;
};

} // namespace quarvex
