#pragma once

#include <QString>
#include <optional>

namespace quarvex {

// A table's identity counter as the source server has it.
struct IdentityCounter {
    qint64 current = 0;            // ident_current: the seed while no row was ever inserted
    qint64 increment = 1;          // ident_incr
    bool used = false;             // a row was inserted since the table was created or truncated
    std::optional<qint64> highest; // the identity column's largest value; none without rows
};

// The query for the counter of the identity column identityColumn (SQL
// form) of tableName (owner.name in SQL form), object objectId: ident_current,
// the increment, whether a row was ever inserted and the largest value, all
// as text. SQL Server 2005 and later.
QString identityCounterQuery(const QString& tableName, const QString& identityColumn,
                             qint32 objectId);

// The value a single dbcc checkident reseed must set once the rows are
// loaded (rowCount of them), so that the next row inserted there gets what
// the source would give it; none when the script's usual statements (the
// reseed pair after the table was emptied by deletes, nothing after a
// truncation) already leave the counter there. A target emptied by deletes
// is taken to have had rows exactly when the source had.
std::optional<qint64> explicitReseed(const IdentityCounter& counter, bool emptiedByDeletes,
                                     qint64 rowCount);

// dbcc checkident(tableName,reseed,value) and its line break.
QString reseedTo(const QString& tableName, qint64 value);

} // namespace quarvex
