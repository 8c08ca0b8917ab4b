#include "standin/values/DateTimeReader.h"

#include <QDate>
#include <QRegularExpression>

namespace quarvex::standin {

namespace {

// A month named in English or abbreviated ("Dec", "december"); 0 if none.
int monthFromName(const QString& word) {
    static const char* const monthNames[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = word.toLower();
    for (int i = 0; i < 12; ++i)
        if (lower.startsWith(QLatin1String(monthNames[i])))
            return i + 1;
    return 0;
}

// A year as written: two digits below 50 are 20xx, the others 19xx.
int fullYear(const QString& digits) {
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    return year < 50 ? 2000 + year : 1900 + year;
}

// d/m/y with any of / . - between: the year may stand first, else where
// DATEFORMAT puts it.
std::optional<DateParts> orderedDate(const QRegularExpressionMatch& s, const QString& dateFormat) {
    const QString numbers[3] = {s.captured(1), s.captured(3), s.captured(4)};
    QString order = dateFormat.toLower();
    if (numbers[0].size() == 4)
        order = QStringLiteral("y") + QString(order).remove(u'y');
    else if (numbers[1].size() == 4 && order.indexOf(u'y') != 1)
        return std::nullopt;
    DateParts parts;
    for (int i = 0; i < 3; ++i) {
        if (order[i] == u'y')
            parts.year = fullYear(numbers[i]);
        else if (order[i] == u'm')
            parts.month = numbers[i].toInt();
        else
            parts.day = numbers[i].toInt();
    }
    parts.rest = s.captured(5);
    return parts;
}

// "Dec 10 2008", "10 December 2008", "December 10, 2008".
DateParts namedMonthDate(const QRegularExpressionMatch& w) {
    const bool monthFirst = monthFromName(w.captured(1)) > 0;
    return {fullYear(w.captured(3)), monthFromName(monthFirst ? w.captured(1) : w.captured(2)),
            (monthFirst ? w.captured(2) : w.captured(1)).toInt(), w.captured(4)};
}

std::optional<DateParts> readDateForm(const QString& text, const QString& dateFormat,
                                      DateForms forms) {
    static const QRegularExpression timeOnly(QStringLiteral(R"(^\d{1,2}(:|\s*[AaPp][Mm]$))"));
    static const QRegularExpression classicIso(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}:\d{2}(?::\d{2}(?:\.\d+)?)?)Z?$)"));
    static const QRegularExpression newerIso(
        QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:T(.+)|\s+(.*))?$)"));
    static const QRegularExpression classicUnseparated(
        QStringLiteral(R"(^(\d{2})(\d{2})(\d{2})(\d{2})(?:\s+(.*))?$)"));
    static const QRegularExpression newerUnseparated(
        QStringLiteral(R"(^(\d{2})?(\d{2})(\d{2})(\d{2})(?:\s+(.*))?$)"));
    static const QRegularExpression separated(
        QStringLiteral(R"(^(\d{1,4})([/.-])(\d{1,4})\2(\d{1,4})(?:\s+(.*))?$)"));
    static const QRegularExpression words(
        QStringLiteral(R"(^([A-Za-z]+|\d+)[ ,]+([A-Za-z]+|\d+)[ ,]+(\d+)(?:\s+(\d.*))?$)"));
    const bool classic = forms == DateForms::Classic;
    if (timeOnly.match(text).hasMatch())
        return DateParts{1900, 1, 1, text};
    if (const auto m = (classic ? classicIso : newerIso).match(text); m.hasMatch())
        return DateParts{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         m.captured(4) + m.captured(5)};
    if (const auto u = (classic ? classicUnseparated : newerUnseparated).match(text); u.hasMatch())
        return DateParts{fullYear(u.captured(1) + u.captured(2)), u.captured(3).toInt(),
                         u.captured(4).toInt(), u.captured(5)};
    if (const auto s = separated.match(text); s.hasMatch())
        return orderedDate(s, dateFormat);
    if (const auto w = words.match(text); w.hasMatch())
        return namedMonthDate(w);
    return std::nullopt;
}

} // namespace

std::optional<DateParts> readDate(const QString& text, const QString& dateFormat, DateForms forms) {
    const auto parts = readDateForm(text, dateFormat, forms);
    if (!parts || parts->year < 1 || !QDate::isValid(parts->year, parts->month, parts->day))
        return std::nullopt;
    return parts;
}

std::optional<ClockParts> readClock(const QString& text, DateForms forms) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{1,2})(?::(\d{1,2})(?::(\d{1,2})(?:([.:])(\d*))?)?)?\s*([AaPp][Mm])?$)"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(6).isEmpty()))
        return std::nullopt;
    const bool classic = forms == DateForms::Classic;
    ClockParts clock{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(5), m.captured(4) == QLatin1String(":")};
    // datetime wants a digit after the separator; the newer types do not.
    if (classic && !m.captured(4).isEmpty() && clock.fraction.isEmpty())
        return std::nullopt;
    if (!m.captured(6).isEmpty()) {
        // datetime takes "0 PM" for noon; the newer types refuse it.
        const bool pm = m.captured(6).toLower() == QLatin1String("pm");
        if (clock.hour > 12 || (!classic && pm && clock.hour == 0))
            return std::nullopt;
        clock.hour = clock.hour % 12 + (pm ? 12 : 0);
    }
    if (clock.hour > 23 || clock.minute > 59 || clock.second > 59)
        return std::nullopt;
    const qsizetype digits = clock.fraction.size();
    if (clock.thousandths ? digits > 3 : !classic && digits > 7)
        return std::nullopt;
    return clock;
}

} // namespace quarvex::standin
