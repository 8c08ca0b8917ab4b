#pragma once

#include "scripting/StagedTable.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quarvex {

// The query for the keys a merge may match rows on: name, primary key flag,
// index id and computed flag of each key column, the primary key first, then
// the unique indexes and constraints whose columns are all NOT NULL (or
// computed) by index id, each key's columns in key order.
QString keyQuery(bool sql2005Plus, qint32 objectId);

// One row of the key query.
struct KeyColumn {
    QString name;
    qint32 indexId = 0;
    bool computed = false;
};

// The columns of the first key the query listed that has no computed column
// (the staged rows have none); empty when there is none.
QStringList firstKey(const QList<KeyColumn>& rows);

// A computed column of a listed key, which a merge cannot match on; empty
// when no key has one.
QString computedKeyColumn(const QList<KeyColumn>& rows);

// The batch that creates an empty staging table whose columns have the
// target's types and collations (text copied into it keeps its bytes).
QString stagingTable(const StagedTable& table);

// "t.k1=s.k1 and t.k2=s.k2": a target row t matched with a staged row s.
QString keyMatch(const QStringList& key, const QString& target = QStringLiteral("t"));

// The comparison that finds a matched row whose values differ in any byte
// (NULL against a value included); empty when every matched row must be
// rewritten, because a column's type cannot be compared on old servers.
QString differenceCondition(const StagedTable& table, bool sql2005Plus);

// A merge's statements, each ending in its line break: the update of the
// matched rows that differ, the insert of the staged rows the target lacks,
// and the delete of the target's rows (within the row filter) that the
// source lacks.
QString mergeUpdate(const StagedTable& table, bool sql2005Plus);
QString mergeInsert(const StagedTable& table);
QString mergeDelete(const StagedTable& table);

} // namespace quarvex
