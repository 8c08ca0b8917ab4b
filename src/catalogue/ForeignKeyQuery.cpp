#include "catalogue/ForeignKeyQuery.h"

#include "db/RecordSet.h"

namespace quarvex {

// Both ends of a key are tables, so no join to the object catalogue: the
// list's table entries pick out the user tables, and a key from any other
// table still refuses a truncation.
QString foreignKeyQuery(bool sql2005Plus) {
    if (sql2005Plus)
        return QStringLiteral("select distinct parent_object_id referencing,"
                              "referenced_object_id referenced from sys.foreign_keys "
                              "where parent_object_id<>referenced_object_id");
    return QStringLiteral("select distinct fkeyid referencing,rkeyid referenced "
                          "from sysreferences where fkeyid<>rkeyid");
}

QList<TableReference> readTableReferences(OdbcConnection& connection, bool sql2005Plus) {
    QList<TableReference> references;
    RecordSet records(connection, foreignKeyQuery(sql2005Plus));
    for (; !records.atEnd(); records.moveNext())
        references.append(TableReference{qint32(records.value(0).toLongLong()),
                                         qint32(records.value(1).toLongLong())});
    records.close();
    return references;
}

} // namespace quarvex
