#include "scripting/DeferredKeys.h"

#include "base/ControlCharacters.h"
#include "catalogue/ForeignKeyQuery.h"
#include "db/ServerConnection.h"
#include "scripting/BoxPrint.h"
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

QString alterTable(const LoopKey& key, const char* change) {
    return QLatin1String("alter table ") + tableOf(key) + QLatin1Char(' ') + QLatin1String(change) +
           QLatin1String(" constraint ") + sqlIdentifier(key.name) + QLatin1String("\r\nGO\r\n");
}

} // namespace

DeferredKeys DeferredKeys::read(OdbcConnection& connection, const ObjectList& list) {
    DeferredKeys deferred;
    if (!hasTickedTable(list))
        return deferred;
    const KeyOrderPlan plan =
        planKeyOrder(list, readTableReferences(connection, IsSQL2005Plus(connection)));
    for (const LoopKey& key : plan.loopKeys) {
        if (!hasSafeNames(key))
            continue;
        deferred.keys.append(key);
        if (key.referenced != key.table.id)
            deferred.deletedTables.insert(key.referenced);
    }
    return deferred;
}

QString DeferredKeys::turnOff() const {
    if (keys.isEmpty())
        return {};
    QString text = BoxPrint(
        QStringLiteral("Turning off foreign keys of cycles and self-references before deletes..."));
    for (const LoopKey& key : keys)
        text += alterTable(key, "nocheck");
    return text + QLatin1String("\r\n");
}

// Each check in a batch of its own behind its note, so that a row that
// breaks a key fails under the note that names it, and the other keys are
// still checked.
QString DeferredKeys::checkAgain() const {
    QString text;
    for (const LoopKey& key : keys)
        text += BoxPrint(QLatin1String("Checking foreign key ") + sqlIdentifier(key.name) +
                         QLatin1String(" of ") + tableOf(key) + QLatin1String("...")) +
                alterTable(key, "with check check") + QLatin1String("\r\n");
    return text;
}

} // namespace quarvex
