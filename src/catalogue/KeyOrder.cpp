#include "catalogue/KeyOrder.h"

#include "base/ProcedureError.h"
#include "catalogue/KeyOrderPlan.h"
#include "catalogue/SelectionOrder.h"
#include "db/OdbcConnection.h"
#include "db/ServerConnection.h"
#include "model/RunState.h"
#include "model/Toolkit.h"

namespace quarvex {

namespace {

// Names beyond these are counted, not listed, so that a database of many
// related tables does not flood the status line.
constexpr qsizetype namedAtMost = 3;

QString namesOf(const QStringList& names) {
    if (names.size() <= namedAtMost)
        return names.join(QLatin1String(", "));
    return names.first(namedAtMost).join(QLatin1String(", ")) + QLatin1String(" and ") +
           QString::number(names.size() - namedAtMost) + QLatin1String(" more");
}

// A reordering moves two entries at least.
QString movedText(int moved) {
    if (moved == 0)
        return QStringLiteral("no entry moved");
    return QString::number(moved) + QLatin1String(" entries moved");
}

// Tables in a cycle and tables that reference themselves load in any order:
// the script checks their keys once all rows are in.
QString loopsText(const KeyOrderPlan& plan) {
    QStringList parts;
    for (const QStringList& cycle : plan.cycles)
        parts.append(QLatin1String("a cycle among ") + namesOf(cycle));
    if (plan.selfReferencing.size() == 1)
        parts.append(plan.selfReferencing.first() + QLatin1String(" references itself"));
    else if (!plan.selfReferencing.isEmpty())
        parts.append(namesOf(plan.selfReferencing) + QLatin1String(" reference themselves"));
    return QLatin1String("keys checked after the load: ") + parts.join(QLatin1String("; "));
}

QString truncationText(const QStringList& referenced) {
    // The server refuses to truncate them, so a script deletes their rows.
    const QString refused = QStringLiteral(": deleted rather than truncated");
    if (referenced.size() == 1)
        return referenced.first() + QLatin1String(" is referenced by a foreign key") + refused;
    return namesOf(referenced) + QLatin1String(" are referenced by foreign keys") + refused;
}

QString statusOf(const KeyOrderPlan& plan, bool groupedDeletes) {
    QString status = QLatin1String("Key order: ") + movedText(plan.moved);
    if (!plan.loopKeys.isEmpty())
        status += QLatin1String("; ") + loopsText(plan);
    if (!groupedDeletes && !plan.referenced.isEmpty())
        status += QLatin1String(". ") + truncationText(plan.referenced);
    return status;
}

// The rows keep their marks: every row of the plan holds a ticked table
// before and after.
void applyPlan(ObjectList& list, const KeyOrderPlan& plan) {
    const int top = list.topIndex();
    const int current = list.currentIndex();
    for (qsizetype i = 0; i < plan.rows.size(); ++i) {
        const int row = plan.rows[i];
        if (list.entry(row) == plan.entries[i])
            continue;
        list.remove(row);
        list.insert(row, plan.entries[i]);
        list.setChecked(row, true);
    }
    if (plan.moved == 0)
        return;
    list.setCurrentIndex(current);
    list.setTopIndex(top);
}

QList<TableReference> readReferences(Toolkit& toolkit, const ConnectionSettings& settings) {
    QList<TableReference> references;
    toolkit.setBusy(true);
    const auto failure = failureOf([&] {
        OdbcConnection connection;
        OpenConnection(connection, settings);
        references = readTableReferences(connection, IsSQL2005Plus(connection));
        connection.close();
    });
    toolkit.setBusy(false);
    if (failure)
        raise(*failure);
    return references;
}

} // namespace

void orderByKeys(Toolkit& toolkit, RunState& runState, const QList<TableReference>& references,
                 bool groupedDeletes) {
    ObjectList& list = toolkit.objectList();
    const KeyOrderPlan plan = planKeyOrder(list, references);
    withItemCheckSuppressed(runState, [&] { applyPlan(list, plan); });
    toolkit.setStatus(statusOf(plan, groupedDeletes));
}

void KeyOrder(Toolkit& toolkit, RunState& runState, const Settings& settings) {
    const auto failure = failureOf([&] {
        orderByKeys(toolkit, runState, readReferences(toolkit, settings.connection),
                    settings.group());
    });
    if (!failure)
        return;
    Failure named = prefixed(*failure, QStringLiteral("KeyOrder"));
    named.description = AppendErrorContext(named.description, named.statement);
    raise(named);
}

} // namespace quarvex
