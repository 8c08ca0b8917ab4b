#include "scripting/DateLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/Utf8Script.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <charconv>

namespace quarvex {

namespace {

// Two digits, or four, from the front of a number known to fit them.
char* putDigits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        p[i] = char('0' + value % 10);
    return p + width;
}

bool isDateAndTime(const Timestamp& stamp) {
    return stamp.year >= 1 && stamp.year <= 9999 &&
           QDate::isValid(stamp.year, stamp.month, stamp.day) &&
           QTime::isValid(stamp.hour, stamp.minute, stamp.second);
}

// Formatted by hand: QDateTime::toString goes through the calendar and
// locale machinery and snprintf parses its format for every value, which
// dominated the scripting of large tables.
template <typename Out> void appendDate(Out& out, const Timestamp& stamp, qint32 milliseconds) {
    if (!isDateAndTime(stamp))
        reraisingAs(QStringLiteral("GetDate"), [] { raise(QStringLiteral("Invalid date value")); });
    char text[40];
    char* p = text;
    *p++ = '\'';
    p = putDigits(p, stamp.year, 4);
    const int parts[] = {stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second};
    const char separators[] = {'-', '-', ' ', ':', ':'};
    for (int i = 0; i < 5; ++i) {
        *p++ = separators[i];
        p = putDigits(p, parts[i], 2);
    }
    *p++ = '.';
    char number[24];
    const char* const end =
        std::to_chars(number, number + sizeof number, qint64(milliseconds) + 1000).ptr;
    p = std::copy(end - std::min<std::ptrdiff_t>(3, end - number), end, p);
    *p++ = '\'';
    out += QLatin1StringView(text, p - text);
}

QLatin1String typeNameOf(ColumnClass columnClass) {
    switch (columnClass) {
    case ColumnClass::Date:
        return QLatin1String("date");
    case ColumnClass::Time:
        return QLatin1String("time");
    case ColumnClass::DateTime2:
        return QLatin1String("datetime2");
    case ColumnClass::DateTimeOffset:
        return QLatin1String("datetimeoffset");
    default:
        break;
    }
    raiseUnexpectedCase();
}

// Copies the part of text that has the shape ("9" a digit, any other
// character itself) off its front to p; false when it has not.
bool copyShaped(QStringView& text, QChar*& p, QLatin1StringView shape) {
    if (text.size() < shape.size())
        return false;
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const QChar c = text[i];
        const bool fits = shape[i] == u'9' ? (c >= u'0' && c <= u'9') : c == shape[i];
        if (!fits)
            return false;
    }
    p = std::copy(text.begin(), text.begin() + shape.size(), p);
    text = text.mid(shape.size());
    return true;
}

// Copies the fraction of a second off the front of text to p with exactly
// scale digits behind its point; nothing for scale 0. Digits beyond the scale
// may only be zeros.
bool copyScaledFraction(QStringView& text, QChar*& p, int scale) {
    qsizetype digits = 0;
    if (text.startsWith(u'.')) {
        while (digits + 1 < text.size() && text[digits + 1] >= u'0' && text[digits + 1] <= u'9')
            ++digits;
        if (digits == 0)
            return false;
    }
    const QStringView given = digits > 0 ? text.mid(1, digits) : QStringView();
    text = text.mid(digits > 0 ? digits + 1 : 0);
    const qsizetype kept = std::clamp<qsizetype>(scale, 0, given.size());
    if (std::any_of(given.begin() + kept, given.end(), [](QChar c) { return c != u'0'; }))
        return false;
    if (scale <= 0)
        return true;
    *p++ = u'.';
    p = std::copy(given.begin(), given.begin() + kept, p);
    p = std::fill_n(p, scale - kept, QChar(u'0'));
    return true;
}

// Copies the offset, " +hh:mm" or " -hh:mm", off the front of text to p. A
// zero offset is written +00:00 whatever sign it came with.
bool copyOffset(QStringView& text, QChar*& p) {
    const bool zero = text.startsWith(QLatin1StringView(" -00:00"));
    if (!copyShaped(text, p, QLatin1StringView(" +99:99")) &&
        !copyShaped(text, p, QLatin1StringView(" -99:99")))
        return false;
    if (zero)
        p[-6] = u'+'; // the sign, six characters back
    return true;
}

// The literal's text without its apostrophes written from p on, or false when
// text is not what style 121 gives for the class.
bool copyTemporal(ColumnClass columnClass, QStringView text, int scale, QChar*& p) {
    const bool date = columnClass != ColumnClass::Time;
    const bool time = columnClass != ColumnClass::Date;
    if (date && !copyShaped(text, p, QLatin1StringView("9999-99-99")))
        return false;
    if (date && time && !copyShaped(text, p, QLatin1StringView(" ")))
        return false;
    if (time &&
        !(copyShaped(text, p, QLatin1StringView("99:99:99")) && copyScaledFraction(text, p, scale)))
        return false;
    if (columnClass == ColumnClass::DateTimeOffset && !copyOffset(text, p))
        return false;
    return text.isEmpty();
}

} // namespace

void GetDate(QString& out, const Timestamp& value, qint32 milliseconds) {
    appendDate(out, value, milliseconds);
}

void GetDate(Utf8Script& out, const Timestamp& value, qint32 milliseconds) {
    appendDate(out, value, milliseconds);
}

// Written in place from the characters as they came: this runs for every
// such value of a table's rows, where building a string for each piece cost
// more than the rest of the row.
void appendTemporalLiteral(QString& out, ColumnClass columnClass, QStringView text, int scale) {
    const QLatin1String typeName = typeNameOf(columnClass);
    const qsizetype start = out.size();
    // Room for the text, a point and missing fraction digits, the apostrophes.
    out.resize(start + text.size() + std::max(scale, 0) + 3);
    QChar* const first = out.data() + start;
    QChar* p = first;
    *p++ = u'\'';
    const bool fits = copyTemporal(columnClass, text, scale, p);
    *p++ = u'\'';
    out.resize(fits ? start + (p - first) : start);
    if (!fits)
        raise(QStringLiteral("Cannot write the %1 value \"%2\" exactly as a literal")
                  .arg(typeName, text.toString()));
}

} // namespace quarvex
