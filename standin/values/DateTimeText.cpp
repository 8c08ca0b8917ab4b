#include "standin/values/DateTimeText.h"

#include "standin/values/DateTimeReader.h"

#include <QDate>

namespace quarvex::standin {

namespace {

constexpr qint64 ticksPerDay = 24LL * 60 * 60 * 300;

const qint64 baseJulianDay = QDate(1900, 1, 1).toJulianDay();

// Ticks of 1/300 second since midnight; fractions round to the nearest tick.
qint64 clockTicks(const ClockParts& clock) {
    qint64 ticks = ((clock.hour * 60LL + clock.minute) * 60 + clock.second) * 300;
    if (clock.fraction.isEmpty())
        return ticks;
    qint64 numerator = 0;
    qint64 denominator = 1;
    if (clock.thousandths) {
        numerator = clock.fraction.toLongLong();
        denominator = 1000;
    } else {
        for (QChar digit : clock.fraction.left(9)) {
            numerator = numerator * 10 + digit.digitValue();
            denominator *= 10;
        }
    }
    return ticks + (numerator * 300 * 2 + denominator) / (2 * denominator);
}

} // namespace

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

    const auto date = readDate(text, dateFormat, DateForms::Classic);
    if (!date)
        return fail(DateTimeError::Unreadable);
    qint64 ticks = 0;
    if (!date->rest.trimmed().isEmpty()) {
        const auto clock = readClock(date->rest, DateForms::Classic);
        if (!clock)
            return fail(DateTimeError::Unreadable);
        ticks = clockTicks(*clock);
    }
    DateTimeTicks value{QDate(date->year, date->month, date->day).toJulianDay() - baseJulianDay,
                        ticks};
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
