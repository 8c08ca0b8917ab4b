#include "scripting/ColumnClass.h"

#include "base/ProcedureError.h"

#include <QHash>

namespace quarvex {

ColumnClass classOfType(const QString& typeName) {
    static const QHash<QString, ColumnClass> classes = {
        {QStringLiteral("char"), ColumnClass::C},
        {QStringLiteral("varchar"), ColumnClass::C},
        {QStringLiteral("sysname"), ColumnClass::C},
        {QStringLiteral("uniqueidentifier"), ColumnClass::C},
        {QStringLiteral("text"), ColumnClass::C},
        {QStringLiteral("nchar"), ColumnClass::U},
        {QStringLiteral("nvarchar"), ColumnClass::U},
        {QStringLiteral("ntext"), ColumnClass::U},
        {QStringLiteral("int"), ColumnClass::N},
        {QStringLiteral("smallint"), ColumnClass::N},
        {QStringLiteral("tinyint"), ColumnClass::N},
        {QStringLiteral("bigint"), ColumnClass::N},
        {QStringLiteral("real"), ColumnClass::N},
        {QStringLiteral("float"), ColumnClass::N},
        {QStringLiteral("decimal"), ColumnClass::N},
        {QStringLiteral("numeric"), ColumnClass::N},
        {QStringLiteral("money"), ColumnClass::N},
        {QStringLiteral("smallmoney"), ColumnClass::N},
        {QStringLiteral("bit"), ColumnClass::L},
        {QStringLiteral("datetime"), ColumnClass::D},
        {QStringLiteral("smalldatetime"), ColumnClass::D},
        {QStringLiteral("binary"), ColumnClass::B},
        {QStringLiteral("varbinary"), ColumnClass::B},
        {QStringLiteral("image"), ColumnClass::B},
        {QStringLiteral("timestamp"), ColumnClass::T},
    };
    const auto found = classes.constFind(typeName);
    if (found == classes.constEnd())
        raise(QLatin1String("Cannot generate script for data type ") + typeName);
    return found.value();
}

} // namespace quarvex
