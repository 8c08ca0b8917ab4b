#include "scripting/LiveReferences.h"

#include "base/Blanks.h"
#include "db/RecordSet.h"

namespace quarvex {

namespace {

QString textOf(const QVariant& value) {
    return value.isValid() ? value.toString() : QString();
}

} // namespace

QString referencingKeyQuery(bool sql2005Plus) {
    if (sql2005Plus)
        return QStringLiteral(
            "select f.object_id,f.name,f.parent_object_id,f.referenced_object_id,"
            "schema_name(o.schema_id),o.name,f.delete_referential_action,c.name,r.name "
            "from sys.foreign_keys f join sys.objects o on o.object_id=f.parent_object_id "
            "join sys.foreign_key_columns k on k.constraint_object_id=f.object_id "
            "join sys.columns c on c.object_id=k.parent_object_id "
            "and c.column_id=k.parent_column_id "
            "join sys.columns r on r.object_id=k.referenced_object_id "
            "and r.column_id=k.referenced_column_id "
            "where f.is_disabled=0 order by f.object_id,k.constraint_column_id");
    // Before 2005 a key cascades or does nothing.
    return QStringLiteral(
        "select k.constid,object_name(k.constid),k.fkeyid,k.rkeyid,user_name(o.uid),o.name,"
        "objectproperty(k.constid,'CnstIsDeleteCascade'),c.name,r.name "
        "from sysforeignkeys k join sysobjects o on o.id=k.fkeyid "
        "join syscolumns c on c.id=k.fkeyid and c.colid=k.fkey "
        "join syscolumns r on r.id=k.rkeyid and r.colid=k.rkey "
        "where objectproperty(k.constid,'CnstIsDisabled')=0 order by k.constid,k.keyno");
}

QList<ReferencingKey> readReferencingKeys(OdbcConnection& connection, bool sql2005Plus) {
    QList<ReferencingKey> keys;
    RecordSet records(connection, referencingKeyQuery(sql2005Plus));
    for (; !records.atEnd(); records.moveNext()) {
        const qint32 id = qint32(records.value(0).toLongLong());
        if (keys.isEmpty() || keys.last().id != id)
            keys.append(ReferencingKey{id,
                                       textOf(records.value(1)),
                                       qint32(records.value(2).toLongLong()),
                                       qint32(records.value(3).toLongLong()),
                                       textOf(records.value(4)),
                                       textOf(records.value(5)),
                                       int(records.value(6).toLongLong()),
                                       {},
                                       {}});
        keys.last().referencingColumns.append(trimmedBlanks(textOf(records.value(7))));
        keys.last().referencedColumns.append(trimmedBlanks(textOf(records.value(8))));
    }
    records.close();
    return keys;
}

QString deleteActionWords(int action) {
    switch (action) {
    case 1:
        return QStringLiteral("ON DELETE CASCADE");
    case 2:
        return QStringLiteral("ON DELETE SET NULL");
    case 3:
        return QStringLiteral("ON DELETE SET DEFAULT");
    default:
        return QStringLiteral("ON DELETE NO ACTION");
    }
}

} // namespace quarvex
