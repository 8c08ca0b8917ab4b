#include "scripting/TableColumns.h"

#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "scripting/ColumnType.h"
#include "scripting/SqlIdentifier.h"
#include "scripting/VariantLiteral.h"

namespace quarvex {

namespace {

// The computed flag; from 2016 on also set for the columns the server fills
// itself (period columns, the ledger's), which refuse values the same way.
QLatin1String computedFlag(bool generatedAlways) {
    return generatedAlways ? QLatin1String("convert(tinyint,case when a.is_computed=1 or "
                                           "a.generated_always_type<>0 then 1 else 0 end) computed")
                           : QLatin1String("convert(tinyint,a.is_computed) computed");
}

// An alias type's base is the type whose own id is the alias's system type
// id; sysname and the other system types are no aliases.
QString newerTypesColumnQuery(bool sql2005Plus, bool generatedAlways) {
    if (sql2005Plus)
        return QLatin1String("select a.name,b.name type,convert(tinyint,a.is_identity) ident,"
                             "a.column_id colid,") +
               computedFlag(generatedAlways) +
               QLatin1String(",c.name base,a.scale "
                             "from sys.columns a join sys.types b on a.user_type_id=b.user_type_id "
                             "left join sys.types c on b.is_user_defined=1 and "
                             "c.user_type_id=b.system_type_id "
                             "where a.object_id=");
    // Before 2005 the types users made are those numbered above sysname's 256.
    return QStringLiteral("select a.name,b.name type,(a.status&128)/128 ident,a.colid,a.iscomputed,"
                          "c.name base,a.xscale scale "
                          "from syscolumns a join systypes b on a.xusertype=b.xusertype "
                          "left join systypes c on b.xusertype>256 and c.xusertype=a.xtype "
                          "where a.id=");
}

} // namespace

QString columnQuery(bool sql2005Plus, qint32 objectId, bool newerTypes, bool generatedAlways) {
    if (newerTypes)
        return newerTypesColumnQuery(sql2005Plus, generatedAlways) + QString::number(objectId) +
               QLatin1String(" order by 4 ");
    if (sql2005Plus)
        return QLatin1String("select a.name,b.name type,convert(tinyint,a.is_identity) ident,"
                             "a.column_id colid,") +
               computedFlag(generatedAlways) +
               QLatin1String(
                   " from sys.columns a join sys.types b on a.user_type_id=b.user_type_id "
                   "where a.object_id=") +
               QString::number(objectId) + QLatin1String(" order by 4 ");
    return QLatin1String("select a.name,b.name type,(a.status&128)/128 ident,a.colid,a.iscomputed "
                         "from syscolumns a join systypes b on a.xusertype=b.xusertype "
                         "where a.id=") +
           QString::number(objectId) + QLatin1String(" order by 4 ");
}

void TableColumns::add(const QString& name, const ColumnType& type, bool identity, bool computed) {
    // A line break would end the line of every statement that names the
    // column, brackets or not, and a batch runner takes a following line
    // reading GO as a batch end: the whole table is left out, as a table
    // with such a name is. Any column counts, written or not.
    if (hasControlCharacter(name))
        raise(QLatin1String("has a line break or control character in column ") +
              cEscaped(sqlIdentifier(name)) +
              QLatin1String(", which a script cannot carry safely"));
    // The server computes these itself and refuses values for them.
    if (computed)
        return;
    const ColumnClass columnClass =
        newerTypes ? classOfNewerType(type) : classOfType(type.declared);
    if (columnClass == ColumnClass::T)
        return;
    // Its values are read as text through nvarchar(max).
    if (columnClass == ColumnClass::Variant && !maxTypes)
        raise(QLatin1String("Cannot generate script for data type ") + type.declared);

    const bool isDate = columnClass == ColumnClass::D;
    const QString alias = isDate ? name + QLatin1String("__ms") : QString();
    columns.append(ColumnInfo{name, columnClass, alias, type.scale, type.scripted(), identity});

    const QString sqlName = sqlIdentifier(name);
    if (identity)
        identityColumn = sqlName;
    if (!selectList.isEmpty()) {
        selectList += QLatin1Char(',');
        readList += QLatin1Char(',');
    }
    selectList += sqlName;
    if (columnClass == ColumnClass::Variant) {
        readList += variantTextExpression(sqlName, dateTypes);
        variantExpressions += variantHelperExpressions(sqlName);
    } else {
        readList += readExpression(type.scripted(), sqlName);
    }
    if (isDate)
        millisecondExpressions +=
            QLatin1String(",datepart(ms,") + sqlName + QLatin1String(") ") + sqlIdentifier(alias);
}

} // namespace quarvex
