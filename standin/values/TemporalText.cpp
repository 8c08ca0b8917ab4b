#include "standin/values/TemporalText.h"

#include "standin/values/DateTimeReader.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace quarvex::standin {

namespace {

constexpr qint64 unitsPerSecond = 10000000;
constexpr qint64 unitsPerDay = 86400 * unitsPerSecond;
constexpr int widestOffset = 14 * 60;

const qint64 firstJulianDay = QDate(1, 1, 1).toJulianDay();
const qint64 lastDay = QDate(9999, 12, 31).toJulianDay() - firstJulianDay;

qint64 dayNumber(int year, int month, int day) {
    return QDate(year, month, day).toJulianDay() - firstJulianDay;
}

qint64 powerOfTen(int n) {
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

qint64 instant(const TemporalValue& v) {
    return v.days * unitsPerDay + v.time - qint64(v.offset) * 60 * unitsPerSecond;
}

// In units of 100 ns since midnight.
qint64 clockUnits(const ClockParts& clock) {
    const qint64 fraction = clock.thousandths ? clock.fraction.toLongLong() * 10000
                                              : clock.fraction.leftJustified(7, u'0').toLongLong();
    return ((clock.hour * 60LL + clock.minute) * 60 + clock.second) * unitsPerSecond + fraction;
}

// A trailing offset ('+05:45', ' -14:00', 'Z') is cut from text. false: one
// that is malformed or beyond fourteen hours.
bool takeOffset(QString& text, int* offset) {
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<=\d)\s*(?:([+-])(\d{1,2}):(\d{2})|Z)$)"));
    const auto m = pattern.match(text);
    *offset = 0;
    if (!m.hasMatch())
        return true;
    text.truncate(m.capturedStart());
    if (m.captured(1).isEmpty())
        return true;
    const int hours = m.captured(2).toInt();
    const int minutes = m.captured(3).toInt();
    if (minutes > 59 || hours * 60 + minutes > widestOffset)
        return false;
    *offset = (m.captured(1) == QLatin1String("-") ? -1 : 1) * (hours * 60 + minutes);
    return true;
}

// Fits a value read in full to the type: scale, parts, range.
std::optional<TemporalValue> fitted(TemporalValue value, const SqlType& type,
                                    DateTimeError* error) {
    switch (type.base) {
    case BaseType::Date:
        return TemporalValue{value.days, 0, 0};
    case BaseType::DateTimeOffset:
        break;
    default:
        value.offset = 0;
    }
    const qint64 unit = powerOfTen(7 - type.scale);
    value.time = (value.time + unit / 2) / unit * unit;
    if (value.time >= unitsPerDay) {
        value.time -= unitsPerDay;
        ++value.days;
    }
    if (type.base == BaseType::Time)
        return TemporalValue{0, value.time, 0};
    const qint64 utc = instant(value);
    if (value.days > lastDay || utc < 0 || utc >= (lastDay + 1) * unitsPerDay) {
        if (error)
            *error = DateTimeError::OutOfRange;
        return std::nullopt;
    }
    return value;
}

QString pad(qint64 n, int width) {
    return QString::number(n).rightJustified(width, u'0');
}

QString dateText(qint64 days) {
    const QDate date = QDate::fromJulianDay(firstJulianDay + days);
    return pad(date.year(), 4) + u'-' + pad(date.month(), 2) + u'-' + pad(date.day(), 2);
}

QString clockText(qint64 time, int scale, bool fraction) {
    const qint64 seconds = time / unitsPerSecond;
    QString text =
        pad(seconds / 3600, 2) + u':' + pad(seconds / 60 % 60, 2) + u':' + pad(seconds % 60, 2);
    if (fraction && scale > 0)
        text += u'.' + pad(time % unitsPerSecond / powerOfTen(7 - scale), scale);
    return text;
}

QString offsetText(int offset) {
    const int minutes = qAbs(offset);
    return QString(offset < 0 ? u'-' : u'+') + pad(minutes / 60, 2) + u':' + pad(minutes % 60, 2);
}

// 'Jan  2 2024  3:04AM', the style of 0 and 100.
QString monthFirstText(qint64 days, qint64 time, bool withDate, bool withClock) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = QDate::fromJulianDay(firstJulianDay + days);
    QStringList parts;
    if (withDate)
        parts << QStringLiteral("%1 %2 %3")
                     .arg(QLatin1String(months[date.month() - 1]))
                     .arg(date.day(), 2, 10, QLatin1Char(' '))
                     .arg(date.year(), 4, 10, QLatin1Char('0'));
    if (withClock) {
        const qint64 minutes = time / unitsPerSecond / 60;
        const int hour = int(minutes / 60);
        parts << QStringLiteral("%1:%2%3")
                     .arg(hour % 12 == 0 ? 12 : hour % 12, 2, 10, QLatin1Char(' '))
                     .arg(pad(minutes % 60, 2),
                          hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
    }
    return parts.join(u' ');
}

} // namespace

std::optional<TemporalValue> parseTemporal(const QString& input, const SqlType& type,
                                           const QString& dateFormat, DateTimeError* error) {
    if (error)
        *error = DateTimeError::None;
    auto unreadable = [&]() -> std::optional<TemporalValue> {
        if (error)
            *error = DateTimeError::Unreadable;
        return std::nullopt;
    };
    QString text = input.trimmed();
    int offset = 0;
    if (!takeOffset(text, &offset))
        return unreadable();
    TemporalValue value{dayNumber(1900, 1, 1), 0, offset};
    if (text.isEmpty())
        return fitted(value, type, error);
    const auto date = readDate(text, dateFormat, DateForms::Newer);
    if (!date)
        return unreadable();
    value.days = dayNumber(date->year, date->month, date->day);
    if (!date->rest.trimmed().isEmpty()) {
        const auto clock = readClock(date->rest, DateForms::Newer);
        if (!clock)
            return unreadable();
        value.time = clockUnits(*clock);
    }
    return fitted(value, type, error);
}

namespace {

// Styles 126 and 127: ISO 8601 with a T, a zero fraction left out; 127
// writes a datetimeoffset in UTC. days is the date shown when there is none.
QString isoText(const TemporalValue& value, const SqlType& type, bool inUtc, qint64 days) {
    const bool withDate = type.base != BaseType::Time;
    const bool withClock = type.base != BaseType::Date;
    const bool withOffset = type.base == BaseType::DateTimeOffset;
    const bool utc = inUtc && withOffset;
    const qint64 moment = utc ? instant(value) : value.days * unitsPerDay + value.time;
    const qint64 time = withClock ? moment % unitsPerDay : 0;
    QString text = withDate ? dateText(withClock ? moment / unitsPerDay : days) : QString();
    if (withClock)
        text += (withDate ? QStringLiteral("T") : QString()) +
                clockText(time, type.scale, time % unitsPerSecond != 0);
    if (withOffset)
        text += utc ? QStringLiteral("Z") : offsetText(value.offset);
    return text;
}

} // namespace

QString temporalText(const TemporalValue& value, const SqlType& type, int style) {
    const bool withDate = type.base != BaseType::Time;
    const bool withClock = type.base != BaseType::Date;
    const bool withOffset = type.base == BaseType::DateTimeOffset;
    // A time converted with a style that shows a date shows 1900-01-01.
    const qint64 days = withDate ? value.days : dayNumber(1900, 1, 1);
    auto joined = [&](const QString& date, const QString& clock, const QString& offset) {
        QStringList parts;
        if (withDate)
            parts << date;
        if (withClock)
            parts << clock;
        if (withOffset)
            parts << offset;
        return parts.join(u' ');
    };
    switch (style) {
    case 21:
    case 25:
    case 121:
        return joined(dateText(days), clockText(value.time, type.scale, true),
                      offsetText(value.offset));
    case 20:
    case 120:
        return joined(dateText(days), clockText(value.time, type.scale, false),
                      offsetText(value.offset));
    case 23:
        return dateText(days);
    case 126:
    case 127:
        return isoText(value, type, style == 127, days);
    case 112:
        return dateText(days).remove(u'-');
    case 101:
    case 103: {
        const QString iso = dateText(days);
        const QString day = iso.mid(8, 2);
        const QString month = iso.mid(5, 2);
        return (style == 101 ? month + u'/' + day : day + u'/' + month) + u'/' + iso.left(4);
    }
    case 8:
    case 24:
    case 108:
        return clockText(value.time, 0, false);
    default: {
        const QString text = monthFirstText(days, value.time, withDate, withClock);
        return withOffset ? text + u' ' + offsetText(value.offset) : text;
    }
    }
}

std::optional<StoredTemporal> fromStoredTemporal(const QString& text) {
    const int n = int(text.size());
    auto number = [&](int at, int count) {
        if (at + count > n)
            return -1;
        int value = 0;
        for (int i = at; i < at + count; ++i) {
            if (!text[i].isDigit())
                return -1;
            value = value * 10 + text[i].digitValue();
        }
        return value;
    };
    auto charAt = [&](int at, char c) { return at < n && text[at] == QLatin1Char(c); };
    TemporalValue value;
    int at = 0;
    const bool withDate = charAt(4, '-') && charAt(7, '-');
    if (withDate) {
        const int year = number(0, 4);
        const int month = number(5, 2);
        const int day = number(8, 2);
        if (year < 1 || !QDate::isValid(year, month, day))
            return std::nullopt;
        value.days = dayNumber(year, month, day);
        if (n == 10)
            return StoredTemporal{SqlType::temporal(BaseType::Date, 0), value};
        if (!charAt(10, ' '))
            return std::nullopt;
        at = 11;
    }
    const int hour = number(at, 2);
    const int minute = number(at + 3, 2);
    const int second = number(at + 6, 2);
    if (!charAt(at + 2, ':') || !charAt(at + 5, ':') || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    at += 8;
    int scale = 0;
    qint64 fraction = 0;
    if (charAt(at, '.')) {
        for (++at; at < n && scale < 7 && text[at].isDigit(); ++at, ++scale)
            fraction = fraction * 10 + text[at].digitValue();
        if (scale == 0)
            return std::nullopt;
    }
    value.time =
        ((hour * 60LL + minute) * 60 + second) * unitsPerSecond + fraction * powerOfTen(7 - scale);
    if (at == n)
        return StoredTemporal{
            SqlType::temporal(withDate ? BaseType::DateTime2 : BaseType::Time, scale), value};
    const int offsetHours = number(at + 2, 2);
    const int offsetMinutes = number(at + 5, 2);
    if (!withDate || n - at != 7 || !charAt(at, ' ') ||
        !(charAt(at + 1, '+') || charAt(at + 1, '-')) || !charAt(at + 4, ':') || offsetHours < 0 ||
        offsetMinutes < 0 || offsetMinutes > 59 || offsetHours * 60 + offsetMinutes > widestOffset)
        return std::nullopt;
    value.offset = (charAt(at + 1, '-') ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
    return StoredTemporal{SqlType::temporal(BaseType::DateTimeOffset, scale), value};
}

std::optional<int> compareTemporal(const StoredTemporal& a, const StoredTemporal& b) {
    if ((a.type.base == BaseType::Time) != (b.type.base == BaseType::Time))
        return std::nullopt;
    const qint64 x = instant(a.value);
    const qint64 y = instant(b.value);
    return x < y ? -1 : (x > y ? 1 : 0);
}

TemporalValue inUtc(const TemporalValue& value) {
    const qint64 moment = instant(value);
    return TemporalValue{moment / unitsPerDay, moment % unitsPerDay, value.offset};
}

} // namespace quarvex::standin
