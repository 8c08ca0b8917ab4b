#include "standin/values/SqlType.h"

#include <QStringList>

namespace quarvex::standin {

namespace {

struct TypeInfo {
    BaseType base;
    const char* name;
    int typeId;
};

constexpr TypeInfo typeInfos[] = {
    {BaseType::Int, "int", 56},
    {BaseType::SmallInt, "smallint", 52},
    {BaseType::TinyInt, "tinyint", 48},
    {BaseType::BigInt, "bigint", 127},
    {BaseType::Bit, "bit", 104},
    {BaseType::Real, "real", 59},
    {BaseType::Float, "float", 62},
    {BaseType::Decimal, "decimal", 106},
    {BaseType::Numeric, "numeric", 108},
    {BaseType::Money, "money", 60},
    {BaseType::SmallMoney, "smallmoney", 122},
    {BaseType::Char, "char", 175},
    {BaseType::VarChar, "varchar", 167},
    {BaseType::Text, "text", 35},
    {BaseType::NChar, "nchar", 239},
    {BaseType::NVarChar, "nvarchar", 231},
    {BaseType::NText, "ntext", 99},
    {BaseType::SysName, "sysname", 231},
    {BaseType::Binary, "binary", 173},
    {BaseType::VarBinary, "varbinary", 165},
    {BaseType::Image, "image", 34},
    {BaseType::DateTime, "datetime", 61},
    {BaseType::SmallDateTime, "smalldatetime", 58},
    {BaseType::UniqueIdentifier, "uniqueidentifier", 36},
    {BaseType::Timestamp, "timestamp", 189},
    {BaseType::Xml, "xml", 241},
    {BaseType::Date, "date", 40},
    {BaseType::Time, "time", 41},
    {BaseType::DateTime2, "datetime2", 42},
    {BaseType::DateTimeOffset, "datetimeoffset", 43},
    {BaseType::HierarchyId, "hierarchyid", 240},
    {BaseType::Geometry, "geometry", 240},
    {BaseType::Geography, "geography", 240},
    {BaseType::Variant, "sql_variant", 98},
};

const TypeInfo& infoOf(BaseType base) {
    for (const TypeInfo& info : typeInfos)
        if (info.base == base)
            return info;
    return typeInfos[0];
}

int decimalBytes(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

SqlType fixed(BaseType base, int length = 0) {
    return SqlType{base, length, 0, 0};
}

// Bytes of the time part on disk and on the wire for n fraction digits.
int timeBytes(int scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

} // namespace

QString SqlType::typeName() const {
    return QString::fromLatin1(infoOf(base).name);
}

int SqlType::systemTypeId() const {
    return infoOf(base).typeId;
}

int SqlType::userTypeId() const {
    switch (base) {
    case BaseType::SysName:
        return 256;
    case BaseType::HierarchyId:
        return 128;
    case BaseType::Geometry:
        return 129;
    case BaseType::Geography:
        return 130;
    default:
        return systemTypeId();
    }
}

bool SqlType::isTemporal() const {
    return base == BaseType::Date || base == BaseType::Time || base == BaseType::DateTime2 ||
           base == BaseType::DateTimeOffset;
}

bool SqlType::isClrType() const {
    return base == BaseType::HierarchyId || base == BaseType::Geometry ||
           base == BaseType::Geography;
}

bool SqlType::existsIn(int majorVersion) const {
    return majorVersion >= 10 || !(isTemporal() || isClrType());
}

SqlType SqlType::temporal(BaseType base, int scale) {
    // The precision is the length of the type's longest literal.
    const int fraction = scale == 0 ? 0 : scale + 1;
    switch (base) {
    case BaseType::Time:
        return SqlType{base, 0, 8 + fraction, scale};
    case BaseType::DateTime2:
        return SqlType{base, 0, 19 + fraction, scale};
    case BaseType::DateTimeOffset:
        return SqlType{base, 0, 26 + fraction, scale};
    default:
        return SqlType{BaseType::Date, 0, 10, 0};
    }
}

QString SqlType::declaration() const {
    const QString name = typeName();
    switch (base) {
    case BaseType::Decimal:
    case BaseType::Numeric:
        return QStringLiteral("%1(%2,%3)").arg(name).arg(precision).arg(scale);
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::NChar:
    case BaseType::NVarChar:
    case BaseType::Binary:
    case BaseType::VarBinary:
        return length == -1 ? name + QStringLiteral("(max)")
                            : QStringLiteral("%1(%2)").arg(name).arg(length);
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
        return QStringLiteral("%1(%2)").arg(name).arg(scale);
    default:
        return name;
    }
}

// A table in switch form, one case per type, as sys.columns shows max_length.
int SqlType::maxLength() const {
    switch (base) {
    case BaseType::Int:
        return 4;
    case BaseType::SmallInt:
        return 2;
    case BaseType::TinyInt:
        return 1;
    case BaseType::BigInt:
        return 8;
    case BaseType::Bit:
        return 1;
    case BaseType::Real:
        return 4;
    case BaseType::Float:
        return 8;
    case BaseType::Decimal:
    case BaseType::Numeric:
        return decimalBytes(precision);
    case BaseType::Money:
        return 8;
    case BaseType::SmallMoney:
        return 4;
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::Binary:
    case BaseType::VarBinary:
        return length;
    case BaseType::NChar:
    case BaseType::NVarChar:
        return length == -1 ? -1 : 2 * length;
    case BaseType::SysName:
        return 256;
    case BaseType::Text:
    case BaseType::NText:
    case BaseType::Image:
        return 16;
    case BaseType::DateTime:
        return 8;
    case BaseType::SmallDateTime:
        return 4;
    case BaseType::UniqueIdentifier:
        return 16;
    case BaseType::Timestamp:
        return 8;
    case BaseType::Xml:
        return -1;
    case BaseType::Date:
        return 3;
    case BaseType::Time:
        return timeBytes(scale);
    case BaseType::DateTime2:
        return timeBytes(scale) + 3;
    case BaseType::DateTimeOffset:
        return timeBytes(scale) + 5;
    case BaseType::HierarchyId:
        return 892;
    case BaseType::Geometry:
    case BaseType::Geography:
        return -1;
    case BaseType::Variant:
        return 8016;
    }
    return 0;
}

int SqlType::catalogPrecision() const {
    switch (base) {
    case BaseType::TinyInt:
        return 3;
    case BaseType::SmallInt:
        return 5;
    case BaseType::Int:
        return 10;
    case BaseType::BigInt:
    case BaseType::Money:
        return 19;
    case BaseType::Bit:
        return 1;
    case BaseType::Real:
        return 24;
    case BaseType::Float:
        return 53;
    case BaseType::SmallMoney:
        return 10;
    case BaseType::DateTime:
        return 23;
    case BaseType::SmallDateTime:
        return 16;
    default:
        return isExactNumber() || isTemporal() ? precision : 0;
    }
}

int SqlType::catalogScale() const {
    switch (base) {
    case BaseType::Money:
    case BaseType::SmallMoney:
        return 4;
    case BaseType::DateTime:
        return 3;
    default:
        return isExactNumber() || isTemporal() ? scale : 0;
    }
}

bool SqlType::isText() const {
    switch (base) {
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::Text:
    case BaseType::NChar:
    case BaseType::NVarChar:
    case BaseType::NText:
    case BaseType::SysName:
    case BaseType::Xml:
        return true;
    default:
        return false;
    }
}

bool SqlType::isUnicode() const {
    return base == BaseType::NChar || base == BaseType::NVarChar || base == BaseType::NText ||
           base == BaseType::SysName || base == BaseType::Xml;
}

bool SqlType::isBinary() const {
    return base == BaseType::Binary || base == BaseType::VarBinary || base == BaseType::Image ||
           base == BaseType::Timestamp;
}

bool SqlType::isExactNumber() const {
    return base == BaseType::Decimal || base == BaseType::Numeric || base == BaseType::Money ||
           base == BaseType::SmallMoney;
}

bool SqlType::isInteger() const {
    return base == BaseType::Int || base == BaseType::SmallInt || base == BaseType::TinyInt ||
           base == BaseType::BigInt || base == BaseType::Bit;
}

QString SqlType::sqliteDeclaration() const {
    // SQLite's type names take numbers only; -1 reads back as max.
    QString text = declaration();
    if (text.endsWith(QLatin1String("(max)")))
        text = text.chopped(5) + QLatin1String("(-1)");
    if (isVariant())
        return text + QStringLiteral(" blob"); // its blobs stay as they are
    if (isExactNumber()) {
        // "decimal(38,10)" would get NUMERIC affinity, which keeps only 15
        // digits; a word "blob" in the name gives no affinity, so each value
        // stays as tsql_store made it (a double when that is exact, else text).
        const int paren = int(text.indexOf(u'('));
        return paren < 0 ? text + QStringLiteral(" blob")
                         : text.left(paren) + QStringLiteral(" blob") + text.mid(paren);
    }
    return text;
}

std::optional<SqlType> SqlType::fromSqliteDeclaration(const QString& text) {
    QString decl = text.trimmed().toLower();
    decl.replace(QStringLiteral(" blob("), QStringLiteral("("));
    if (decl.endsWith(QStringLiteral(" blob")))
        decl.chop(5);
    const int paren = decl.indexOf(u'(');
    const QString name = (paren < 0 ? decl : decl.left(paren)).trimmed();
    int a1 = -2;
    int a2 = -2;
    if (paren >= 0) {
        const QStringList args = decl.mid(paren + 1, decl.indexOf(u')') - paren - 1).split(u',');
        a1 = args.value(0).trimmed() == QStringLiteral("max") ? -1 : args.value(0).toInt();
        if (args.size() > 1)
            a2 = args.value(1).toInt();
    }
    return fromName(name, a1, a2);
}

namespace {

// A type of the name table with its length (or, for the times, its scale)
// as declared; nullopt when out of range.
std::optional<SqlType> sizedType(BaseType base, int length, int arg1) {
    switch (base) {
    case BaseType::Char:
    case BaseType::NChar:
    case BaseType::Binary: {
        if (length < 1 || length > (base == BaseType::NChar ? 4000 : 8000))
            return std::nullopt;
        return fixed(base, length);
    }
    case BaseType::VarChar:
    case BaseType::NVarChar:
    case BaseType::VarBinary: {
        if (length == 0 || length < -1 || length > (base == BaseType::NVarChar ? 4000 : 8000))
            return std::nullopt;
        return fixed(base, length);
    }
    case BaseType::Decimal:
    case BaseType::Numeric:
        return std::nullopt; // read before, with their precision and scale
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset: {
        const int scale = arg1 == -2 ? 7 : arg1;
        if (scale < 0 || scale > 7)
            return std::nullopt;
        return SqlType::temporal(base, scale);
    }
    case BaseType::Date:
        return SqlType::temporal(base, 0);
    default:
        return fixed(base);
    }
}

} // namespace

std::optional<SqlType> SqlType::fromName(const QString& rawName, int arg1, int arg2, bool inCast) {
    const QString name = rawName.toLower();
    const int defaultLength = inCast ? 30 : 1;
    auto lengthOr = [&](int fallback) { return arg1 == -2 ? fallback : arg1; };
    if (name == QLatin1String("float")) {
        if (arg1 != -2 && arg1 <= 24)
            return fixed(BaseType::Real);
        return fixed(BaseType::Float);
    }
    if (name == QLatin1String("decimal") || name == QLatin1String("dec") ||
        name == QLatin1String("numeric")) {
        SqlType type{name == QLatin1String("numeric") ? BaseType::Numeric : BaseType::Decimal, 0,
                     arg1 == -2 ? 18 : arg1, arg2 == -2 ? 0 : arg2};
        if (type.precision < 1 || type.precision > 38 || type.scale < 0 ||
            type.scale > type.precision)
            return std::nullopt;
        return type;
    }
    if (name == QLatin1String("character"))
        return fixed(BaseType::Char, lengthOr(defaultLength));
    if (name == QLatin1String("rowversion"))
        return fixed(BaseType::Timestamp);
    for (const TypeInfo& info : typeInfos) {
        if (name == QLatin1String(info.name))
            return sizedType(info.base, lengthOr(defaultLength), arg1);
    }
    return std::nullopt;
}

const SystemTypeRow* systemTypes(int* count) {
    static const SystemTypeRow rows[] = {
        {"image", fixed(BaseType::Image)},
        {"text", fixed(BaseType::Text)},
        {"uniqueidentifier", fixed(BaseType::UniqueIdentifier)},
        {"tinyint", fixed(BaseType::TinyInt)},
        {"smallint", fixed(BaseType::SmallInt)},
        {"int", fixed(BaseType::Int)},
        {"smalldatetime", fixed(BaseType::SmallDateTime)},
        {"real", fixed(BaseType::Real)},
        {"money", fixed(BaseType::Money)},
        {"datetime", fixed(BaseType::DateTime)},
        {"float", fixed(BaseType::Float)},
        {"ntext", fixed(BaseType::NText)},
        {"bit", fixed(BaseType::Bit)},
        {"decimal", SqlType{BaseType::Decimal, 0, 38, 38}},
        {"numeric", SqlType{BaseType::Numeric, 0, 38, 38}},
        {"smallmoney", fixed(BaseType::SmallMoney)},
        {"bigint", fixed(BaseType::BigInt)},
        {"varbinary", fixed(BaseType::VarBinary, 8000)},
        {"varchar", fixed(BaseType::VarChar, 8000)},
        {"binary", fixed(BaseType::Binary, 8000)},
        {"char", fixed(BaseType::Char, 8000)},
        {"timestamp", fixed(BaseType::Timestamp)},
        {"nvarchar", fixed(BaseType::NVarChar, 4000)},
        {"nchar", fixed(BaseType::NChar, 4000)},
        {"xml", fixed(BaseType::Xml)},
        {"sysname", fixed(BaseType::SysName)},
        {"date", SqlType::temporal(BaseType::Date, 0)},
        {"time", SqlType::temporal(BaseType::Time, 7)},
        {"datetime2", SqlType::temporal(BaseType::DateTime2, 7)},
        {"datetimeoffset", SqlType::temporal(BaseType::DateTimeOffset, 7)},
        {"hierarchyid", fixed(BaseType::HierarchyId)},
        {"geometry", fixed(BaseType::Geometry)},
        {"geography", fixed(BaseType::Geography)},
        {"sql_variant", fixed(BaseType::Variant)},
    };
    *count = int(std::size(rows));
    return rows;
}

} // namespace quarvex::standin
