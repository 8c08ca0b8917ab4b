#pragma once

#include <QString>

namespace quarvex {

struct TableColumns;

// The statements of a table script; tableName is owner.name in SQL form.
// Each ends with its line break; batchEnd with "GO" and an empty line.
QString batchEnd();
// The delete of a table's rows, or of its filtered rows only.
QString deleteRows(const QString& tableName, const QString& rowFilter);
// The pair that sets the identity counter of a table emptied by deletes to
// the largest value loaded (or 1 without rows).
QString reseed(const QString& tableName);
// What the row query's rows number: select count(*) over the same rows.
QString rowCountQuery(const QString& tableName, const QString& rowFilter);
QString rowQuery(const QString& tableName, const TableColumns& columns,
                 const QString& rowFilter = {});

} // namespace quarvex
