#include "scripting/ColumnType.h"

#include "base/ProcedureError.h"

#include <QHash>
#include <optional>

namespace quarvex {

namespace {

[[noreturn]] void raiseUnsupported(const QString& typeName) {
    raise(QLatin1String("Cannot generate script for data type ") + typeName);
}

// A newer type's class and how the row query reads it ("%1": the column).
struct NewerType {
    ColumnClass columnClass;
    QLatin1String readAs;
};

const QHash<QString, NewerType>& newerTypes() {
    // Style 121 writes year first with every fraction digit of the scale
    // and the offset as +hh:mm, in any language; 40 characters hold the
    // longest, a datetimeoffset(7).
    const QLatin1String asText("convert(varchar(40),%1,121)");
    const QLatin1String asBytes("convert(varbinary(max),%1)");
    static const QHash<QString, NewerType> types = {
        {QStringLiteral("date"), {ColumnClass::Date, asText}},
        {QStringLiteral("time"), {ColumnClass::Time, asText}},
        {QStringLiteral("datetime2"), {ColumnClass::DateTime2, asText}},
        {QStringLiteral("datetimeoffset"), {ColumnClass::DateTimeOffset, asText}},
        {QStringLiteral("xml"), {ColumnClass::U, QLatin1String("convert(nvarchar(max),%1)")}},
        {QStringLiteral("hierarchyid"), {ColumnClass::HierarchyId, asBytes}},
        {QStringLiteral("geometry"), {ColumnClass::Geometry, asBytes}},
        {QStringLiteral("geography"), {ColumnClass::Geography, asBytes}},
        // Read through several fields (see VariantLiteral.h), not one.
        {QStringLiteral("sql_variant"), {ColumnClass::Variant, QLatin1String("%1")}},
    };
    return types;
}

// The class of a type the scripter has always written, if it is one.
std::optional<ColumnClass> classicClass(const QString& typeName) {
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
        return std::nullopt;
    return found.value();
}

} // namespace

ColumnClass classOfType(const QString& typeName) {
    const auto columnClass = classicClass(typeName);
    if (!columnClass)
        raiseUnsupported(typeName);
    return *columnClass;
}

ColumnClass classOfNewerType(const ColumnType& type) {
    const QString& typeName = type.scripted();
    if (const auto newer = newerTypes().constFind(typeName); newer != newerTypes().constEnd())
        return newer->columnClass;
    const auto columnClass = classicClass(typeName);
    // The message names what the user declared, not an alias's base.
    if (!columnClass)
        raiseUnsupported(type.declared);
    return *columnClass;
}

QString readExpression(const QString& typeName, const QString& sqlName) {
    const auto newer = newerTypes().constFind(typeName);
    if (newer == newerTypes().constEnd())
        return sqlName;
    return QString(newer->readAs).arg(sqlName) + QLatin1Char(' ') + sqlName;
}

} // namespace quarvex
