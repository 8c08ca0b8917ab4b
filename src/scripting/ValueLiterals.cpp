#include "scripting/ValueLiterals.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <system_error>

namespace quarvex {

namespace {

// Shortest round-trip digits laid out as a T-SQL literal. A plain decimal
// literal is read by the server as numeric and then converted; that
// conversion is exact only while the digits fit a double's 53-bit mantissa
// (up to 15 of them) and the scale is modest, so longer or far-out values are
// written with an exponent, which the server reads as float directly.
template <typename Float> QString floatLiteral(Float value) {
    if (!std::isfinite(value))
        raise(QStringLiteral("Cannot write the floating-point value %1 as a literal")
                  .arg(double(value)));
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string scientific(buffer, result.ptr);

    // scientific is [-]d[.ddd]e(+|-)xx
    const auto ePos = scientific.find('e');
    std::string mantissa = scientific.substr(0, ePos);
    const int exponent = std::stoi(scientific.substr(ePos + 1));
    const bool negative = mantissa.front() == '-';
    if (negative)
        mantissa.erase(0, 1);
    std::string digits;
    for (char c : mantissa)
        if (c != '.')
            digits += c;

    const int count = int(digits.size());
    std::string text;
    if (count <= 15 && exponent >= -7 && exponent < 15) {
        const int point = exponent + 1; // digits before the decimal point
        if (point <= 0)
            text = "0." + std::string(size_t(-point), '0') + digits;
        else if (point >= count)
            text = digits + std::string(size_t(point - count), '0');
        else
            text = digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
    } else {
        text = digits.substr(0, 1);
        if (count > 1)
            text += "." + digits.substr(1);
        text += "E" + std::to_string(exponent);
    }
    return QString::fromLatin1((negative ? "-" : "") + text);
}

// An exact number must already be a plain T-SQL numeric literal: an optional
// minus, digits, at most one decimal point. Anything else would change the
// statement's meaning, so it is refused rather than written.
QString checkedExactNumber(const QString& text) {
    int digits = 0;
    int points = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128)
            ++digits;
        else if (c == u'.')
            ++points;
        else if (!(c == u'-' && i == 0))
            raise(QStringLiteral("Invalid number text: ") + text);
    }
    if (digits == 0 || points > 1)
        raise(QStringLiteral("Invalid number text: ") + text);
    return text;
}

bool isBlank(QChar c) {
    return c.isSpace() && c != u'\n';
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// A line that tsql or sqlcmd takes as a command of its own instead of a line
// of the batch: one whose first word is GO or a word that quits (exit, quit,
// bye), drops the batch typed so far (reset, version) or starts an editor
// (ed), in any letter case; or one starting with ":" or "!!". Blanks before
// it do not count. Splitting more lines than strictly needed costs nothing;
// splitting one too few breaks the script.
bool isCommandLine(QStringView line) {
    qsizetype start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    line = line.mid(start);
    if (line.startsWith(u':') || line.startsWith(u"!!"))
        return true;
    qsizetype end = 0;
    while (end < line.size() && isWordCharacter(line[end]))
        ++end;
    static const char16_t* const commands[] = {u"go",    u"exit",    u"quit", u"bye",
                                               u"reset", u"version", u"ed"};
    const QStringView word = line.left(end);
    return std::any_of(std::begin(commands), std::end(commands), [word](const char16_t* command) {
        return word.compare(QStringView(command), Qt::CaseInsensitive) == 0;
    });
}

bool isLineBreakAt(const QString& text, qsizetype i) {
    return (i < text.size() && text[i] == u'\n') ||
           (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n');
}

// Positions, in order, at which the literal must be closed and a new one
// begun: after a backslash that ends a line (the server drops both), at the
// start of a command line, between "$" and "(" (sqlcmd replaces "$(name)"
// even inside literals), and on both sides of a NUL (a client ends the batch
// text there), which is written outside any literal.
QList<qsizetype> literalCuts(const QString& text) {
    QList<qsizetype> cuts;
    const auto cutAt = [&](qsizetype position) {
        if (position > 0 && position < text.size() && (cuts.isEmpty() || cuts.last() < position))
            cuts.append(position);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && isLineBreakAt(text, i + 1)) {
            cutAt(i + 1);
        } else if (c == u'\n') {
            qsizetype end = text.indexOf(u'\n', i + 1);
            if (end < 0)
                end = text.size();
            if (isCommandLine(QStringView(text).mid(i + 1, end - i - 1)))
                cutAt(i + 1);
        } else if (c == u'(' && i > 0 && text[i - 1] == u'$') {
            cutAt(i);
        } else if (c.isNull()) {
            cutAt(i);
            cutAt(i + 1);
        }
    }
    return cuts;
}

bool isNull(const QVariant& value) {
    return !value.isValid() || value.isNull();
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
    case ColumnClass::HierarchyId:
        return QLatin1String("hierarchyid");
    case ColumnClass::Geometry:
        return QLatin1String("geometry");
    case ColumnClass::Geography:
        return QLatin1String("geography");
    default:
        break;
    }
    raiseUnexpectedCase();
}

// Takes the part of text that has the shape ("9" a digit, any other
// character itself) off its front; false, leaving text, when it has not.
bool takeShaped(QStringView& text, QLatin1String shape) {
    if (text.size() < shape.size())
        return false;
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const QChar c = text[i];
        const bool fits = shape[i] == u'9' ? (c >= u'0' && c <= u'9') : c == shape[i];
        if (!fits)
            return false;
    }
    text = text.mid(shape.size());
    return true;
}

// The fraction of a second with exactly scale digits, behind its point;
// nothing for scale 0. Digits beyond the scale may only be zeros.
std::optional<QString> scaledFraction(QStringView& text, int scale) {
    qsizetype digits = 0;
    if (text.startsWith(u'.')) {
        while (digits + 1 < text.size() && text[digits + 1] >= u'0' && text[digits + 1] <= u'9')
            ++digits;
        if (digits == 0)
            return std::nullopt;
    }
    const QStringView given = digits > 0 ? text.mid(1, digits) : QStringView();
    text = text.mid(digits > 0 ? digits + 1 : 0);
    for (qsizetype i = scale; i < given.size(); ++i)
        if (given[i] != u'0')
            return std::nullopt;
    if (scale <= 0)
        return QString();
    QString fraction = given.left(scale).toString();
    return QLatin1Char('.') + fraction.leftJustified(scale, u'0');
}

// The literal's text without its apostrophes, or nothing when text is not
// what style 121 gives for the class.
std::optional<QString> temporalText(ColumnClass columnClass, QStringView text, int scale) {
    const QStringView whole = text;
    const bool date = columnClass != ColumnClass::Time;
    const bool time = columnClass != ColumnClass::Date;
    if (date && !takeShaped(text, QLatin1String("9999-99-99")))
        return std::nullopt;
    if (date && time && !takeShaped(text, QLatin1String(" ")))
        return std::nullopt;
    QString literal = whole.left(whole.size() - text.size()).toString();
    if (time) {
        const QStringView clock = text;
        if (!takeShaped(text, QLatin1String("99:99:99")))
            return std::nullopt;
        const auto fraction = scaledFraction(text, scale);
        if (!fraction)
            return std::nullopt;
        literal += clock.left(8);
        literal += *fraction;
    }
    if (columnClass == ColumnClass::DateTimeOffset) {
        const QStringView offset = text;
        if (!takeShaped(text, QLatin1String(" +99:99")) &&
            !takeShaped(text, QLatin1String(" -99:99")))
            return std::nullopt;
        // A zero offset is written +00:00 whatever sign it came with.
        literal +=
            offset.left(7) == QLatin1String(" -00:00") ? QStringView(u" +00:00") : offset.left(7);
    }
    if (!text.isEmpty())
        return std::nullopt;
    return literal;
}

} // namespace

QString GetDate(const QDateTime& value, qint32 milliseconds) {
    return reraisingAs(QStringLiteral("GetDate"), [&] {
        if (!value.isValid())
            raise(QStringLiteral("Invalid date value"));
        // Formatted by hand: QDateTime::toString goes through the calendar
        // and locale machinery, which dominated the scripting of large tables.
        const QDate date = value.date();
        const QTime time = value.time();
        const QString millisecondsText = QString::number(qint64(milliseconds) + 1000).right(3);
        char text[40];
        std::snprintf(text, sizeof text, "'%04d-%02d-%02d %02d:%02d:%02d.", date.year(),
                      date.month(), date.day(), time.hour(), time.minute(), time.second());
        return QLatin1String(text) + millisecondsText + QLatin1Char('\'');
    });
}

QString GetHex(const QByteArray& bytes) {
    return reraisingAs(QStringLiteral("GetHex"), [&] {
        return QLatin1String("0x") + QString::fromLatin1(bytes.toHex().toUpper());
    });
}

QString quotedText(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(u'\'', QLatin1String("''")) +
           QLatin1Char('\'');
}

QString quotedUnicodeText(const QString& text) {
    return QLatin1Char('N') + quotedText(text);
}

QString textLiteral(const QString& text, ColumnClass columnClass, bool maxTypesAvailable) {
    const bool unicode = columnClass == ColumnClass::U;
    const auto quote = [unicode](const QString& piece) {
        if (piece.size() == 1 && piece[0].isNull())
            return unicode ? QStringLiteral("nchar(0)") : QStringLiteral("char(0)");
        return unicode ? quotedUnicodeText(piece) : quotedText(piece);
    };
    const QList<qsizetype> cuts = literalCuts(text);
    if (cuts.isEmpty())
        return quote(text);

    // 8000 bytes: 8000 single-byte or 4000 Unicode characters.
    const bool long_ = text.size() > (unicode ? 4000 : 8000);
    if (long_ && !maxTypesAvailable)
        raise(QStringLiteral("A text value of %1 characters holds a NUL, a backslash before a "
                             "line break, a line that a batch runner takes as a command or "
                             "\"$(\"; servers before SQL Server 2005 cannot load it unchanged "
                             "from a script")
                  .arg(text.size()));

    QStringList pieces;
    qsizetype start = 0;
    for (const qsizetype cut : cuts) {
        pieces.append(quote(text.mid(start, cut - start)));
        start = cut;
    }
    pieces.append(quote(text.mid(start)));
    if (long_)
        pieces.first() = (unicode ? QLatin1String("convert(nvarchar(max),")
                                  : QLatin1String("convert(varchar(max),")) +
                         pieces.first() + QLatin1Char(')');
    return pieces.join(QLatin1Char('+'));
}

QString temporalLiteral(ColumnClass columnClass, const QString& text, int scale) {
    const auto literal = temporalText(columnClass, text, scale);
    if (!literal)
        raise(QStringLiteral("Cannot write the %1 value \"%2\" exactly as a literal")
                  .arg(typeNameOf(columnClass), text));
    return QLatin1Char('\'') + *literal + QLatin1Char('\'');
}

QString clrTypeLiteral(ColumnClass columnClass, const QByteArray& bytes) {
    return QLatin1String("convert(") + typeNameOf(columnClass) + QLatin1Char(',') + GetHex(bytes) +
           QLatin1Char(')');
}

QString numberLiteral(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
        return floatLiteral(value.toDouble());
    case QMetaType::Float:
        return floatLiteral(value.toFloat());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<ExactNumber>())
        return checkedExactNumber(value.value<ExactNumber>().text);
    raise(QStringLiteral("Not a number: ") + QString::fromLatin1(value.typeName()));
}

QString valueLiteral(ColumnClass columnClass, const QVariant& value, const QVariant& milliseconds,
                     bool maxTypesAvailable, int scale) {
    if (isNull(value))
        return QStringLiteral("null");
    switch (columnClass) {
    case ColumnClass::C:
    case ColumnClass::U:
        return textLiteral(value.toString(), columnClass, maxTypesAvailable);
    case ColumnClass::N:
        return numberLiteral(value);
    case ColumnClass::L:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case ColumnClass::D:
        return GetDate(value.toDateTime(), milliseconds.toInt());
    case ColumnClass::B:
        return GetHex(value.toByteArray());
    case ColumnClass::Date:
    case ColumnClass::Time:
    case ColumnClass::DateTime2:
    case ColumnClass::DateTimeOffset:
        return temporalLiteral(columnClass, value.toString(), scale);
    case ColumnClass::HierarchyId:
    case ColumnClass::Geometry:
    case ColumnClass::Geography:
        return clrTypeLiteral(columnClass, value.toByteArray());
    case ColumnClass::T:
        break;
    }
    raiseUnexpectedCase();
}

} // namespace quarvex
