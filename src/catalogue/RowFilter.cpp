#include "catalogue/RowFilter.h"

#include "base/Blanks.h"
#include "base/ProcedureError.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/SelectionOrder.h"
#include "model/Toolkit.h"

#include <QRegularExpression>

namespace quarvex {

ObjectArgument splitObjectArgument(const QString& argument) {
    static const QRegularExpression where(QStringLiteral("\\s+where\\s+"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = where.match(argument);
    if (!match.hasMatch())
        return {argument, {}};
    return {argument.left(match.capturedStart()), trimmedBlanks(argument.mid(match.capturedEnd()))};
}

void checkRowFilter(const QString& table, const QString& condition) {
    std::optional<QString> fault = filterFault(condition);
    for (const QChar c : condition)
        if (!fault && c.unicode() < 0x20)
            fault = QStringLiteral("it holds a line break or control character");
    // The condition is written into the script's delete; sqlcmd replaces
    // "$(name)" there, inside quotes too.
    if (!fault && condition.contains(QLatin1String("$(")))
        fault = QStringLiteral("it holds \"$(\"");
    if (fault)
        raise(QStringLiteral("The row filter of %1 \"%2\" is not a single condition: %3")
                  .arg(table, condition, *fault));
}

void RowFilter(Toolkit& toolkit, RunState& runState, int index, const QString& condition) {
    reraisingAs(QStringLiteral("RowFilter"), [&] {
        ObjectList& list = toolkit.objectList();
        ObjectRef object = list.entry(index).object;
        if (object.kind != ObjectKind::Table)
            raise(QStringLiteral("Only a table has rows to filter"));
        const QString trimmed = trimmedBlanks(condition);
        checkRowFilter(object.owner + QLatin1Char('.') + object.name, trimmed);
        object.rowFilter = trimmed;
        const bool ticked = list.isChecked(index);
        const int top = list.topIndex();
        withItemCheckSuppressed(runState, [&] {
            list.insert(index, objectEntry(object));
            list.setChecked(index, ticked);
            list.remove(index + 1);
            list.setCurrentIndex(index);
            list.setTopIndex(top);
        });
    });
}

} // namespace quarvex
