#pragma once

#include "standin/values/SqlError.h"
#include "standin/values/SqlType.h"
#include "standin/values/Variant.h"

#include <QVariant>

namespace quarvex::standin {

// CONVERT without a style: datetime reads as style 0, the types of 2008 as 121.
constexpr int noStyle = -2;

// Converts a value to the form the stand-in stores for a SQL Server type, as
// SQL Server converts it on INSERT (store: strings too long are an error) or
// in CONVERT/CAST (convert: strings are cut). Throws SqlError. Values in and
// out are SQLite's: null, qint64, double, QString, QByteArray.
// - integers and bit: qint64; real and float: double
// - decimal, numeric, money: a double when it holds the digits exactly (at
//   most 15 significant), else the exact digits as text
// - datetime: 'yyyy-mm-ddThh:mi:ss.mmm' text; char(n) and binary(n) padded
// - date, time, datetime2, datetimeoffset: their text in style 121, with as
//   many fraction digits as the scale ('yyyy-mm-dd hh:mm:ss.fff +hh:mm')
// - hierarchyid, geometry, geography: their bytes
// - sql_variant: its base type and value in one blob (Variant.h); a variant
//   converts to another type as its base value would
QVariant storeValue(const SqlType& type, const QVariant& value, const QString& dateFormat);
QVariant convertValue(const SqlType& type, const QVariant& value, const QString& dateFormat,
                      int style = noStyle);

// The exact digits of a stored exact number with the type's scale.
QString exactText(const QVariant& stored, int scale);

// How a stored datetime reads as text under CONVERT's style (0, 120, 121, ...).
QString dateTimeText(const QString& stored, int style);

// CONVERT(type, variant): the base value converted as a value of its own
// type would be. Text of exact numbers keeps every digit of the scale
// (money and smallmoney: 2, or 4 with style 2).
QVariant fromVariant(const SqlType& type, const VariantValue& variant, const QString& dateFormat,
                     bool cut, int style);

// What a client receives for a variant: its base value as text (exact
// numbers with every digit of their scale, dates in style 121, bytes as 0x
// and hex digits).
QString variantText(const VariantValue& variant);

} // namespace quarvex::standin
