#pragma once

#include "scripting/ColumnClass.h"

#include <QString>

namespace quarvex {

// A column's type as the catalogue describes it.
struct ColumnType {
    QString declared; // the declared type's name; an alias type's own name
    QString base;     // an alias type's base type; empty for every other type
    int scale = 0;    // fraction digits of time, datetime2 and datetimeoffset

    // The type whose rules the values follow.
    const QString& scripted() const { return base.isEmpty() ? declared : base; }
};

// The class of a column by the name of its declared type, compared exactly
// against the lower-case names the scripter supports. Any other type (xml,
// an alias type, the date and time types of later versions) raises
// "Cannot generate script for data type " + the name.
ColumnClass classOfType(const QString& typeName);

// The class with the newer data types: date, time, datetime2,
// datetimeoffset, xml (as Unicode text), hierarchyid, geometry and
// geography, sql_variant, and alias types by their base type's rules. Any other type
// raises naming the declared type (an alias type's own name).
ColumnClass classOfNewerType(const ColumnType& type);

// What the row query selects for a column whose values follow typeName,
// sqlName being the column's name in its SQL form: the newer types as the
// server's own text or bytes under the column's name, so that no driver
// turns a value into a date-time and cuts its fraction on the way; every
// other type as the column itself.
QString readExpression(const QString& typeName, const QString& sqlName);

} // namespace quarvex
