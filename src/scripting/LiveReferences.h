#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quarvex {

class OdbcConnection;

// An enabled foreign key as the target has it in the source's catalogue:
// rows of the referencing table name rows of the referenced one. The texts
// are the catalogue's, unquoted.
struct ReferencingKey {
    qint32 id = 0;
    QString name;
    qint32 referencing = 0;
    qint32 referenced = 0;
    QString referencingOwner;
    QString referencingName;
    // What a delete of a referenced row does to its referencing rows: 0 no
    // action (the delete is refused), 1 cascade, 2 set null, 3 set default.
    int deleteAction = 0;
    QStringList referencingColumns;
    QStringList referencedColumns;
};

// The query for every enabled foreign key with its columns in key order:
// sys.foreign_keys on SQL Server 2005 and later, sysforeignkeys before.
QString referencingKeyQuery(bool sql2005Plus);

// Runs the query; a failure carries its statement.
QList<ReferencingKey> readReferencingKeys(OdbcConnection& connection, bool sql2005Plus);

// The words SQL Server uses for a key's delete action, as in "ON DELETE CASCADE".
QString deleteActionWords(int action);

} // namespace quarvex
