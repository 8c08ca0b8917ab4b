#include "standin/values/Variant.h"

#include "standin/values/SqlError.h"

#include <QtEndian>
#include <cstring>

namespace quarvex::standin {

namespace {

const QByteArray& variantMark() {
    static const QByteArray mark("\xFFqx_variant\x01", 12);
    return mark;
}

// How the base value is held after the declaration.
enum ValueKind : char { IntegerKind = 'i', DoubleKind = 'f', TextKind = 't', BytesKind = 'b' };

// The type SQL Server gives a value the stand-in holds without one.
SqlType typeOfValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        return SqlType{n >= INT32_MIN && n <= INT32_MAX ? BaseType::Int : BaseType::BigInt, 0, 0,
                       0};
    }
    case QMetaType::Double:
        return SqlType{BaseType::Float, 0, 0, 0};
    case QMetaType::QByteArray: {
        const int size = int(value.toByteArray().size());
        return SqlType{BaseType::VarBinary, size > 8000 ? -1 : qMax(size, 1), 0, 0};
    }
    default: {
        const int size = int(value.toString().size());
        return SqlType{BaseType::NVarChar, size > 4000 ? -1 : qMax(size, 1), 0, 0};
    }
    }
}

bool hasVariantForm(const SqlType& type) {
    switch (type.base) {
    case BaseType::Text:
    case BaseType::NText:
    case BaseType::Image:
    case BaseType::Xml:
    case BaseType::Timestamp:
    case BaseType::HierarchyId:
    case BaseType::Geometry:
    case BaseType::Geography:
    case BaseType::Variant:
        return false;
    default:
        return !type.isMax();
    }
}

} // namespace

QByteArray encodeVariant(const VariantValue& variant) {
    QByteArray bytes = variantMark() + variant.type.declaration().toLatin1() + '\0';
    switch (variant.value.typeId()) {
    case QMetaType::LongLong:
        bytes += char(IntegerKind);
        bytes += QByteArray::number(variant.value.toLongLong());
        break;
    case QMetaType::Double: {
        const double d = variant.value.toDouble();
        bytes += char(DoubleKind);
        bytes += QByteArray(reinterpret_cast<const char*>(&d), sizeof d);
        break;
    }
    case QMetaType::QByteArray:
        bytes += char(BytesKind);
        bytes += variant.value.toByteArray();
        break;
    default:
        bytes += char(TextKind);
        bytes += variant.value.toString().toUtf8();
        break;
    }
    return bytes;
}

std::optional<VariantValue> decodeVariant(const QVariant& stored) {
    if (stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QByteArray bytes = stored.toByteArray();
    if (!bytes.startsWith(variantMark()))
        return std::nullopt;
    const qsizetype end = bytes.indexOf('\0', variantMark().size());
    if (end < 0 || end + 1 >= bytes.size())
        return std::nullopt;
    const auto type = SqlType::fromSqliteDeclaration(
        QString::fromLatin1(bytes.mid(variantMark().size(), end - variantMark().size())));
    if (!type)
        return std::nullopt;
    const QByteArray payload = bytes.mid(end + 2);
    switch (bytes[end + 1]) {
    case IntegerKind:
        return VariantValue{*type, payload.toLongLong()};
    case DoubleKind: {
        double d = 0;
        if (payload.size() != sizeof d)
            return std::nullopt;
        std::memcpy(&d, payload.constData(), sizeof d);
        return VariantValue{*type, d};
    }
    case BytesKind:
        return VariantValue{*type, payload};
    case TextKind:
        return VariantValue{*type, QString::fromUtf8(payload)};
    default:
        return std::nullopt;
    }
}

QVariant toVariant(const QString& declaration, const QVariant& value) {
    if (value.isNull() || !value.isValid() || decodeVariant(value))
        return value;
    SqlType type = declaration.isEmpty()
                       ? typeOfValue(value)
                       : SqlType::fromSqliteDeclaration(declaration).value_or(typeOfValue(value));
    if (type.base == BaseType::SysName) // an alias of nvarchar(128)
        type = SqlType{BaseType::NVarChar, 128, 0, 0};
    if (!hasVariantForm(type))
        throw SqlError{206,
                       QStringLiteral("Operand type clash: %1 is incompatible with sql_variant")
                           .arg(type.declaration()),
                       16, 2, true};
    return encodeVariant(VariantValue{type, value});
}

QVariant variantProperty(const QVariant& stored, const QString& property) {
    const auto variant = decodeVariant(stored);
    if (!variant)
        return QVariant();
    const QString name = property.toLower();
    if (name == QLatin1String("basetype"))
        return variant->type.typeName();
    if (name == QLatin1String("precision"))
        return qint64(variant->type.catalogPrecision());
    if (name == QLatin1String("scale"))
        return qint64(variant->type.catalogScale());
    if (name == QLatin1String("maxlength"))
        return qint64(variant->type.maxLength());
    return QVariant();
}

} // namespace quarvex::standin
