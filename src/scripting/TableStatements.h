#pragma once

#include <QString>

namespace quarvex {

struct TableColumns;

// The statements of a table script; tableName is owner.name in SQL form.
// Each ends with its line break; the ones that end a batch with "GO" and an
// empty line.
QString batchEnd();
QString truncation(const QString& tableName);
// The grouped delete of a table, or of its filtered rows only.
QString groupedDelete(const QString& tableName, const QString& rowFilter);
// In place of a truncation when a row filter keeps the other rows.
QString filteredDelete(const QString& tableName, const QString& rowFilter);
// In place of the truncation for a table of a cycle of foreign keys: a note
// and a delete.
QString cycleDeletion(const QString& tableName);
QString identityInsert(const QString& tableName, bool on);
QString reseed(const QString& tableName);
// What the row query's rows number: select count(*) over the same rows.
QString rowCountQuery(const QString& tableName, const QString& rowFilter);
QString rowQuery(const QString& tableName, const TableColumns& columns,
                 const QString& rowFilter = {});

} // namespace quarvex
