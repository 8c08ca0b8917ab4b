#include "standin/values/ValueConversion.h"

#include "standin/values/CodePage1252.h"
#include "standin/values/DateTimeText.h"
#include "standin/values/ExactDecimal.h"
#include "standin/values/TemporalText.h"
#include "standin/values/Variant.h"

#include <QDate>
#include <QRegularExpression>
#include <QUuid>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace quarvex::standin {

namespace {

QString sourceTypeName(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::LongLong:
        return QStringLiteral("int");
    case QMetaType::Double:
        return QStringLiteral("float");
    case QMetaType::QByteArray:
        return QStringLiteral("varbinary");
    default:
        return QStringLiteral("varchar");
    }
}

SqlError conversionFailed(const QVariant& value, const SqlType& type) {
    if (type.isInteger())
        return SqlError{245,
                        QStringLiteral("Conversion failed when converting the %1 value '%2' to "
                                       "data type %3.")
                            .arg(sourceTypeName(value), value.toString(), type.typeName()),
                        16, 1, true};
    return SqlError{8114,
                    QStringLiteral("Error converting data type %1 to %2.")
                        .arg(sourceTypeName(value), type.typeName()),
                    16, 5, true};
}

SqlError overflow(const SqlType& type, const QVariant& value) {
    if (type.base == BaseType::TinyInt || type.base == BaseType::SmallInt)
        return SqlError{220,
                        QStringLiteral("Arithmetic overflow error for data type %1, value = %2.")
                            .arg(type.typeName(), value.toString()),
                        16, 1, true};
    return SqlError{8115,
                    QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
                        .arg(value.typeId() == QMetaType::QString ? QStringLiteral("expression")
                                                                  : QStringLiteral("numeric"),
                             type.typeName()),
                    16, 8, true};
}

QString numberText(const QVariant& value) {
    if (value.typeId() == QMetaType::Double)
        return shortestDouble(value.toDouble());
    return value.toString();
}

QVariant toInteger(const SqlType& type, const QVariant& value) {
    qint64 n = 0;
    if (value.typeId() == QMetaType::LongLong) {
        n = value.toLongLong();
    } else if (value.typeId() == QMetaType::Double) {
        const double d = std::trunc(value.toDouble());
        if (!(std::fabs(d) < 9.2e18))
            throw overflow(type, value);
        n = qint64(d);
    } else if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        n = text.toLongLong(&ok);
        if (!ok) {
            // Exact-number text (a stored decimal) converts; other text does not.
            static const QRegularExpression decimal(QStringLiteral(R"(^[-+]?\d+\.\d*$)"));
            if (text.isEmpty()) {
                n = 0;
            } else if (decimal.match(text).hasMatch() && type.base != BaseType::Bit) {
                n = text.left(text.indexOf(u'.')).toLongLong(&ok);
                if (!ok)
                    throw overflow(type, value);
            } else if (type.base == BaseType::Bit &&
                       (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                        text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)) {
                n = text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            } else {
                throw conversionFailed(value, type);
            }
        }
    } else {
        throw conversionFailed(value, type);
    }
    qint64 low = 0;
    qint64 highest = 0;
    switch (type.base) {
    case BaseType::Bit:
        return qint64(n != 0);
    case BaseType::TinyInt:
        low = 0, highest = 255;
        break;
    case BaseType::SmallInt:
        low = -32768, highest = 32767;
        break;
    case BaseType::Int:
        low = INT32_MIN, highest = INT32_MAX;
        break;
    default:
        return n;
    }
    if (n < low || n > highest)
        throw overflow(type, value);
    return n;
}

QVariant toFloat(const SqlType& type, const QVariant& value) {
    double d = 0;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
        d = value.toDouble();
    } else if (value.typeId() == QMetaType::QString) {
        const auto read = readDouble(value.toString());
        if (!read)
            throw conversionFailed(value, type);
        d = *read;
    } else {
        throw conversionFailed(value, type);
    }
    if (type.base == BaseType::Real)
        d = double(float(d));
    return d;
}

QVariant toExact(const SqlType& type, const QVariant& value) {
    int precision = type.precision;
    int scale = type.scale;
    if (type.base == BaseType::Money)
        precision = 19, scale = 4;
    else if (type.base == BaseType::SmallMoney)
        precision = 10, scale = 4;
    if (value.typeId() == QMetaType::QByteArray)
        throw conversionFailed(value, type);
    bool tooLarge = false;
    const auto normal = normalizeDecimal(numberText(value), precision, scale, &tooLarge);
    if (!normal)
        throw tooLarge
            ? overflow(SqlType{type.base == BaseType::Numeric ? BaseType::Numeric : type.base, 0,
                               precision, scale},
                       value)
            : conversionFailed(value, type);
    if (type.base == BaseType::Money || type.base == BaseType::SmallMoney) {
        const auto scaled = scaledDecimal(*normal, 4);
        const UInt128 limit = type.base == BaseType::Money
                                            ? UInt128(9223372036854775807ULL)
                                            : UInt128(2147483647U);
        if (scaled->magnitude > limit + (scaled->negative ? 1 : 0))
            throw overflow(type, value);
    }
    int significant = 0;
    bool leading = true;
    for (QChar c : *normal) {
        if (!c.isDigit() || (leading && c == u'0'))
            continue;
        leading = false;
        ++significant;
    }
    if (significant <= 15) {
        // Few enough digits for a double to carry them exactly; storing it
        // as a number keeps comparisons and arithmetic numeric.
        return readDouble(*normal).value_or(0.0);
    }
    return *normal;
}

QString asText(const QVariant& value, bool unicode) {
    switch (value.typeId()) {
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return shortestDouble(value.toDouble());
    case QMetaType::QByteArray:
        return unicode ? QString::fromUtf16(
                             reinterpret_cast<const char16_t*>(value.toByteArray().constData()),
                             value.toByteArray().size() / 2)
                       : fromCodePage1252(value.toByteArray());
    default:
        return value.toString();
    }
}

SqlError truncated() {
    return SqlError{8152, QStringLiteral("String or binary data would be truncated."), 16, 14,
                    false};
}

// A stored date or time value reads as CONVERT writes it with the style;
// storing one into a text column keeps its stored form, which is what SQL
// Server writes for the types of 2008 and what the stand-in keeps for datetime.
QString styledText(const QVariant& value, bool unicode, int style) {
    if (value.typeId() != QMetaType::QString || style == -1)
        return asText(value, unicode);
    const QString text = value.toString();
    if (fromStoredDateTime(text))
        return dateTimeText(text, style);
    if (const auto stored = fromStoredTemporal(text))
        return temporalText(stored->value, stored->type, style == noStyle ? 121 : style);
    return text;
}

QVariant toText(const SqlType& type, const QVariant& value, bool cut, int style) {
    QString text = styledText(value, type.isUnicode(), style);
    if (!type.isUnicode())
        text = narrowedTo1252(text);
    int limit = -1;
    switch (type.base) {
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::NChar:
    case BaseType::NVarChar:
        limit = type.length;
        break;
    case BaseType::SysName:
        limit = 128;
        break;
    default:
        break;
    }
    if (limit > 0 && text.size() > limit) {
        if (!cut) {
            // Trailing blanks beyond the length are dropped, as SQL Server does.
            if (text.mid(limit).trimmed().isEmpty())
                text.truncate(limit);
            else
                throw truncated();
        }
        text.truncate(limit);
    }
    if ((type.base == BaseType::Char || type.base == BaseType::NChar) && text.size() < limit)
        text = text.leftJustified(limit, u' ');
    return text;
}

QVariant toBinary(const SqlType& type, const QVariant& value, bool cut) {
    QByteArray bytes;
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        bytes = value.toByteArray();
        break;
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        const int size = (n >= INT32_MIN && n <= INT32_MAX) ? 4 : 8;
        for (int i = size - 1; i >= 0; --i)
            bytes.append(char((n >> (8 * i)) & 0xFF));
        break;
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        for (int i = 7; i >= 0; --i)
            bytes.append(char((bits >> (8 * i)) & 0xFF));
        break;
    }
    case QMetaType::QString: {
        // Text that code page 1252 cannot hold came from a Unicode column,
        // whose bytes are UTF-16.
        const QString text = value.toString();
        bytes = toCodePage1252(text);
        if (fromCodePage1252(bytes) != text)
            bytes = QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        break;
    }
    default:
        throw conversionFailed(value, type);
    }
    if (type.length > 0 && bytes.size() > type.length) {
        if (!cut)
            throw truncated();
        bytes.truncate(type.length);
    }
    if (type.base == BaseType::Binary && bytes.size() < type.length)
        bytes.append(QByteArray(type.length - bytes.size(), '\0'));
    return bytes;
}

// A datetimeoffset becomes a datetime at its local time.
QString withoutOffset(const QString& text) {
    const auto stored = fromStoredTemporal(text);
    if (!stored || stored->type.base != BaseType::DateTimeOffset)
        return text;
    return text.left(text.size() - 7);
}

QVariant toDateTime(const SqlType& type, const QVariant& value, const QString& dateFormat) {
    const bool small = type.base == BaseType::SmallDateTime;
    std::optional<DateTimeTicks> ticks;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
        const double days = value.toDouble();
        const double whole = std::floor(days);
        ticks = DateTimeTicks{qint64(whole), qint64(std::llround((days - whole) * 25920000.0))};
        if (small)
            ticks = roundToMinute(*ticks);
    } else if (value.typeId() == QMetaType::QString) {
        DateTimeError error = DateTimeError::None;
        ticks = parseDateTime(withoutOffset(value.toString()), dateFormat, small, &error);
        if (!ticks && error == DateTimeError::OutOfRange)
            throw SqlError{242,
                           QStringLiteral("The conversion of a char data type to a %1 data type "
                                          "resulted in an out-of-range %1 value.")
                               .arg(type.typeName()),
                           16, 3, true};
        if (!ticks)
            throw SqlError{241,
                           QStringLiteral("Conversion failed when converting %1 from character "
                                          "string.")
                               .arg(type.typeName()),
                           16, 1, true};
    } else {
        throw conversionFailed(value, type);
    }
    return storedDateTime(*ticks);
}

QVariant toTemporal(const SqlType& type, const QVariant& value, const QString& dateFormat) {
    if (value.typeId() != QMetaType::QString)
        throw SqlError{529,
                       QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                           .arg(sourceTypeName(value), type.typeName()),
                       16, 2, true};
    DateTimeError error = DateTimeError::None;
    const auto parsed = parseTemporal(value.toString(), type, dateFormat, &error);
    if (!parsed && error == DateTimeError::OutOfRange)
        throw SqlError{242,
                       QStringLiteral("The conversion of a varchar data type to a %1 data type "
                                      "resulted in an out-of-range value.")
                           .arg(type.typeName()),
                       16, 3, true};
    if (!parsed)
        throw SqlError{241,
                       QStringLiteral("Conversion failed when converting date and/or time from "
                                      "character string."),
                       16, 1, true};
    return temporalText(*parsed, type);
}

// hierarchyid, geometry and geography are kept as the bytes of their binary
// form; reading their text forms ('/1/2/', well-known text) is not built.
QVariant toClrType(const SqlType& type, const QVariant& value) {
    if (value.typeId() != QMetaType::QByteArray)
        throw unsupported(QStringLiteral("converting %1 to %2 (only varbinary converts)")
                              .arg(sourceTypeName(value), type.typeName()));
    return value;
}

QVariant toGuid(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray && value.toByteArray().size() == 16) {
        const QByteArray b = value.toByteArray();
        // Wire order: the first three groups little-endian.
        const QByteArray swapped =
            QByteArray() + b[3] + b[2] + b[1] + b[0] + b[5] + b[4] + b[7] + b[6] + b.mid(8);
        return QUuid::fromRfc4122(swapped).toString(QUuid::WithoutBraces).toUpper();
    }
    const QString text = value.toString().trimmed();
    static const QRegularExpression guid(QStringLiteral(
        R"(^\{?([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\}?$)"));
    const auto match = guid.match(text);
    if (!match.hasMatch())
        throw SqlError{8169,
                       QStringLiteral("Conversion failed when converting from a character string "
                                      "to uniqueidentifier."),
                       16, 2, true};
    return match.captured(1).toUpper();
}

// The text of an exact number with the digits SQL Server writes for it.
QString exactNumberText(const VariantValue& variant, int style) {
    const bool money =
        variant.type.base == BaseType::Money || variant.type.base == BaseType::SmallMoney;
    const int scale = money ? (style == 2 ? 4 : 2) : variant.type.scale;
    return exactText(variant.value, scale);
}

// The bytes of a base value as SQL Server converts it to binary, where the
// stand-in's own conversion would not: Unicode text as UTF-16, floats as
// their IEEE bits, most significant byte first.
QVariant binarySource(const VariantValue& variant) {
    if (variant.type.isUnicode()) {
        const QString text = variant.value.toString();
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    if (variant.type.base == BaseType::Float || variant.type.base == BaseType::Real) {
        const double d = variant.value.toDouble();
        QByteArray bytes;
        if (variant.type.base == BaseType::Real) {
            const float f = float(d);
            quint32 bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            bytes.resize(4);
            qToBigEndian(bits, bytes.data());
        } else {
            quint64 bits = 0;
            std::memcpy(&bits, &d, sizeof bits);
            bytes.resize(8);
            qToBigEndian(bits, bytes.data());
        }
        return bytes;
    }
    return variant.value;
}

QVariant convert(const SqlType& type, const QVariant& value, const QString& dateFormat, bool cut,
                 int style) {
    if (value.isNull() || !value.isValid())
        return QVariant();
    if (const auto variant = decodeVariant(value))
        return fromVariant(type, *variant, dateFormat, cut, style);
    switch (type.base) {
    case BaseType::Int:
    case BaseType::SmallInt:
    case BaseType::TinyInt:
    case BaseType::BigInt:
    case BaseType::Bit:
        return toInteger(type, value);
    case BaseType::Real:
    case BaseType::Float:
        return toFloat(type, value);
    case BaseType::Decimal:
    case BaseType::Numeric:
    case BaseType::Money:
    case BaseType::SmallMoney:
        return toExact(type, value);
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::Text:
    case BaseType::NChar:
    case BaseType::NVarChar:
    case BaseType::NText:
    case BaseType::SysName:
    case BaseType::Xml:
        return toText(type, value, cut, style);
    case BaseType::Binary:
    case BaseType::VarBinary:
    case BaseType::Image:
    case BaseType::Timestamp:
        return toBinary(type, value, cut);
    case BaseType::DateTime:
    case BaseType::SmallDateTime:
        return toDateTime(type, value, dateFormat);
    case BaseType::UniqueIdentifier:
        return toGuid(value);
    case BaseType::Date:
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
        return toTemporal(type, value, dateFormat);
    case BaseType::HierarchyId:
    case BaseType::Geometry:
    case BaseType::Geography:
        return toClrType(type, value);
    case BaseType::Variant:
        return toVariant(QString(), value);
    }
    return value;
}

} // namespace

QVariant storeValue(const SqlType& type, const QVariant& value, const QString& dateFormat) {
    return convert(type, value, dateFormat, false, -1);
}

QVariant convertValue(const SqlType& type, const QVariant& value, const QString& dateFormat,
                      int style) {
    return convert(type, value, dateFormat, true, style);
}

QString exactText(const QVariant& stored, int scale) {
    return normalizeDecimal(numberText(stored), 38, scale).value_or(QStringLiteral("0"));
}

QString dateTimeText(const QString& stored, int style) {
    const auto ticks = fromStoredDateTime(stored);
    if (!ticks)
        return stored;
    const QString iso = storedDateTime(*ticks); // yyyy-mm-ddThh:mi:ss.mmm
    const QString date = iso.left(10);
    const QString time = iso.mid(11);
    switch (style) {
    case 120:
    case 20:
        return date + u' ' + time.left(8);
    case 121:
    case 21:
        return date + u' ' + time;
    case 126:
        return iso;
    case 112:
        return QString(date).remove(u'-');
    case 101:
        return date.mid(5, 2) + u'/' + date.mid(8, 2) + u'/' + date.left(4);
    case 103:
        return date.mid(8, 2) + u'/' + date.mid(5, 2) + u'/' + date.left(4);
    default: {
        // Style 0: "Dec 10 2008  2:05PM".
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const int hour = time.left(2).toInt();
        const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
        return QStringLiteral("%1 %2 %3 %4:%5%6")
            .arg(QLatin1String(months[date.mid(5, 2).toInt() - 1]))
            .arg(date.mid(8, 2).toInt(), 2, 10, QLatin1Char(' '))
            .arg(date.left(4))
            .arg(hour12, 2, 10, QLatin1Char(' '))
            .arg(time.mid(3, 2), hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
    }
    }
}

QVariant fromVariant(const SqlType& type, const VariantValue& variant, const QString& dateFormat,
                     bool cut, int style) {
    if (type.isVariant())
        return encodeVariant(variant);
    if (type == variant.type)
        return variant.value;
    QVariant source = variant.value;
    if (type.isText() && variant.type.isExactNumber()) {
        source = exactNumberText(variant, style);
        style = -1;
    } else if (type.isBinary()) {
        source = binarySource(variant);
    }
    return cut ? convertValue(type, source, dateFormat, style)
               : storeValue(type, source, dateFormat);
}

QString variantText(const VariantValue& variant) {
    if (variant.type.isBinary())
        return QLatin1String("0x") +
               QString::fromLatin1(variant.value.toByteArray().toHex().toUpper());
    if (variant.type.isExactNumber())
        return exactText(variant.value, variant.type.base == BaseType::Money ||
                                                variant.type.base == BaseType::SmallMoney
                                            ? 4
                                            : variant.type.scale);
    return fromVariant(SqlType{BaseType::NVarChar, -1, 0, 0}, variant, QStringLiteral("ymd"), true,
                       121)
        .toString();
}

} // namespace quarvex::standin
