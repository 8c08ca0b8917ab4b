#pragma once

#include "scripting/TableColumns.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quarvex {

// The query for the keys a merge may match rows on: name, primary key flag
// and index id of each key column, the primary key first, then the unique
// indexes and constraints whose columns are all NOT NULL by index id, each
// key's columns in key order.
QString keyQuery(bool sql2005Plus, qint32 objectId);

// One row of the key query.
struct KeyColumn {
    QString name;
    qint32 indexId = 0;
};

// The columns of the first key the query listed; empty when there is none.
QStringList firstKey(const QList<KeyColumn>& rows);

// What the apply step needs of one staged table.
struct MergeTable {
    QString tableName;   // owner.name in SQL form
    QString stagingName; // the connection's temporary table
    QString rowFilter;
    QStringList key; // SQL names
    TableColumns columns;
    qint32 rowCount = 0;
};

// The name of the nth staging table of a script, counting from 1.
QString stagingName(int number);

// The batch that creates an empty staging table whose columns have the
// target's types and collations (text copied into it keeps its bytes).
QString stagingTable(const MergeTable& table);

// The comparison that finds a matched row whose values differ in any byte
// (NULL against a value included); empty when every matched row must be
// rewritten, because a column's type cannot be compared on old servers.
QString differenceCondition(const MergeTable& table, bool sql2005Plus);

// The one batch that applies every staged table in a single transaction:
// checks first, then updates and inserts in list order, deletes in reverse
// order. keysOff and keysOn are statements that turn foreign keys off before
// the changes and check them again after, inside the transaction.
QString applyStep(const QList<MergeTable>& tables, bool sql2005Plus, const QString& keysOff = {},
                  const QString& keysOn = {});

} // namespace quarvex
