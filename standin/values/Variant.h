#pragma once

#include "standin/values/SqlType.h"

#include <QVariant>
#include <optional>

namespace quarvex::standin {

// A sql_variant value: its base type and the value as the stand-in stores
// that type (see ValueConversion.h).
struct VariantValue {
    SqlType type;
    QVariant value;
};

// The stored form of a sql_variant: a blob that opens with a mark and the
// base type's declaration, then the base value. SQLite keeps blobs as they
// are in every column, so the value travels through queries unchanged.
QByteArray encodeVariant(const VariantValue& variant);
std::optional<VariantValue> decodeVariant(const QVariant& stored);

// CONVERT(sql_variant, value) of a value whose type is declared ("" when
// only the value tells: integers int or bigint, doubles float, text nvarchar,
// bytes varbinary). A variant stays as it is, null stays null. The max
// types, text, ntext, image, xml, timestamp and the CLR types have no
// variant form (error 206).
QVariant toVariant(const QString& declaration, const QVariant& value);

// SQL_VARIANT_PROPERTY(value, property): BaseType, Precision, Scale and
// MaxLength; null for null and for any other property.
QVariant variantProperty(const QVariant& stored, const QString& property);

} // namespace quarvex::standin
