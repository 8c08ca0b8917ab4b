#pragma once

#include "standin/values/DateTimeText.h"
#include "standin/values/SqlType.h"

#include <QString>
#include <optional>

namespace quarvex::standin {

// A value of date, time, datetime2 or datetimeoffset: days since 0001-01-01,
// the time of day in units of 100 ns, and (datetimeoffset) the offset from UTC
// in minutes. Day and time are the local ones, as a literal writes them.
struct TemporalValue {
    qint64 days = 0;
    qint64 time = 0;
    int offset = 0;
    friend bool operator==(const TemporalValue&, const TemporalValue&) = default;
};

// Reads a character string as SQL Server converts it to one of these types:
// 'yyyy-mm-dd', 'yyyymmdd' and the forms with T read the same under every
// DATEFORMAT, other numeric dates follow it; a missing date is 1900-01-01.
// Fraction digits beyond the type's scale round (a time wraps at midnight);
// an offset is kept by datetimeoffset and dropped by the others.
std::optional<TemporalValue> parseTemporal(const QString& text, const SqlType& type,
                                           const QString& dateFormat,
                                           DateTimeError* error = nullptr);

// The text CONVERT gives for a style: 121 (also the default and the stored
// form) 'yyyy-mm-dd hh:mm:ss.fffffff +hh:mm' with as many fraction digits as
// the scale, 120, 23, 126, 127 (UTC with Z), 112, 101, 103, 108, and
// 'mon dd yyyy hh:miAM' for 0, 100 and every other style.
QString temporalText(const TemporalValue& value, const SqlType& type, int style = 121);

// A stored value read back: its type (the scale from its fraction digits)
// and value. Text in any other shape gives nullopt.
struct StoredTemporal {
    SqlType type;
    TemporalValue value;
};
std::optional<StoredTemporal> fromStoredTemporal(const QString& text);

// Orders two stored values by what they mean: datetimeoffset by its instant
// in UTC, the others by day and time. nullopt when they do not compare (a
// time against a date).
std::optional<int> compareTemporal(const StoredTemporal& a, const StoredTemporal& b);

// The same moment with day and time in UTC, as TDS sends a datetimeoffset.
TemporalValue inUtc(const TemporalValue& value);

} // namespace quarvex::standin
