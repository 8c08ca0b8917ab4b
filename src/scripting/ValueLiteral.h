#pragma once

#include "db/FieldValue.h"
#include "scripting/ColumnClass.h"

#include <QString>

namespace quarvex {

class Utf8Script;

// The literal of one value of a table's rows, as the row reader delivered it
// (see RecordSet::field), appended to out by the rule of the column's class:
// "null" for a null value, text (TextLiteral.h), numbers (NumberLiteral.h),
// bits as 1 or 0, dates and times (DateLiteral.h), bytes (ByteLiteral.h).
// milliseconds is the column's datepart(ms, ...) field for class D, null
// when the column has none; scale is the column's for the newer date and
// time classes. A value of a kind its class does not take raises, as do
// classes T and Variant (a sql_variant is written from several fields: see
// VariantLiteral.h). Nothing is appended when it raises.
void appendValueLiteral(QString& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale);

// The same appended to a script held as UTF-8: texts, numbers, bits and
// dates are written straight into its bytes.
void appendValueLiteral(Utf8Script& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale);

} // namespace quarvex
