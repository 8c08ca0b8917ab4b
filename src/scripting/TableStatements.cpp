#include "scripting/TableStatements.h"

#include "scripting/BoxPrint.h"
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

QString truncation(const QString& tableName) {
    return QLatin1String("truncate table ") + tableName + QLatin1String("\r\n") + batchEnd();
}

QString groupedDelete(const QString& tableName, const QString& rowFilter) {
    return QLatin1String("delete from ") + tableName + filtered(rowFilter) +
           QLatin1String("\r\nGO\r\n");
}

QString filteredDelete(const QString& tableName, const QString& rowFilter) {
    return BoxPrint(QLatin1String("Deleting the rows of ") + tableName +
                    QLatin1String(" that its row filter selects: a truncation cannot keep "
                                  "the others")) +
           groupedDelete(tableName, rowFilter) + QLatin1String("\r\n");
}

QString cycleDeletion(const QString& tableName) {
    return BoxPrint(tableName + QLatin1String(" is in a cycle of foreign keys: deleted, since "
                                              "truncate would be refused")) +
           QLatin1String("delete from ") + tableName + QLatin1String("\r\n") + batchEnd();
}

QString identityInsert(const QString& tableName, bool on) {
    return QLatin1String("set identity_insert ") + tableName +
           QLatin1String(on ? " on\r\n" : " off\r\n") + batchEnd();
}

QString reseed(const QString& tableName) {
    // The name stands inside a string literal here.
    const QString quoted = QString(tableName).replace(u'\'', QLatin1String("''"));
    return QLatin1String("dbcc checkident('") + quoted + QLatin1String("',reseed,1)\r\n") +
           QLatin1String("dbcc checkident('") + quoted + QLatin1String("',reseed)\r\n") +
           batchEnd();
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
