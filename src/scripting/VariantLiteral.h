#pragma once

#include "db/FieldValue.h"

#include <QString>

namespace quarvex {

// A sql_variant column is read as four fields: the text of its value, then
// (among the helper fields) its base type with precision, scale and maximum
// length, its value as a float for float and real, and its bytes for binary
// and varbinary. sqlName is the column's name in its SQL form; the date and
// time types of 2008 are named only when the server has them.
QString variantTextExpression(const QString& sqlName, bool dateTypes);
QString variantHelperExpressions(const QString& sqlName);

// The four fields of one value.
struct VariantFields {
    const FieldValue& text;
    const FieldValue& info;
    const FieldValue& number;
    const FieldValue& bytes;
};

// convert(sql_variant,convert(TYPE,LITERAL)) with the base type's length,
// precision and scale, so that the value loads back with the same base type
// and bytes; "null" for null. A base type that cannot be written exactly
// raises.
void appendVariantLiteral(QString& out, const VariantFields& fields);

} // namespace quarvex
