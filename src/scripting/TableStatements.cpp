#include "scripting/TableStatements.h"

#include "scripting/TableColumns.h"

namespace quarvex {

namespace {

// The where clause of a row filter; nothing without one.
QString filtered(const QString& rowFilter) {
    return rowFilter.isEmpty() ? QString()
                               : QLatin1String(" where (") + rowFilter + QLatin1Char(')');
}

} // namespace

QString batchEnd() {
    return QStringLiteral("GO\r\n\r\n");
}

QString deleteRows(const QString& tableName, const QString& rowFilter) {
    return QLatin1String("delete from ") + tableName + filtered(rowFilter) + QLatin1String("\r\n");
}

QString reseed(const QString& tableName) {
    // The name stands inside a string literal here.
    const QString quoted = QString(tableName).replace(u'\'', QLatin1String("''"));
    return QLatin1String("dbcc checkident('") + quoted + QLatin1String("',reseed,1)\r\n") +
           QLatin1String("dbcc checkident('") + quoted + QLatin1String("',reseed)\r\n");
}

QString rowQuery(const QString& tableName, const TableColumns& columns, const QString& rowFilter) {
    QString query = QLatin1String("select ") + columns.readList + columns.millisecondExpressions +
                    columns.variantExpressions + QLatin1String(" from ") + tableName +
                    filtered(rowFilter);
    if (!columns.identityColumn.isEmpty())
        query += QLatin1String(" order by ") + columns.identityColumn;
    return query;
}

QString rowCountQuery(const QString& tableName, const QString& rowFilter) {
    return QLatin1String("select count(*) from ") + tableName + filtered(rowFilter);
}

} // namespace quarvex
