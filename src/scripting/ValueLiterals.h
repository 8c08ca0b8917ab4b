#pragma once

#include "db/FieldValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace quarvex {

class Utf8Script;

// How a column's values are written into an insert statement.
enum class ColumnClass {
    C, // text without the Unicode prefix: 'text'
    U, // Unicode text: N'text'
    N, // a number
    L, // bit: 1 or 0
    D, // date and time: 'yyyy-mm-dd hh:mi:ss.mmm'
    B, // bytes: 0x...
    T, // timestamp: never written
    // The newer data types, read from the server as text or bytes.
    Date,           // 'yyyy-mm-dd'
    Time,           // 'hh:mi:ss' and, for a scale n > 0, "." and n digits
    DateTime2,      // 'yyyy-mm-dd hh:mi:ss' and the fraction as for Time
    DateTimeOffset, // as DateTime2, a blank and +hh:mm or -hh:mm
    HierarchyId,    // convert(hierarchyid,0x...)
    Geometry,       // convert(geometry,0x...)
    Geography,      // convert(geography,0x...)
    Variant,        // convert(sql_variant,convert(BASE TYPE,literal)); see VariantLiteral.h
};

// 'yyyy-mm-dd hh:mi:ss.mmm' with the milliseconds the server reported
// separately; the value's own fraction of a second is dropped.
QString GetDate(const QDateTime& value, qint32 milliseconds);

// "0x" followed by two upper-case hex digits per byte.
QString GetHex(const QByteArray& bytes);

// Text between apostrophes, every apostrophe doubled; prefix N for Unicode.
QString quotedText(const QString& text);
QString quotedUnicodeText(const QString& text);

// The literal of a text value. Where the server, the client or a batch runner
// would change the value (a backslash right before a line break, which the
// server drops with the break; a NUL, where a client ends the batch; a line
// that tsql or sqlcmd takes as its own command, such as GO or exit; "$(",
// which sqlcmd replaces), the literal is closed there and goes on with + and
// a new literal of the same kind; a NUL stands between them as char(0) or
// nchar(0). Such a concatenation would be cut at 8000 bytes unless its first
// piece is a max type, which servers before 2005 lack: there a long value of
// this kind cannot be written and raises. Other values are one literal.
QString textLiteral(const QString& text, ColumnClass columnClass, bool maxTypesAvailable);

// The same literal appended to a script held as UTF-8, encoded straight
// from the text's characters.
void appendTextLiteral(Utf8Script& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable);

// A T-SQL numeric literal that loads back as the same value: integers as
// their digits, exact numbers as delivered, floating-point values with the
// fewest digits that read back to the same binary value.
QString numberLiteral(const QVariant& value);

// The literal of a date or time value of class Date, Time, DateTime2 or
// DateTimeOffset from the server's text in style 121, with exactly scale
// fraction digits: missing ones are added as zeros, surplus zeros dropped.
// Text of another shape, or a surplus digit that is not zero, raises
// rather than write a value that would load back different.
QString temporalLiteral(ColumnClass columnClass, const QString& text, int scale);

// convert(TYPE,0x...) for a value of class HierarchyId, Geometry or
// Geography from its bytes.
QString clrTypeLiteral(ColumnClass columnClass, const QByteArray& bytes);

// The literal of one non-null value of the given class, or "null". For class
// D, milliseconds is the value of the column's datepart(ms, ...) field; for
// the date and time classes of the newer types, scale is the column's.
QString valueLiteral(ColumnClass columnClass, const QVariant& value,
                     const QVariant& milliseconds = {}, bool maxTypesAvailable = true,
                     int scale = 0);

// The same literal appended to out.
void appendValueLiteral(QString& out, ColumnClass columnClass, const QVariant& value,
                        const QVariant& milliseconds, bool maxTypesAvailable, int scale);

// The same literal appended to out for a value read in its own type (see
// RecordSet::field); milliseconds is null when the column has none. Text,
// numbers, bits, dates and bytes are written without a QVariant, straight
// into out: this is what every value of a table's rows passes through.
void appendValueLiteral(QString& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale);

// The same appended to a script held as UTF-8: texts, numbers, bits and
// dates are written straight into its bytes.
void appendValueLiteral(Utf8Script& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale);

} // namespace quarvex
