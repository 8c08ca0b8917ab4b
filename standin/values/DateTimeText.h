#pragma once

#include <QString>
#include <optional>

namespace quarvex::standin {

// A datetime as SQL Server holds it: days since 1900-01-01 and ticks of
// 1/300 second since midnight.
struct DateTimeTicks {
    qint64 days = 0;
    qint64 ticks = 0;
    friend bool operator==(const DateTimeTicks&, const DateTimeTicks&) = default;
};

enum class DateTimeError { None, Unreadable, OutOfRange };

// Reads a character string the way SQL Server converts it to datetime (or
// smalldatetime): the numeric forms follow the DATEFORMAT ("mdy", "dmy",
// ...), except 'yyyymmdd' and 'yyyy-mm-ddThh:mi:ss' which never do; a
// separated form that starts with a four-digit year keeps day and month in
// the order DATEFORMAT gives them. Fractions round to 1/300 second
// (smalldatetime: to the minute).
std::optional<DateTimeTicks> parseDateTime(const QString& text, const QString& dateFormat,
                                           bool small, DateTimeError* error = nullptr);

// The form the stand-in stores: 'yyyy-mm-ddThh:mi:ss.mmm' (milliseconds as
// SQL Server shows the tick: .000, .003, .007, ...). It sorts correctly as
// text, and being the ISO form it reads back the same under any DATEFORMAT.
QString storedDateTime(const DateTimeTicks& value);
std::optional<DateTimeTicks> fromStoredDateTime(const QString& text);

// smalldatetime's rounding of a datetime to the minute.
DateTimeTicks roundToMinute(const DateTimeTicks& value);

} // namespace quarvex::standin
