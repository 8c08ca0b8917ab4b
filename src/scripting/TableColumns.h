#pragma once

#include "scripting/ColumnType.h"

#include <QList>
#include <QString>

namespace quarvex {

// One scripted column of a table.
struct ColumnInfo {
    QString ColumnName; // as the catalogue gives it, trimmed, never bracketed
    quarvex::ColumnClass ColumnClass = quarvex::ColumnClass::C;
    QString MsAlias;  // ColumnName + "__ms" for dates, empty otherwise
    int Scale = 0;    // fraction digits of the newer date and time types
    QString TypeName; // the type whose rules the values follow
    bool Identity = false;
};

// The query for a table's columns in column order: name, declared type,
// identity flag, position, computed flag. With the newer types also an alias
// type's base type (null for other types) and the column's scale. With
// generatedAlways (SQL Server 2016 and later) the columns the server fills
// itself count as computed.
QString columnQuery(bool sql2005Plus, qint32 objectId, bool newerTypes = false,
                    bool generatedAlways = false);

// The select list, the millisecond expressions of the date columns and the
// identity column of a table, each name in its SQL form.
struct TableColumns {
    // Whether the newer data types are scripted rather than refused.
    bool newerTypes = false;
    // Whether the server has the max types (2005) and the date and time
    // types of 2008: what the row query may name.
    bool maxTypes = true;
    bool dateTypes = true;

    QList<ColumnInfo> columns;
    QString selectList;
    // The select list of the row query: the select list, with the newer
    // types read as text or bytes.
    QString readList;
    QString millisecondExpressions;
    // The helper fields of the sql_variant columns, three each, after the
    // milliseconds (see VariantLiteral.h).
    QString variantExpressions;
    QString identityColumn;

    // Adds a column the catalogue listed (timestamp and computed columns are
    // left out). Raises for a type the scripter cannot write, and for a name
    // with a line break or another control character.
    void add(const QString& name, const ColumnType& type, bool identity, bool computed);
    void add(const QString& name, const QString& typeName, bool identity, bool computed) {
        add(name, ColumnType{typeName, {}, 0}, identity, computed);
    }
};

} // namespace quarvex
