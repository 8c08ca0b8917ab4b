#include "catalogue/ForeignKeyQuery.h"

#include "db/RecordSet.h"

namespace quarvex {

// Both ends of a key are tables, so no join to the tables: the list's table
// entries pick out the user tables, and a key from any other table still
// refuses a truncation.
QString foreignKeyQuery(bool sql2005Plus) {
    if (sql2005Plus)
        return QStringLiteral("select parent_object_id referencing,"
                              "referenced_object_id referenced,name from sys.foreign_keys");
    return QStringLiteral("select r.fkeyid referencing,r.rkeyid referenced,o.name "
                          "from sysreferences r join sysobjects o on o.id=r.constid");
}

QList<TableReference> readTableReferences(OdbcConnection& connection, bool sql2005Plus) {
    QList<TableReference> references;
    RecordSet records(connection, foreignKeyQuery(sql2005Plus));
    for (; !records.atEnd(); records.moveNext())
        references.append(TableReference{qint32(records.value(0).toLongLong()),
                                         qint32(records.value(1).toLongLong()),
                                         records.value(2).toString()});
    records.close();
    return references;
}

} // namespace quarvex
