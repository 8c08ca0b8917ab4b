#include "scripting/VariantLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/ByteLiteral.h"
#include "scripting/DateLiteral.h"
#include "scripting/NumberLiteral.h"
#include "scripting/TextLiteral.h"

#include <QStringList>
#include <utility>

namespace quarvex {

namespace {

QString baseTypeOf(const QString& sqlName) {
    return QLatin1String("convert(sysname,sql_variant_property(") + sqlName +
           QLatin1String(",'BaseType'))");
}

// What the value position reads for the base types whose text is the value:
// every digit, dates year first in any language, money with four decimals.
// Floats and bytes come in fields of their own.
struct TextRead {
    const char* baseType;
    const char* expression; // "%1": the column
};

constexpr TextRead classicTextReads[] = {
    {"datetime", "convert(nvarchar(max),convert(datetime,%1),121)"},
    {"smalldatetime", "convert(nvarchar(max),convert(smalldatetime,%1),121)"},
    {"money", "convert(nvarchar(max),convert(money,%1),2)"},
    {"smallmoney", "convert(nvarchar(max),convert(smallmoney,%1),2)"},
    {"float", "null"},
    {"real", "null"},
    {"binary", "null"},
    {"varbinary", "null"},
};

constexpr TextRead dateTypeTextReads[] = {
    {"date", "convert(nvarchar(max),convert(date,%1),121)"},
    {"time", "convert(nvarchar(max),convert(time(7),%1),121)"},
    {"datetime2", "convert(nvarchar(max),convert(datetime2(7),%1),121)"},
    {"datetimeoffset", "convert(nvarchar(max),convert(datetimeoffset(7),%1),121)"},
};

template <typename Reads> void appendReads(QString& out, const Reads& reads, const QString& name) {
    for (const TextRead& read : reads)
        out += QLatin1String(" when '") + QLatin1String(read.baseType) + QLatin1String("' then ") +
               QString::fromLatin1(read.expression).replace(QLatin1String("%1"), name);
}

// The base type and its facts as the info field gives them: "name precision
// scale maxlength".
struct VariantBase {
    QString name;
    int precision = 0;
    int scale = 0;
    int maxLength = 0;
};

VariantBase baseTypeFrom(QStringView info) {
    const QList<QStringView> parts = info.split(u' ');
    bool ok = parts.size() == 4;
    VariantBase base;
    if (ok) {
        base.name = parts[0].toString();
        bool precisionOk = false;
        bool scaleOk = false;
        bool lengthOk = false;
        base.precision = parts[1].toInt(&precisionOk);
        base.scale = parts[2].toInt(&scaleOk);
        base.maxLength = parts[3].toInt(&lengthOk);
        ok = precisionOk && scaleOk && lengthOk;
    }
    if (!ok)
        raise(QLatin1String("Unexpected sql_variant properties: ") + info.toString());
    return base;
}

QStringView textOf(const FieldValue& field) {
    return field.kind == FieldValue::Kind::Text || field.kind == FieldValue::Kind::Exact
               ? field.characters()
               : QStringView();
}

[[noreturn]] void raiseInexact(const VariantBase& base, QStringView text) {
    raise(QStringLiteral("Cannot write the sql_variant value \"%1\" of base type %2 exactly as "
                         "a literal")
              .arg(text.toString(), base.name));
}

// Digits with at most a leading minus and one decimal point: the text the
// server gives for integers, decimals and money.
QString plainNumber(const VariantBase& base, QStringView text) {
    qsizetype digits = 0;
    int points = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.')
            ++points;
        else if (!(c == u'-' && i == 0))
            raiseInexact(base, text);
    }
    if (digits == 0 || points > 1)
        raiseInexact(base, text);
    return text.toString();
}

// A real arrives as a float; its literal has a real's digits.
QString floatLiteral(const VariantBase& base, const FieldValue& number) {
    if (number.kind != FieldValue::Kind::Double)
        raiseInexact(base, QStringView());
    FieldValue value = number;
    if (base.name == QLatin1String("real")) {
        value.kind = FieldValue::Kind::Float;
        value.single = float(number.real);
    }
    QString literal;
    appendNumberLiteral(literal, value);
    return literal;
}

QString declared(const VariantBase& base, int length) {
    return base.name + QLatin1Char('(') + QString::number(length) + QLatin1Char(')');
}

QString temporal(ColumnClass columnClass, QStringView text, int scale) {
    QString literal;
    appendTemporalLiteral(literal, columnClass, text, scale);
    return literal;
}

QString textLiteral(QStringView value, ColumnClass columnClass) {
    QString literal;
    appendTextLiteral(literal, value, columnClass, true);
    return literal;
}

QString hexLiteral(const QByteArray& bytes) {
    QString literal;
    GetHex(literal, bytes);
    return literal;
}

// The type and the literal that give back the base value.
std::pair<QString, QString> typedLiteral(const VariantBase& base, const VariantFields& fields) {
    const QStringView text = textOf(fields.text);
    const QString& name = base.name;
    static const QStringList integers = {QStringLiteral("int"),       QStringLiteral("bigint"),
                                         QStringLiteral("smallint"),  QStringLiteral("tinyint"),
                                         QStringLiteral("bit"),       QStringLiteral("money"),
                                         QStringLiteral("smallmoney")};
    if (integers.contains(name))
        return {name, plainNumber(base, text)};
    if (name == QLatin1String("decimal") || name == QLatin1String("numeric"))
        return {name + QStringLiteral("(%1,%2)").arg(base.precision).arg(base.scale),
                plainNumber(base, text)};
    if (name == QLatin1String("float") || name == QLatin1String("real"))
        return {name, floatLiteral(base, fields.number)};
    if (name == QLatin1String("char") || name == QLatin1String("varchar"))
        return {declared(base, base.maxLength), textLiteral(text, ColumnClass::C)};
    if (name == QLatin1String("nchar") || name == QLatin1String("nvarchar"))
        return {declared(base, base.maxLength / 2), textLiteral(text, ColumnClass::U)};
    if (name == QLatin1String("binary") || name == QLatin1String("varbinary")) {
        if (fields.bytes.kind != FieldValue::Kind::Bytes)
            raiseInexact(base, text);
        return {declared(base, base.maxLength), hexLiteral(fields.bytes.bytes)};
    }
    if (name == QLatin1String("uniqueidentifier"))
        return {name, textLiteral(text, ColumnClass::C)};
    // datetime keeps its milliseconds; a smalldatetime has none.
    if (name == QLatin1String("datetime"))
        return {name, temporal(ColumnClass::DateTime2, text, 3)};
    if (name == QLatin1String("smalldatetime"))
        return {name, temporal(ColumnClass::DateTime2, text, 0)};
    if (name == QLatin1String("date"))
        return {name, temporal(ColumnClass::Date, text, 0)};
    if (name == QLatin1String("time"))
        return {declared(base, base.scale), temporal(ColumnClass::Time, text, base.scale)};
    if (name == QLatin1String("datetime2"))
        return {declared(base, base.scale), temporal(ColumnClass::DateTime2, text, base.scale)};
    if (name == QLatin1String("datetimeoffset"))
        return {declared(base, base.scale),
                temporal(ColumnClass::DateTimeOffset, text, base.scale)};
    raise(QLatin1String("Cannot generate script for a sql_variant value of base type ") + name);
}

} // namespace

QString variantTextExpression(const QString& sqlName, bool dateTypes) {
    QString expression = QLatin1String("case ") + baseTypeOf(sqlName);
    appendReads(expression, classicTextReads, sqlName);
    if (dateTypes)
        appendReads(expression, dateTypeTextReads, sqlName);
    return expression + QLatin1String(" else convert(nvarchar(max),") + sqlName +
           QLatin1String(") end");
}

QString variantHelperExpressions(const QString& sqlName) {
    const QString property = QLatin1String("convert(nvarchar(11),sql_variant_property(") + sqlName +
                             QLatin1String(",'%1'))");
    const QString baseType = baseTypeOf(sqlName);
    return QLatin1Char(',') + baseType + QLatin1String("+' '+") +
           property.arg(QLatin1String("Precision")) + QLatin1String("+' '+") +
           property.arg(QLatin1String("Scale")) + QLatin1String("+' '+") +
           property.arg(QLatin1String("MaxLength")) + QLatin1String(",case when ") + baseType +
           QLatin1String(" in ('float','real') then convert(float,") + sqlName +
           QLatin1String(") end,case when ") + baseType +
           QLatin1String(" in ('binary','varbinary') then convert(varbinary(8000),") + sqlName +
           QLatin1String(") end");
}

void appendVariantLiteral(QString& out, const VariantFields& fields) {
    // The base type is null exactly when the value is.
    if (fields.info.isNull()) {
        out += QLatin1StringView("null");
        return;
    }
    const VariantBase base = baseTypeFrom(textOf(fields.info));
    const auto [type, literal] = typedLiteral(base, fields);
    out += QLatin1String("convert(sql_variant,convert(") + type + QLatin1Char(',') + literal +
           QLatin1String("))");
}

} // namespace quarvex
