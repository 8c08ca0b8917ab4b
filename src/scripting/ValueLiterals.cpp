#include "scripting/ValueLiterals.h"

#include "db/ExactNumber.h"
#include "scripting/ProcedureError.h"

#include <charconv>
#include <cmath>
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

bool isNull(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

} // namespace

QString GetDate(const QDateTime& value, qint32 milliseconds) {
    return reraisingAs(QStringLiteral("GetDate"), [&] {
        if (!value.isValid())
            raise(QStringLiteral("Invalid date value"));
        const QString dateText = value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString millisecondsText = QString::number(qint64(milliseconds) + 1000).right(3);
        return QLatin1Char('\'') + dateText + QLatin1Char('.') + millisecondsText +
               QLatin1Char('\'');
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

QString valueLiteral(ColumnClass columnClass, const QVariant& value, const QVariant& milliseconds) {
    if (isNull(value))
        return QStringLiteral("null");
    switch (columnClass) {
    case ColumnClass::C:
        return quotedText(value.toString());
    case ColumnClass::U:
        return quotedUnicodeText(value.toString());
    case ColumnClass::N:
        return numberLiteral(value);
    case ColumnClass::L:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case ColumnClass::D:
        return GetDate(value.toDateTime(), milliseconds.toInt());
    case ColumnClass::B:
        return GetHex(value.toByteArray());
    case ColumnClass::T:
        break;
    }
    raiseUnexpectedCase();
}

} // namespace quarvex
