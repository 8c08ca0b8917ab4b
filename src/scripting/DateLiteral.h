#pragma once

#include "db/FieldValue.h"
#include "scripting/ColumnClass.h"

#include <QString>
#include <QStringView>

namespace quarvex {

class Utf8Script;

// 'yyyy-mm-dd hh:mi:ss.mmm' for a datetime or smalldatetime value, appended
// to out, with the milliseconds the server reported separately: the last
// three digits of milliseconds + 1000 (7 gives 007). The value's own
// fraction of a second is dropped. A value that is no date and time raises
// "GetDate: Invalid date value", before anything is appended.
void GetDate(QString& out, const Timestamp& value, qint32 milliseconds);
void GetDate(Utf8Script& out, const Timestamp& value, qint32 milliseconds);

// The literal of a date or time value of class Date, Time, DateTime2 or
// DateTimeOffset from the server's text in style 121, appended to out, with
// exactly scale fraction digits: missing ones are added as zeros, surplus
// zeros dropped, a zero offset written +00:00. Text of another shape, or a
// surplus digit that is not zero, raises, leaving out as it was, rather than
// write a value that would load back different.
void appendTemporalLiteral(QString& out, ColumnClass columnClass, QStringView text, int scale);

} // namespace quarvex
