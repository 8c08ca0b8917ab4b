#pragma once

#include <QString>
#include <optional>

namespace quarvex::standin {

// How far a type reads the forms of a date and a time of day: datetime and
// smalldatetime take the ISO form only with T ('yyyy-mm-ddThh:mi:ss') and
// eight digits unseparated; the types of 2008 also take 'yyyy-m-d hh:mi'
// and six digits (yymmdd), and refuse more than seven fraction digits.
enum class DateForms { Classic, Newer };

// A date as written: its parts and what follows it (the time of day). A
// string that is only a time of day gives 1900-01-01 and the whole text.
struct DateParts {
    int year = 1900;
    int month = 1;
    int day = 1;
    QString rest;
};

// Reads the date at the start of a character string as SQL Server does: the
// numeric forms follow the DATEFORMAT ("mdy", "dmy", ...), except the ISO
// and unseparated ones; a separated form that starts with a four-digit year
// keeps day and month in the order DATEFORMAT gives them. nullopt when the
// text is no date or names a day that does not exist.
std::optional<DateParts> readDate(const QString& text, const QString& dateFormat, DateForms forms);

// hh:mi[:ss[.fraction | :milliseconds]] [AM|PM], or hh AM|PM.
struct ClockParts {
    int hour = 0;
    int minute = 0;
    int second = 0;
    QString fraction;         // the digits after the seconds
    bool thousandths = false; // after a colon: milliseconds, not a decimal fraction
};
std::optional<ClockParts> readClock(const QString& text, DateForms forms);

} // namespace quarvex::standin
