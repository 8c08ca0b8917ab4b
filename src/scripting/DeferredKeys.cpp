#include "scripting/DeferredKeys.h"

#include "base/ControlCharacters.h"
#include "catalogue/ForeignKeyQuery.h"
#include "db/ServerConnection.h"
#include "scripting/SqlIdentifier.h"

namespace quarvex {

namespace {

bool hasTickedTable(const ObjectList& list) {
    for (int row = 0; row < list.count(); ++row)
        if (list.isChecked(row) && list.entry(row).object.kind == ObjectKind::Table)
            return true;
    return false;
}

// A line break in a name would end the statement's line, and a batch runner
// takes a following line reading GO as a batch end, brackets or not. Such a
// table is skipped anyway; such a key is left on.
bool hasSafeNames(const LoopKey& key) {
    return !hasControlCharacter(key.name) && !hasControlCharacter(key.table.name) &&
           !hasControlCharacter(key.table.owner);
}

QString tableOf(const LoopKey& key) {
    return sqlIdentifier(key.table.owner) + QLatin1Char('.') + sqlIdentifier(key.table.name);
}

QString alterStatement(const LoopKey& key, const char* change) {
    return QLatin1String("alter table ") + tableOf(key) + QLatin1Char(' ') + QLatin1String(change) +
           QLatin1String(" constraint ") + sqlIdentifier(key.name) + QLatin1String("\r\n");
}

} // namespace

DeferredKeys DeferredKeys::read(OdbcConnection& connection, const ObjectList& list) {
    DeferredKeys deferred;
    if (!hasTickedTable(list))
        return deferred;
    const QList<TableReference> references =
        readTableReferences(connection, IsSQL2005Plus(connection));
    for (const TableReference& reference : references)
        if (reference.referencing != reference.referenced)
            deferred.referencedTables.insert(reference.referenced);
    for (const LoopKey& key : planKeyOrder(list, references).loopKeys)
        if (hasSafeNames(key))
            deferred.keys.append(key);
    return deferred;
}

QString DeferredKeys::turnOffStatements() const {
    QString text;
    for (const LoopKey& key : keys)
        text += alterStatement(key, "nocheck");
    return text;
}

QList<KeyCheck> DeferredKeys::checkAgainSteps() const {
    QList<KeyCheck> steps;
    for (const LoopKey& key : keys)
        steps.append(KeyCheck{QLatin1String("key ") + sqlIdentifier(key.name) +
                                  QLatin1String(" of ") + tableOf(key),
                              alterStatement(key, "with check check")});
    return steps;
}

} // namespace quarvex
