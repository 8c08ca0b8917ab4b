#include "scripting/ApplyStep.h"

#include "base/ControlCharacters.h"
#include "scripting/BoxPrint.h"
#include "scripting/MergeScript.h"
#include "scripting/SqlIdentifier.h"
#include "scripting/TableStatements.h"

namespace quarvex {

namespace {

// Present from just before the apply step until it has committed or said
// why it changed nothing; the batch after it speaks up when it is left.
const QLatin1StringView pendingMarker("#quarvexPending");

const QLatin1StringView notAppliedMessage(
    "Nothing changed: the staged rows were not applied (the error above stopped them)");

QString literal(const QString& text) {
    return QLatin1String("N'") + QString(text).replace(u'\'', QLatin1String("''")) +
           QLatin1Char('\'');
}

// A piece of a message that raiserror shows, whose "%" would start a
// placeholder.
QString messageLiteral(const QString& text) {
    return literal(QString(text).replace(u'%', QLatin1String("%%")));
}

QString number(const QString& expression) {
    return QLatin1String("convert(nvarchar(12),") + expression + QLatin1Char(')');
}

QString variable(const char* kind, int table) {
    return QLatin1Char('@') + QLatin1String(kind) + QString::number(table + 1);
}

// Ends the batch when a message is set: the transaction, if one is open,
// undone first, the message between two lines of stars.
QString refusal() {
    return QLatin1String("if @m is not null\r\nbegin\r\nif @@trancount>0 rollback tran\r\n"
                         "drop table ") +
           pendingMarker +
           QLatin1String("\r\nprint replicate(N'*',len(@m))\r\nraiserror(@m,16,1)\r\n"
                         "print replicate(N'*',len(@m))\r\nreturn\r\nend\r\n");
}

// After a statement inside the transaction: its error number, and a message
// naming the table and the step when there was one.
QString capture(const QString& rowCount = {}) {
    QString text = QLatin1String("select @e=@@error");
    if (!rowCount.isEmpty())
        text += QLatin1Char(',') + rowCount + QLatin1String("=@@rowcount");
    return text + QLatin1String("\r\n");
}

QString failureCheck(const QString& subject, const QString& step) {
    return QLatin1String("if @e<>0 set @m=") +
           messageLiteral(QLatin1String("Nothing changed: ") + subject + QLatin1String(": ") +
                          step + QLatin1String(" failed with error ")) +
           QLatin1Char('+') + number(QStringLiteral("@e")) + QLatin1Char('+') +
           literal(QStringLiteral(" (its message is above)")) + QLatin1String("\r\n") + refusal();
}

QString afterStatement(const QString& subject, const QString& step, const QString& rowCount = {}) {
    return capture(rowCount) + failureCheck(subject, step);
}

QString declarations(const QList<StagedTable>& tables) {
    QString text = QStringLiteral("declare @e int,@n int,@m nvarchar(4000),@k nvarchar(4000)\r\n");
    for (int i = 0; i < tables.size(); ++i) {
        const QString d = variable("d", i), u = variable("u", i), n = variable("i", i);
        text += QLatin1String("declare ") + d + QLatin1String(" int,") + u +
                QLatin1String(" int,") + n + QLatin1String(" int\r\nselect ") + d +
                QLatin1String("=0,") + u + QLatin1String("=0,") + n + QLatin1String("=0\r\n");
    }
    return text;
}

// Every staged table complete: a staging batch that failed (a column the
// target lacks, a value too wide for it) leaves its table short or missing.
QString stagingChecks(const QList<StagedTable>& tables) {
    QString text;
    for (const StagedTable& table : tables) {
        const QString exists =
            QLatin1String("object_id('tempdb..") + table.stagingName + QLatin1String("')");
        const QString message =
            messageLiteral(QLatin1String("Nothing changed: the rows of ") + table.tableName +
                           QLatin1String(" were not all staged (a batch "
                                         "before this one failed)"));
        // The count is asked only of a table that is there.
        text += QLatin1String("if ") + exists + QLatin1String(" is null set @m=") + message +
                QLatin1String("\r\nif ") + exists +
                QLatin1String(" is not null if (select count(*) "
                              "from ") +
                table.stagingName + QLatin1String(")<>") + QString::number(table.rowCount) +
                QLatin1String(" set @m=") + message + QLatin1String("\r\n");
    }
    return text + refusal();
}

// Rows the target would take for one: keys equal but for case or trailing
// blanks.
QString duplicateKeyCheck(const StagedTable& table) {
    const QString key = table.key.join(u',');
    return QLatin1String("if @m is null if exists (select ") + key + QLatin1String(" from ") +
           table.stagingName + QLatin1String(" group by ") + key +
           QLatin1String(" having count(*)>1) set @m=") +
           messageLiteral(QLatin1String("Nothing changed: rows of ") + table.tableName +
                          QLatin1String(" have keys that differ only in case or trailing "
                                        "blanks, which the target takes for one row")) +
           QLatin1String("\r\n");
}

// "case when (filter) then 1 else 0 end=0": a row outside the filter, NULL
// answers included.
QString outsideFilter(const QString& rowFilter) {
    return QLatin1String("(case when (") + rowFilter + QLatin1String(") then 1 else 0 end)=0");
}

// A row filter is a fence: a staged row whose key the target holds outside
// the filter would have to be written over or moved into it.
QString fenceCheck(const StagedTable& table) {
    QStringList parts;
    for (const QString& column : table.key)
        parts.append(literal(column + QLatin1Char('=')) +
                     QLatin1String("+isnull(convert(nvarchar(4000),t.") + column +
                     QLatin1String("),N'null')"));
    return QLatin1String("if @m is null\r\nbegin\r\nset @k=null\r\nselect top 1 @k=") +
           parts.join(QLatin1String("+N', '+")) + QLatin1String(" from ") + table.tableName +
           QLatin1String(" t where ") + outsideFilter(table.rowFilter) +
           QLatin1String(" and exists (select * from ") + table.stagingName +
           QLatin1String(" s where ") + keyMatch(table.key) +
           QLatin1String(")\r\nif @k is not null set @m=") +
           messageLiteral(QLatin1String("Nothing changed: ") + table.tableName +
                          QLatin1String(" holds the row with key (")) +
           QLatin1String("+replace(@k,N'%',N'%%')+") +
           literal(QStringLiteral(") outside its row filter, where the script would write it")) +
           QLatin1String("\r\nend\r\n");
}

const StagedTable* stagedTable(const QList<StagedTable>& tables, qint32 objectId) {
    for (const StagedTable& table : tables)
        if (table.objectId == objectId)
            return &table;
    return nullptr;
}

bool safeToName(const ReferencingKey& key) {
    bool safe = !hasControlCharacter(key.name) && !hasControlCharacter(key.referencingOwner) &&
                !hasControlCharacter(key.referencingName);
    for (const QString& column : key.referencingColumns + key.referencedColumns)
        safe = safe && !hasControlCharacter(column);
    return safe;
}

QString columnPairs(const ReferencingKey& key) {
    QStringList pairs;
    for (int i = 0; i < key.referencingColumns.size(); ++i)
        pairs.append(QLatin1String("p.") + sqlIdentifier(key.referencedColumns[i]) +
                     QLatin1String("=c.") + sqlIdentifier(key.referencingColumns[i]));
    return pairs.join(QLatin1String(" and "));
}

// Rows outside the script that reference a row it deletes stop the load,
// whatever the key does on delete: refused, or their rows deleted or
// changed without a word.
QString referenceCheck(const ReferencingKey& key, const StagedTable& referenced,
                       const StagedTable* referencing, LoadMode mode) {
    const QString keyName = sqlIdentifier(key.name);
    if (!safeToName(key))
        return QLatin1String("if @m is null set @m=") +
               messageLiteral(QLatin1String("Nothing changed: ") + referenced.tableName +
                              QLatin1String(" is referenced through key ") + cEscaped(key.name) +
                              QLatin1String(" by a table whose name or columns hold a line break "
                                            "or control character, which a script cannot name "
                                            "to check its rows")) +
               QLatin1String("\r\n");
    const QString table =
        sqlIdentifier(key.referencingOwner) + QLatin1Char('.') + sqlIdentifier(key.referencingName);
    QString deleted = QLatin1String("select * from ") + referenced.tableName +
                      QLatin1String(" p where ") + columnPairs(key);
    if (!referenced.rowFilter.isEmpty())
        deleted += QLatin1String(" and (") + referenced.rowFilter + QLatin1Char(')');
    if (mode == LoadMode::Merge)
        deleted += QLatin1String(" and not exists (select * from ") + referenced.stagingName +
                   QLatin1String(" s where ") + keyMatch(referenced.key, QStringLiteral("p")) +
                   QLatin1Char(')');
    QString condition = QLatin1String("exists (") + deleted + QLatin1Char(')');
    if (referencing)
        condition = outsideFilter(referencing->rowFilter) + QLatin1String(" and ") + condition;
    const QString which = referencing ? QStringLiteral(" outside its row filter")
                                      : QStringLiteral(" (not in this script)");
    const QString deletes = mode == LoadMode::Merge
                                ? QStringLiteral(" the source lacks, which the merge deletes")
                                : QStringLiteral(" it deletes");
    const QString advice =
        mode == LoadMode::Merge
            ? QString()
            : QStringLiteral("; merge is the mode for a table that live rows reference");
    return QLatin1String("if @m is null\r\nbegin\r\nselect @n=count(*) from ") + table +
           QLatin1String(" c where ") + condition + QLatin1String("\r\nif @n>0 set @m=") +
           literal(QStringLiteral("Nothing changed: ")) + QLatin1Char('+') +
           number(QStringLiteral("@n")) + QLatin1Char('+') +
           messageLiteral(QLatin1String(" rows of ") + table + which +
                          QLatin1String(" reference rows of ") + referenced.tableName + deletes +
                          QLatin1String(", through key ") + keyName + QLatin1String(" (") +
                          deleteActionWords(key.deleteAction) + QLatin1Char(')') + advice) +
           QLatin1String("\r\nend\r\n");
}

// A key that only the target has, which deletes or changes the rows that
// reference a deleted row: the script cannot count them, so it refuses. A
// key that only refuses such a delete needs no check: the server's refusal
// undoes the whole load.
QString unknownKeyCheck(const StagedTable& table, const QStringList& knownKeys, bool sql2005Plus) {
    QStringList known;
    for (const QString& name : knownKeys)
        known.append(literal(name));
    const QString referenced =
        QLatin1String("object_id(") + literal(table.tableName) + QLatin1Char(')');
    const QString unknown = known.isEmpty()
                                ? QString()
                                : QLatin1String(" not in (") + known.join(u',') + QLatin1Char(')');
    const QString query =
        sql2005Plus
            ? QLatin1String("select top 1 @k=object_name(f.parent_object_id)+N' ('+f.name+N')' "
                            "from sys.foreign_keys f where f.referenced_object_id=") +
                  referenced +
                  QLatin1String(" and f.is_disabled=0 and f.delete_referential_action<>0") +
                  (unknown.isEmpty() ? QString() : QLatin1String(" and f.name") + unknown)
            : QLatin1String("select top 1 @k=object_name(r.fkeyid)+N' ('+object_name(r.constid)+"
                            "N')' from sysreferences r where r.rkeyid=") +
                  referenced +
                  QLatin1String(" and objectproperty(r.constid,'CnstIsDisabled')=0 "
                                "and objectproperty(r.constid,'CnstIsDeleteCascade')=1") +
                  (unknown.isEmpty() ? QString()
                                     : QLatin1String(" and object_name(r.constid)") + unknown);
    return QLatin1String("if @m is null\r\nbegin\r\nset @k=null\r\n") + query +
           QLatin1String("\r\nif @k is not null set @m=") +
           messageLiteral(QLatin1String("Nothing changed: ") + table.tableName +
                          QLatin1String(" is referenced by ")) +
           QLatin1String("+replace(@k,N'%',N'%%')+") +
           literal(QStringLiteral(", a key the source does not have that deletes or changes "
                                  "rows, whose rows this script cannot check")) +
           QLatin1String("\r\nend\r\n");
}

QString referenceChecks(const ApplyPlan& plan) {
    QString text;
    for (const StagedTable& table : plan.tables) {
        QStringList known;
        for (const ReferencingKey& key : plan.references)
            if (key.referenced == table.objectId && !hasControlCharacter(key.name))
                known.append(key.name);
        text += unknownKeyCheck(table, known, plan.sql2005Plus);
    }
    for (const ReferencingKey& key : plan.references) {
        const StagedTable* referenced = stagedTable(plan.tables, key.referenced);
        if (!referenced)
            continue;
        const StagedTable* referencing = stagedTable(plan.tables, key.referencing);
        // The script's own rows: all of such a table's rows are the source's
        // once the load is done, and the key checks them itself.
        if (referencing && referencing->rowFilter.isEmpty())
            continue;
        text += referenceCheck(key, *referenced, referencing, plan.mode);
    }
    return text;
}

// The staged rows first: the other checks read them.
QString checks(const ApplyPlan& plan) {
    QString text;
    for (const StagedTable& table : plan.tables) {
        if (plan.mode == LoadMode::Merge)
            text += duplicateKeyCheck(table);
        if (!table.rowFilter.isEmpty() && !table.key.isEmpty())
            text += fenceCheck(table);
    }
    text += referenceChecks(plan);
    return stagingChecks(plan.tables) + (text.isEmpty() ? QString() : text + refusal());
}

QString emptying(const StagedTable& table, int i) {
    if (table.truncate)
        return QLatin1String("select ") + variable("d", i) + QLatin1String("=count(*) from ") +
               table.tableName + QLatin1String("\r\ntruncate table ") + table.tableName +
               QLatin1String("\r\n") +
               afterStatement(table.tableName, QStringLiteral("truncating it"));
    QString text;
    if (!table.deleteReason.isEmpty())
        text += QLatin1String("print ") +
                literal(QLatin1String("Deleting the rows of ") + table.tableName +
                        QLatin1String(": ") + table.deleteReason) +
                QLatin1String("\r\n");
    return text + deleteRows(table.tableName, table.rowFilter) +
           afterStatement(table.tableName, QStringLiteral("deleting its rows"), variable("d", i));
}

QString filling(const StagedTable& table, int i, LoadMode mode, bool sql2005Plus) {
    QString text;
    if (mode == LoadMode::Merge) {
        const QString update = mergeUpdate(table, sql2005Plus);
        if (!update.isEmpty())
            text += update + afterStatement(table.tableName, QStringLiteral("updating rows"),
                                            variable("u", i));
    }
    const QString insert =
        mode == LoadMode::Merge
            ? mergeInsert(table)
            : QLatin1String("insert into ") + table.tableName + QLatin1String(" (") +
                  table.columns.selectList + QLatin1String(") select ") + table.columns.selectList +
                  QLatin1String(" from ") + table.stagingName + QLatin1String("\r\n");
    const bool identity = !table.columns.identityColumn.isEmpty() && !table.identityLeftToTarget;
    const QString identityInsert = QLatin1String("set identity_insert ") + table.tableName;
    if (identity)
        text += identityInsert + QLatin1String(" on\r\n");
    // The identity inserts go off before the check, whose refusal ends the batch.
    text += insert + capture(variable("i", i));
    if (identity)
        text += identityInsert + QLatin1String(" off\r\n");
    return text + failureCheck(table.tableName, QStringLiteral("inserting rows"));
}

QString changes(const ApplyPlan& plan) {
    QString text = QLatin1String("set xact_abort off\r\nbegin tran\r\n") + plan.keysOff;
    if (plan.mode == LoadMode::GroupedDeletes)
        text += QLatin1String("print ") +
                literal(QStringLiteral("Deleting from tables (reverse order) before inserts...")) +
                QLatin1String("\r\n");
    for (int i = int(plan.tables.size()) - 1; i >= 0; --i) {
        const StagedTable& table = plan.tables[i];
        text += plan.mode == LoadMode::Merge
                    ? mergeDelete(table) + afterStatement(table.tableName,
                                                          QStringLiteral("deleting the rows the "
                                                                         "source lacks"),
                                                          variable("d", i))
                    : emptying(table, i);
    }
    for (int i = 0; i < plan.tables.size(); ++i)
        text += filling(plan.tables[i], i, plan.mode, plan.sql2005Plus);
    for (const KeyCheck& key : plan.keysOn)
        text +=
            QLatin1String("print ") +
            literal(QLatin1String("Checking foreign ") + key.description + QLatin1String("...")) +
            QLatin1String("\r\n") + key.statement +
            afterStatement(key.description, QStringLiteral("its check"));
    for (const StagedTable& table : plan.tables)
        if (!table.reseed.isEmpty())
            text += table.reseed +
                    afterStatement(table.tableName, QStringLiteral("setting its identity counter"));
    return text;
}

QString report(const ApplyPlan& plan) {
    QString text = QLatin1String(plan.preview ? "rollback tran\r\n" : "commit tran\r\n");
    for (int i = 0; i < plan.tables.size(); ++i)
        text += QLatin1String("print ") + literal(plan.tables[i].tableName + QLatin1String(": ")) +
                QLatin1Char('+') + number(variable("d", i)) + QLatin1String("+N' deleted, '+") +
                number(variable("u", i)) + QLatin1String("+N' updated, '+") +
                number(variable("i", i)) + QLatin1String("+N' inserted'\r\n");
    text += QLatin1String("print ") +
            literal(plan.preview ? QStringLiteral("Preview only: nothing was changed")
                                 : QStringLiteral("All changes committed")) +
            QLatin1String("\r\n");
    for (const StagedTable& table : plan.tables)
        text += QLatin1String("drop table ") + table.stagingName + QLatin1String("\r\n");
    return text + QLatin1String("drop table ") + pendingMarker + QLatin1String("\r\n");
}

QString markerBatch() {
    return QLatin1String("if object_id('tempdb..") + pendingMarker +
           QLatin1String("') is not null drop table ") + pendingMarker +
           QLatin1String("\r\ncreate table ") + pendingMarker + QLatin1String(" (n int)\r\n") +
           batchEnd();
}

// An error that ended the apply batch before it could speak (one the
// server raised outside a statement's own failure, or one that kept the
// batch from compiling) leaves the marker, and perhaps a transaction.
QString guardBatch() {
    const QString stars = literal(QString(notAppliedMessage.size(), u'*'));
    return QLatin1String("if object_id('tempdb..") + pendingMarker +
           QLatin1String("') is not null\r\nbegin\r\nif @@trancount>0 rollback tran\r\n"
                         "drop table ") +
           pendingMarker + QLatin1String("\r\nprint ") + stars + QLatin1String("\r\nraiserror(") +
           messageLiteral(notAppliedMessage) + QLatin1String(",16,1)\r\nprint ") + stars +
           QLatin1String("\r\nend\r\n") + batchEnd();
}

} // namespace

QString applyBatches(const ApplyPlan& plan) {
    const QString note =
        plan.preview ? QStringLiteral("Previewing the staged rows in one transaction, rolled "
                                      "back at its end...")
                     : QStringLiteral("Applying the staged rows in one transaction...");
    return markerBatch() + BoxPrint(note) + declarations(plan.tables) + checks(plan) +
           changes(plan) + report(plan) + batchEnd() + guardBatch();
}

} // namespace quarvex
