#include "standin/values/DateTimeText.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace quarvex::standin {

namespace {

constexpr qint64 ticksPerDay = 24LL * 60 * 60 * 300;

const qint64 baseJulianDay = QDate(1900, 1, 1).toJulianDay();

const char* const monthNames[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};

struct TimeOfDay {
    qint64 ticks = 0;
    bool ok = true;
};

// hh:mi[:ss[.fraction | :milliseconds]] [AM|PM]
TimeOfDay parseTime(QString text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{1,2})(?::(\d{1,2})(?::(\d{1,2})(?:([.:])(\d+))?)?)?\s*([AaPp][Mm])?$)"));
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch() || (match.captured(2).isEmpty() && match.captured(6).isEmpty()))
        return {0, false};
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).toInt();
    if (!match.captured(6).isEmpty()) {
        if (hour > 12)
            return {0, false};
        const bool pm = match.captured(6).toLower() == QLatin1String("pm");
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return {0, false};
    qint64 ticks = ((hour * 60LL + minute) * 60 + second) * 300;
    const QString fraction = match.captured(5);
    if (!fraction.isEmpty()) {
        // After a colon the digits are milliseconds; after a point, a fraction.
        qint64 numerator = 0;
        qint64 denominator = 1;
        if (match.captured(4) == QLatin1String(":")) {
            if (fraction.size() > 3)
                return {0, false};
            numerator = fraction.toLongLong();
            denominator = 1000;
        } else {
            for (QChar digit : fraction.left(9)) {
                numerator = numerator * 10 + digit.digitValue();
                denominator *= 10;
            }
        }
        ticks += (numerator * 300 * 2 + denominator) / (2 * denominator);
    }
    return {ticks, true};
}

} // namespace

int monthFromName(const QString& word) {
    const QString lower = word.toLower();
    for (int i = 0; i < 12; ++i)
        if (lower.startsWith(QLatin1String(monthNames[i])))
            return i + 1;
    return 0;
}

int fullYear(const QString& digits) {
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    return year < 50 ? 2000 + year : 1900 + year;
}

std::optional<DateTimeTicks> parseDateTime(const QString& input, const QString& dateFormat,
                                           bool small, DateTimeError* error) {
    auto fail = [&](DateTimeError why) -> std::optional<DateTimeTicks> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (error)
        *error = DateTimeError::None;
    QString text = input.trimmed();
    if (text.isEmpty())
        return DateTimeTicks{0, 0};

    int year = 1900;
    int month = 1;
    int day = 1;
    QString timeText;

    static const QRegularExpression iso(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}:\d{2}(?::\d{2}(?:\.\d+)?)?)Z?$)"));
    static const QRegularExpression unseparated(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?:\s+(.*))?$)"));
    static const QRegularExpression separated(
        QStringLiteral(R"(^(\d{1,4})([-/.])(\d{1,4})\2(\d{1,4})(?:\s+(.*))?$)"));
    static const QRegularExpression timeOnly(
        QStringLiteral(R"(^\d{1,2}:.*|^\d{1,2}\s*[AaPp][Mm]$)"));

    if (auto m = iso.match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        timeText = m.captured(4);
    } else if (auto u = unseparated.match(text); u.hasMatch()) {
        year = u.captured(1).toInt();
        month = u.captured(2).toInt();
        day = u.captured(3).toInt();
        timeText = u.captured(4);
    } else if (auto sep = separated.match(text); sep.hasMatch()) {
        const QString parts[3] = {sep.captured(1), sep.captured(3), sep.captured(4)};
        timeText = sep.captured(5);
        QString order = dateFormat.toLower();
        if (parts[0].size() == 4) {
            // A leading four-digit year: day and month keep DATEFORMAT's order.
            order = QStringLiteral("y") + QString(order).remove(u'y');
        } else if (parts[1].size() == 4 && order.indexOf(u'y') != 1) {
            return fail(DateTimeError::Unreadable);
        }
        for (int i = 0; i < 3; ++i) {
            if (order[i] == u'y')
                year = fullYear(parts[i]);
            else if (order[i] == u'm')
                month = parts[i].toInt();
            else
                day = parts[i].toInt();
        }
    } else if (timeOnly.match(text).hasMatch()) {
        timeText = text;
    } else {
        // Alphabetic month: "Dec 10 2008", "10 December 2008", "December 10, 2008".
        static const QRegularExpression words(
            QStringLiteral(R"(^([A-Za-z]+|\d+)[ ,]+([A-Za-z]+|\d+)[ ,]+(\d+)(?:\s+(\d.*))?$)"));
        const auto w = words.match(text);
        if (!w.hasMatch())
            return fail(DateTimeError::Unreadable);
        const bool monthFirst = monthFromName(w.captured(1)) > 0;
        month = monthFromName(monthFirst ? w.captured(1) : w.captured(2));
        if (month == 0)
            return fail(DateTimeError::Unreadable);
        day = (monthFirst ? w.captured(2) : w.captured(1)).toInt();
        year = fullYear(w.captured(3));
        timeText = w.captured(4);
    }

    if (!QDate::isValid(year, month, day))
        return fail(DateTimeError::Unreadable);
    TimeOfDay time;
    if (!timeText.trimmed().isEmpty()) {
        time = parseTime(timeText);
        if (!time.ok)
            return fail(DateTimeError::Unreadable);
    }
    DateTimeTicks value{QDate(year, month, day).toJulianDay() - baseJulianDay, time.ticks};
    if (value.ticks >= ticksPerDay) {
        value.days += value.ticks / ticksPerDay;
        value.ticks %= ticksPerDay;
    }
    if (small)
        value = roundToMinute(value);
    const qint64 lowest = small ? 0 : QDate(1753, 1, 1).toJulianDay() - baseJulianDay;
    const qint64 highest = small ? QDate(2079, 6, 6).toJulianDay() - baseJulianDay
                                 : QDate(9999, 12, 31).toJulianDay() - baseJulianDay;
    if (value.days < lowest || value.days > highest)
        return fail(DateTimeError::OutOfRange);
    return value;
}

DateTimeTicks roundToMinute(const DateTimeTicks& value) {
    constexpr qint64 minute = 60 * 300;
    DateTimeTicks rounded{value.days, (value.ticks + minute / 2) / minute * minute};
    if (rounded.ticks >= ticksPerDay) {
        rounded.days += 1;
        rounded.ticks -= ticksPerDay;
    }
    return rounded;
}

// Both run for every datetime value a result sends, so they build and read
// the fixed form digit by digit.
QString storedDateTime(const DateTimeTicks& value) {
    const QDate date = QDate::fromJulianDay(baseJulianDay + value.days);
    const qint64 seconds = value.ticks / 300;
    const qint64 milliseconds = (value.ticks % 300 * 20 + 3) / 6;
    QString text(23, u'0');
    const auto put = [&](int at, qint64 number, int digits) {
        for (int k = at + digits - 1; k >= at; --k, number /= 10)
            text[k] = QChar(u'0' + int(number % 10));
    };
    put(0, date.year(), 4);
    text[4] = u'-';
    put(5, date.month(), 2);
    text[7] = u'-';
    put(8, date.day(), 2);
    text[10] = u'T';
    put(11, seconds / 3600, 2);
    text[13] = u':';
    put(14, seconds / 60 % 60, 2);
    text[16] = u':';
    put(17, seconds % 60, 2);
    text[19] = u'.';
    put(20, milliseconds, 3);
    return text;
}

std::optional<DateTimeTicks> fromStoredDateTime(const QString& text) {
    static const QString shape = QStringLiteral("0000-00-00T00:00:00.000");
    if (text.size() != shape.size())
        return std::nullopt;
    for (int k = 0; k < shape.size(); ++k)
        if (shape[k] == u'0' ? text[k] < u'0' || text[k] > u'9' : text[k] != shape[k])
            return std::nullopt;
    const auto number = [&](int at, int digits) {
        int n = 0;
        for (int k = at; k < at + digits; ++k)
            n = n * 10 + (text[k].unicode() - '0');
        return n;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const qint64 seconds = (qint64(number(11, 2)) * 60 + number(14, 2)) * 60 + number(17, 2);
    const qint64 rest = (number(20, 3) * 6 + 10) / 20;
    if (!date.isValid())
        return std::nullopt;
    return DateTimeTicks{date.toJulianDay() - baseJulianDay, seconds * 300 + rest};
}

} // namespace quarvex::standin
