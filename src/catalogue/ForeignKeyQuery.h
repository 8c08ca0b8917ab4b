#pragma once

#include <QList>
#include <QString>

namespace quarvex {

class OdbcConnection;

// One foreign key seen from its tables: the referencing table's rows need
// the referenced table's rows. name is the key's own.
struct TableReference {
    qint32 referencing = 0;
    qint32 referenced = 0;
    QString name;

    friend bool operator==(const TableReference&, const TableReference&) = default;
};

// The one query for the foreign keys between tables, a table's keys to
// itself included: sys.foreign_keys on SQL Server 2005 and later,
// sysreferences before. It only reads.
QString foreignKeyQuery(bool sql2005Plus);

// Runs the query; a failure carries its statement.
QList<TableReference> readTableReferences(OdbcConnection& connection, bool sql2005Plus);

} // namespace quarvex
