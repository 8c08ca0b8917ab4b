#pragma once

#include "scripting/TableColumns.h"

#include <QString>
#include <QStringList>

namespace quarvex {

// How a script makes the target's rows of a ticked table the source's: the
// table emptied (truncated, or deleted when a truncation cannot serve) and
// filled, or merged on its key.
enum class LoadMode { Truncate, GroupedDeletes, Merge };

// One table whose rows a script has put into a temporary table of the
// target's connection, with what the apply step needs to move them into the
// table itself.
struct StagedTable {
    QString tableName = {};   // owner.name in SQL form
    QString stagingName = {}; // the connection's temporary table
    QString rowFilter = {};
    qint32 objectId = 0;
    // The key a merge matches rows on, and that tells a row outside the row
    // filter from one inside: its columns' SQL names; empty without a key.
    QStringList key = {};
    TableColumns columns = {};
    qint32 rowCount = 0;
    // Emptying without a merge: truncated, or, with the reason printed when
    // there is one, deleted.
    bool truncate = false;
    QString deleteReason = {};
    // A merge leaves an identity column outside the key to the target: it is
    // neither compared nor inserted.
    bool identityLeftToTarget = false;
    // The statements that set the identity counter once the rows are in
    // place; empty where the load leaves it right.
    QString reseed = {};
};

// The name of the nth staging table of a script, counting from 1.
QString stagingName(int number);

} // namespace quarvex
