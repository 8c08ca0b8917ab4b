#include "scripting/IdentityCounter.h"

#include <algorithm>

namespace quarvex {

namespace {

QString inStringLiteral(const QString& text) {
    return QString(text).replace(u'\'', QLatin1String("''"));
}

} // namespace

QString identityCounterQuery(const QString& tableName, const QString& identityColumn,
                             qint32 objectId) {
    // last_value is null exactly while no row was inserted since the table
    // was created or truncated, which ident_current does not tell.
    return QLatin1String("select convert(varchar(40),ident_current('") +
           inStringLiteral(tableName) +
           QLatin1String("')) current_value,convert(varchar(40),increment_value) increment,"
                         "convert(tinyint,case when last_value is null then 0 else 1 end) used,"
                         "(select convert(varchar(40),max(") +
           identityColumn + QLatin1String(")) from ") + tableName +
           QLatin1String(") highest from sys.identity_columns where object_id=") +
           QString::number(objectId);
}

std::optional<qint64> explicitReseed(const IdentityCounter& counter, bool emptiedByDeletes,
                                     qint64 rowCount) {
    if (rowCount > 0) {
        // Loading rows leaves the counter at the largest value loaded, and
        // the pair after deletes (reseed to 1, then up to the largest value) at
        // least at 1; which end a negative increment takes is not relied on.
        if (counter.increment > 0 && counter.highest) {
            const qint64 left =
                emptiedByDeletes ? std::max<qint64>(*counter.highest, 1) : *counter.highest;
            if (left == counter.current)
                return std::nullopt;
        }
        return counter.current;
    }
    // Emptied by deletes, the pair leaves it at 1.
    if (emptiedByDeletes)
        return counter.current == 1 ? std::nullopt : std::optional<qint64>(counter.current);
    // A truncated table gives its next row the seed, as a source that never
    // had rows does, or, once reseeded, the value set itself.
    if (!counter.used)
        return std::nullopt;
    return counter.current + counter.increment;
}

QString reseedTo(const QString& tableName, qint64 value) {
    return QLatin1String("dbcc checkident('") + inStringLiteral(tableName) +
           QLatin1String("',reseed,") + QString::number(value) + QLatin1String(")\r\n");
}

} // namespace quarvex
