#include "standin/engine/SqliteError.h"

#include <QRegularExpression>

namespace quarvex::standin {

SqlError sqliteErrorFrom(const QString& message) {
    if (message.startsWith(QLatin1String("tsql:"))) {
        const QStringList parts = message.split(u':');
        SqlError error;
        error.number = parts.value(1).toInt();
        error.severity = parts.value(2).toInt();
        error.state = parts.value(3).toInt();
        error.abortsBatch = parts.value(4) == QLatin1String("1");
        error.message = parts.mid(5).join(u':');
        return error;
    }
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.*)$"));
    if (const auto m = noColumn.match(message); m.hasMatch())
        return invalidColumnName(m.captured(1).section(u'.', -1));
    static const QRegularExpression ambiguous(QStringLiteral("^ambiguous column name: (.*)$"));
    if (const auto m = ambiguous.match(message); m.hasMatch())
        return SqlError{
            209, QStringLiteral("Ambiguous column name '%1'.").arg(m.captured(1).section(u'.', -1)),
            16, 1, true};
    if (message.contains(QLatin1String("do not have the same number of result columns")))
        return SqlError{205,
                        QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT "
                                       "operator must have an equal number of expressions in "
                                       "their target lists."),
                        16, 1, true};
    static const QRegularExpression orderBy(QStringLiteral("ORDER BY term out of range"));
    if (orderBy.match(message).hasMatch())
        return SqlError{108,
                        QStringLiteral("The ORDER BY position number is out of range of the "
                                       "number of items in the select list."),
                        16, 1, true};
    return SqlError{50000, QStringLiteral("The stand-in could not run this statement: ") + message,
                    16, 1, true};
}

} // namespace quarvex::standin
