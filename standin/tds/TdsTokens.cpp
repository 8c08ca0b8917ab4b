#include "standin/tds/TdsTokens.h"

#include "standin/values/CodePage1252.h"
#include "standin/values/DateTimeText.h"
#include "standin/values/ExactDecimal.h"
#include "standin/values/TemporalText.h"
#include "standin/values/ValueConversion.h"

#include <QUuid>
#include <cmath>
#include <cstring>

namespace quarvex::standin {

namespace {

enum WireType {
    GuidType = 0x24,
    IntN = 0x26,
    BitN = 0x68,
    DecimalN = 0x6A,
    NumericN = 0x6C,
    FloatN = 0x6D,
    MoneyN = 0x6E,
    DateTimeN = 0x6F,
    ImageType = 0x22,
    TextType = 0x23,
    NTextType = 0x63,
    BigVarBinary = 0xA5,
    BigVarChar = 0xA7,
    BigBinary = 0xAD,
    BigChar = 0xAF,
    NVarChar = 0xE7,
    NChar = 0xEF,
    DateN = 0x28,
    TimeN = 0x29,
    DateTime2N = 0x2A,
    DateTimeOffsetN = 0x2B,
};

int decimalBytes(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

// max types have no wire form before TDS 7.2 and the stand-in sends them as
// the old LOB types in every version; so it sends the CLR types as the
// binaries they are held as. One case per type: a table in switch form.
int wireTypeOf(const SqlType& t, bool dateTypes) {
    switch (t.base) {
    case BaseType::Date:
        return dateTypes ? DateN : NVarChar;
    case BaseType::Time:
        return dateTypes ? TimeN : NVarChar;
    case BaseType::DateTime2:
        return dateTypes ? DateTime2N : NVarChar;
    case BaseType::DateTimeOffset:
        return dateTypes ? DateTimeOffsetN : NVarChar;
    case BaseType::HierarchyId:
        return BigVarBinary;
    case BaseType::Geometry:
    case BaseType::Geography:
        return ImageType;
    case BaseType::Int:
    case BaseType::SmallInt:
    case BaseType::TinyInt:
    case BaseType::BigInt:
        return IntN;
    case BaseType::Bit:
        return BitN;
    case BaseType::Real:
    case BaseType::Float:
        return FloatN;
    case BaseType::Decimal:
        return DecimalN;
    case BaseType::Numeric:
        return NumericN;
    case BaseType::Money:
    case BaseType::SmallMoney:
        return MoneyN;
    case BaseType::DateTime:
    case BaseType::SmallDateTime:
        return DateTimeN;
    case BaseType::UniqueIdentifier:
        return GuidType;
    case BaseType::Char:
        return BigChar;
    case BaseType::VarChar:
        return t.isMax() ? TextType : BigVarChar;
    case BaseType::Text:
        return TextType;
    case BaseType::NChar:
        return NChar;
    case BaseType::NVarChar:
        return t.isMax() ? NTextType : NVarChar;
    case BaseType::SysName:
        return NVarChar;
    case BaseType::NText:
    case BaseType::Xml:
        return NTextType;
    case BaseType::Binary:
    case BaseType::Timestamp:
        return BigBinary;
    case BaseType::VarBinary:
        return t.isMax() ? ImageType : BigVarBinary;
    case BaseType::Image:
        return ImageType;
    case BaseType::Variant: // the cursor sends a variant's base value as text
        return NVarChar;
    }
    return IntN;
}

int fixedSize(const SqlType& t) {
    switch (t.base) {
    case BaseType::TinyInt:
    case BaseType::Bit:
        return 1;
    case BaseType::SmallInt:
        return 2;
    case BaseType::Int:
    case BaseType::Real:
    case BaseType::SmallMoney:
    case BaseType::SmallDateTime:
        return 4;
    default:
        return 8;
    }
}

QByteArray guidBytes(const QString& text) {
    const QByteArray rfc = QUuid::fromString(text).toRfc4122();
    return QByteArray() + rfc[3] + rfc[2] + rfc[1] + rfc[0] + rfc[5] + rfc[4] + rfc[7] + rfc[6] +
           rfc.mid(8);
}

// A date or time value: the stored text read as the column's type.
std::optional<TemporalValue> temporalOf(const SqlType& t, const QVariant& v) {
    if (!t.isTemporal() || v.isNull() || !v.isValid())
        return std::nullopt;
    return parseTemporal(v.toString(), t, QStringLiteral("ymd"));
}

// TDS 7.3's date and time types: the time of day in units of the scale, then
// the days since 0001-01-01; a datetimeoffset in UTC with its offset last.
void writeTemporal(TdsWriter& w, const SqlType& t, const TemporalValue& local) {
    const bool offset = t.base == BaseType::DateTimeOffset;
    const TemporalValue value = offset ? inUtc(local) : local;
    const int timeSize =
        t.base == BaseType::Date ? 0 : SqlType::temporal(BaseType::Time, t.scale).maxLength();
    const int dateSize = t.base == BaseType::Time ? 0 : 3;
    w.u8(timeSize + dateSize + (offset ? 2 : 0));
    qint64 units = value.time;
    for (int k = t.scale; k < 7; ++k)
        units /= 10;
    for (int k = 0; k < timeSize; ++k)
        w.u8(int((units >> (8 * k)) & 0xFF));
    for (int k = 0; k < dateSize; ++k)
        w.u8(int((value.days >> (8 * k)) & 0xFF));
    if (offset)
        w.u16(value.offset);
}

// Money in ten-thousandths. A value held as a double that is the nearest
// one to a number of four places (as every stored money value is) is that
// number, which is what its shortest text would read as too.
std::optional<qint64> moneyUnits(const QVariant& v) {
    if (v.typeId() == QMetaType::Double) {
        const double value = v.toDouble();
        const double units = std::round(value * 10000);
        if (std::abs(units) < 1e15 && units / 10000 == value)
            return qint64(units);
    }
    const auto scaled = scaledDecimal(exactText(v, 4), 4);
    if (!scaled)
        return std::nullopt;
    return scaled->negative ? -qint64(scaled->magnitude) : qint64(scaled->magnitude);
}

QByteArray textBytes(const SqlType& t, const QVariant& v) {
    QString text;
    if (const auto temporal = temporalOf(t, v))
        text = temporalText(*temporal, t);
    else if (v.typeId() == QMetaType::Double)
        text = shortestDouble(v.toDouble());
    else if (v.typeId() == QMetaType::QByteArray && !t.isUnicode())
        return v.toByteArray();
    else
        text = v.toString();
    if (t.isUnicode() || t.isTemporal()) // a date or time goes as nvarchar
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return toCodePage1252(text);
}

// A value of an integer or bit column, from whatever SQLite kept.
void writeInteger(TdsWriter& w, const SqlType& t, const QVariant& v, int wire) {
    const int size = wire == BitN ? 1 : fixedSize(t);
    qint64 n = 0;
    if (v.typeId() == QMetaType::Double)
        n = qint64(v.toDouble());
    else if (v.typeId() == QMetaType::QString)
        n = v.toString().trimmed().section(u'.', 0, 0).toLongLong();
    else
        n = v.toLongLong();
    if (wire == BitN)
        n = n != 0;
    w.u8(size);
    for (int k = 0; k < size; ++k)
        w.u8(int((quint64(n) >> (8 * k)) & 0xFF));
}

void writeFloat(TdsWriter& w, const SqlType& t, const QVariant& v) {
    const double d =
        v.typeId() == QMetaType::QString ? readDouble(v.toString()).value_or(0.0) : v.toDouble();
    if (t.base == BaseType::Real) {
        const float f = float(d);
        quint32 bits = 0;
        std::memcpy(&bits, &f, 4);
        w.u8(4);
        w.u32(bits);
    } else {
        quint64 bits = 0;
        std::memcpy(&bits, &d, 8);
        w.u8(8);
        w.u64(bits);
    }
}

void writeDecimal(TdsWriter& w, const SqlType& t, const QVariant& v) {
    const auto scaled = scaledDecimal(exactText(v, t.scale), t.scale);
    if (!scaled)
        return w.u8(0);
    const int size = decimalBytes(t.precision);
    w.u8(size);
    w.u8(scaled->negative ? 0 : 1);
    for (int k = 0; k < size - 1; ++k)
        w.u8(int((scaled->magnitude >> (8 * k)) & 0xFF));
}

void writeMoney(TdsWriter& w, const SqlType& t, const QVariant& v) {
    const auto units = moneyUnits(v);
    if (!units)
        return w.u8(0);
    const qint64 n = *units;
    if (t.base == BaseType::SmallMoney) {
        w.u8(4);
        w.u32(quint32(qint32(n)));
    } else {
        w.u8(8);
        w.u32(quint32(quint64(n) >> 32));
        w.u32(quint32(quint64(n) & 0xFFFFFFFFu));
    }
}

void writeDateTime(TdsWriter& w, const SqlType& t, const QVariant& v) {
    const auto ticks = fromStoredDateTime(v.toString());
    if (!ticks)
        return w.u8(0);
    if (t.base == BaseType::SmallDateTime) {
        w.u8(4);
        w.u16(int(ticks->days));
        w.u16(int(ticks->ticks / (60 * 300)));
    } else {
        w.u8(8);
        w.u32(quint32(qint32(ticks->days)));
        w.u32(quint32(ticks->ticks));
    }
}

void writeGuid(TdsWriter& w, const QVariant& v) {
    if (QUuid::fromString(v.toString()).isNull())
        return w.u8(0);
    w.u8(16);
    w.bytes(guidBytes(v.toString()));
}

// The bytes of a text or binary value: binary as kept (text put into a
// binary column as code page 1252), text in the column's encoding.
QByteArray valueBytes(const SqlType& t, const QVariant& v, bool binary) {
    if (!binary)
        return textBytes(t, v);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : toCodePage1252(v.toString());
}

// text, ntext and image: a text pointer and a timestamp before the value.
void writeLongBytes(TdsWriter& w, const QByteArray& bytes) {
    w.u8(16);
    w.bytes(QByteArray(16, '\x01')); // text pointer
    w.bytes(QByteArray(8, '\x01'));  // timestamp
    w.u32(quint32(bytes.size()));
    w.bytes(bytes);
}

// One value of a ROW token, as its column's wire type carries it.
void writeValue(TdsWriter& w, const SqlType& t, const QVariant& v, int wire) {
    const bool null = v.isNull() || !v.isValid();
    switch (wire) {
    case DateN:
    case TimeN:
    case DateTime2N:
    case DateTimeOffsetN:
        if (const auto temporal = temporalOf(t, v))
            return writeTemporal(w, t, *temporal);
        return w.u8(0);
    case BigChar:
    case BigVarChar:
    case NChar:
    case NVarChar:
    case BigBinary:
    case BigVarBinary: {
        if (null)
            return w.u16(0xFFFF);
        const QByteArray bytes = valueBytes(t, v, wire == BigBinary || wire == BigVarBinary);
        w.u16(int(bytes.size()));
        return w.bytes(bytes);
    }
    }
    if (null)
        return w.u8(0);
    switch (wire) {
    case IntN:
    case BitN:
        return writeInteger(w, t, v, wire);
    case FloatN:
        return writeFloat(w, t, v);
    case DecimalN:
    case NumericN:
        return writeDecimal(w, t, v);
    case MoneyN:
        return writeMoney(w, t, v);
    case DateTimeN:
        return writeDateTime(w, t, v);
    case GuidType:
        return writeGuid(w, v);
    case TextType:
    case NTextType:
    case ImageType:
        return writeLongBytes(w, valueBytes(t, v, wire == ImageType));
    }
}

} // namespace

QByteArray defaultCollation() {
    return QByteArray::fromHex("0904d00034");
}

void TdsTokens::loginAck(TdsWriter& w, const QString& version) const {
    const QStringList parts = version.split(u'.');
    const QString program = QStringLiteral("Microsoft SQL Server");
    w.u8(0xAD);
    w.u16(1 + 4 + 1 + 2 * int(program.size()) + 4);
    w.u8(1);
    w.u8(int(m_version >> 24));
    w.u8(int(m_version >> 16));
    w.u8(int(m_version >> 8));
    w.u8(int(m_version));
    w.bVarchar(program);
    w.u8(parts.value(0).toInt());
    w.u8(parts.value(1).toInt());
    w.u16be(parts.value(2).toInt());
}

void TdsTokens::envChange(TdsWriter& w, int type, const QString& newValue,
                          const QString& oldValue) const {
    w.u8(0xE3);
    w.u16(1 + 1 + 2 * int(newValue.size()) + 1 + 2 * int(oldValue.size()));
    w.u8(type);
    w.bVarchar(newValue);
    w.bVarchar(oldValue);
}

void TdsTokens::collationChange(TdsWriter& w) const {
    const QByteArray collation = defaultCollation();
    w.u8(0xE3);
    w.u16(1 + 1 + int(collation.size()) + 1);
    w.u8(7);
    w.u8(int(collation.size()));
    w.bytes(collation);
    w.u8(0);
}

void TdsTokens::message(TdsWriter& w, const SqlError& m, bool isError, const QString& server,
                        int line) const {
    const int lineSize = isTds72() ? 4 : 2;
    w.u8(isError ? 0xAA : 0xAB);
    w.u16(4 + 1 + 1 + 2 + 2 * int(m.message.size()) + 1 + 2 * int(server.size()) + 1 + lineSize);
    w.u32(quint32(m.number));
    w.u8(m.state);
    w.u8(m.severity);
    w.usVarchar(m.message);
    w.bVarchar(server);
    w.bVarchar(QString());
    if (isTds72())
        w.u32(quint32(line));
    else
        w.u16(line);
}

void TdsTokens::returnStatus(TdsWriter& w, int status) const {
    w.u8(0x79);
    w.u32(quint32(status));
}

void TdsTokens::returnIntValue(TdsWriter& w, int ordinal, int value) const {
    w.u8(0xAC);
    w.u16(ordinal);
    w.bVarchar(QString());
    w.u8(0x01); // output parameter
    if (isTds72())
        w.u32(0);
    else
        w.u16(0);
    w.u16(0x0001);
    w.u8(IntN);
    w.u8(4);
    w.u8(4);
    w.u32(quint32(value));
}

void TdsTokens::done(TdsWriter& w, int status, int command, qint64 count, int token) const {
    w.u8(token);
    w.u16(status);
    w.u16(command);
    if (isTds72())
        w.u64(quint64(count));
    else
        w.u32(quint32(count));
}

void TdsTokens::columnMetadata(TdsWriter& w, const QList<ResultColumn>& columns) const {
    w.u8(0x81);
    w.u16(int(columns.size()));
    for (const ResultColumn& c : columns) {
        const SqlType& t = c.type;
        const int userType = t.base == BaseType::Timestamp ? 0x50 : 0;
        if (isTds72())
            w.u32(quint32(userType));
        else
            w.u16(userType);
        w.u16(0x0001 | 0x0008); // nullable, read/write unknown
        const int wire = wireTypeOf(t, hasDateTypes());
        w.u8(wire);
        typeInfo(w, t, wire);
        w.bVarchar(c.name);
    }
}

// What a column's wire type carries after it: length, precision and scale,
// collation, or a LOB's table name.
void TdsTokens::typeInfo(TdsWriter& w, const SqlType& t, int wire) const {
    switch (wire) {
    case DateN:
        break;
    case TimeN:
    case DateTime2N:
    case DateTimeOffsetN:
        w.u8(t.scale);
        break;
    case IntN:
    case FloatN:
    case MoneyN:
    case DateTimeN:
        w.u8(fixedSize(t));
        break;
    case BitN:
        w.u8(1);
        break;
    case GuidType:
        w.u8(16);
        break;
    case DecimalN:
    case NumericN:
        w.u8(decimalBytes(t.precision));
        w.u8(t.precision);
        w.u8(t.scale);
        break;
    case BigChar:
    case BigVarChar:
        w.u16(t.length);
        w.bytes(defaultCollation());
        break;
    case NChar:
    case NVarChar:
        // A date or time as text is as long as its longest literal.
        w.u16(t.base == BaseType::SysName ? 256 : t.isTemporal() ? 2 * t.precision : 2 * t.length);
        w.bytes(defaultCollation());
        break;
    case BigBinary:
    case BigVarBinary:
        w.u16(t.base == BaseType::Timestamp     ? 8
              : t.base == BaseType::HierarchyId ? t.maxLength()
                                                : t.length);
        break;
    case TextType:
    case NTextType:
    case ImageType:
        w.u32(wire == NTextType ? 0x7FFFFFFE : 0x7FFFFFFF);
        if (wire != ImageType)
            w.bytes(defaultCollation());
        if (isTds72()) {
            w.u8(1);
            w.usVarchar(QStringLiteral("t"));
        } else {
            w.usVarchar(QStringLiteral("t"));
        }
        break;
    }
}

void TdsTokens::row(TdsWriter& w, const QList<ResultColumn>& columns,
                    const QVariantList& values) const {
    w.u8(0xD1);
    for (int i = 0; i < columns.size(); ++i)
        writeValue(w, columns[i].type, values[i], wireTypeOf(columns[i].type, hasDateTypes()));
}

} // namespace quarvex::standin
