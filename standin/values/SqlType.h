#pragma once

#include <QString>
#include <optional>

namespace quarvex::standin {

// The SQL Server data types the stand-in stores and sends. Alias types
// resolve to one of these; the catalogue keeps the alias name.
enum class BaseType {
    Int,
    SmallInt,
    TinyInt,
    BigInt,
    Bit,
    Real,
    Float,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    Char,
    VarChar,
    Text,
    NChar,
    NVarChar,
    NText,
    SysName,
    Binary,
    VarBinary,
    Image,
    DateTime,
    SmallDateTime,
    UniqueIdentifier,
    Timestamp,
    Xml,
    // SQL Server 2008 and later.
    Date,
    Time,
    DateTime2,
    DateTimeOffset,
    HierarchyId,
    Geometry,
    Geography,
    // A value of any other non-max type that keeps its own type with it.
    Variant,
};

// A declared type: its base, length (characters for text, bytes for
// binaries, -1 for max) and precision/scale for exact numbers. time,
// datetime2 and datetimeoffset keep their fraction digits (0 to 7) as scale
// and the precision SQL Server derives from it.
struct SqlType {
    BaseType base = BaseType::Int;
    int length = 0;
    int precision = 0;
    int scale = 0;

    // The type name as sys.types / systypes list it ("nvarchar", "sysname").
    QString typeName() const;
    // The declaration as CREATE TABLE writes it ("nvarchar(40)", "decimal(38,10)").
    QString declaration() const;
    // SQL Server's system_type_id (= user_type_id of the system type).
    int systemTypeId() const;
    int userTypeId() const;
    // Bytes the catalogue reports as max_length (-1 for max types).
    int maxLength() const;
    // Precision and scale as the catalogue reports them (int: 10 and 0,
    // datetime: 23 and 3, decimal and the date and time types: their own).
    int catalogPrecision() const;
    int catalogScale() const;

    bool isMax() const { return length == -1; }
    bool isText() const;    // any character type
    bool isUnicode() const; // nchar, nvarchar, ntext, sysname
    bool isBinary() const;
    bool isExactNumber() const;
    bool isInteger() const;
    bool isDateTime() const {
        return base == BaseType::DateTime || base == BaseType::SmallDateTime;
    }
    // date, time, datetime2 and datetimeoffset: ISO literals and text forms.
    bool isTemporal() const;
    bool isVariant() const { return base == BaseType::Variant; }
    // hierarchyid, geometry and geography, held as their bytes.
    bool isClrType() const;
    // Whether a server of this major version has the type (those of 2008 need 10).
    bool existsIn(int majorVersion) const;

    // The column type SQLite is given. It begins with the declaration so that
    // sqlite3_column_decltype leads back to the SQL Server type; exact numbers
    // get the word " blob" so that SQLite leaves their values alone.
    QString sqliteDeclaration() const;
    static std::optional<SqlType> fromSqliteDeclaration(const QString& text);

    // A system type by name with its arguments as written; lengthArg -1 means
    // "max", -2 means not given.
    static std::optional<SqlType> fromName(const QString& name, int arg1 = -2, int arg2 = -2,
                                           bool inCast = false);
    // time, datetime2 or datetimeoffset with n fraction digits; date.
    static SqlType temporal(BaseType base, int scale);

    friend bool operator==(const SqlType&, const SqlType&) = default;
};

// Every system type, for seeding the catalogue's type table.
struct SystemTypeRow {
    const char* name;
    SqlType type;
};
const SystemTypeRow* systemTypes(int* count);

} // namespace quarvex::standin
