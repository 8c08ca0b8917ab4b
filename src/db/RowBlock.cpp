#include "db/RowBlock.h"

#include "base/ProcedureError.h"
#include "db/internal/OdbcDiagnostics.h"

#include <algorithm>
#include <cstring>

namespace quarvex {

static_assert(sizeof(SQLULEN) == sizeof(quint64) && sizeof(SQLLEN) == sizeof(qint64));

namespace {

// Wider text or binary columns are read in pieces.
constexpr quint64 widestBound = 8000;
// Rows of a block: as many as fit this many bytes, within these limits.
constexpr qsizetype blockBytes = 512 * 1024;
constexpr qsizetype mostRows = 256;
// Room for the text of any decimal: 38 digits, sign, point and a leading 0.
constexpr qsizetype exactCharacters = 48;

struct BindingType {
    SQLSMALLINT cType = 0;
    FieldValue::Kind kind = FieldValue::Kind::Null;
    qsizetype width = 0;
};

// How a column is bound: the same C types as OdbcStatement::read asks for
// value by value. Width 0: the column is read in pieces.
BindingType bindingType(const ColumnShape& column) {
    using Kind = FieldValue::Kind;
    const bool bounded = column.size > 0 && column.size <= widestBound;
    const auto characters = [](quint64 count) { return qsizetype(count + 1) * 2; };
    switch (column.type) {
    case SQL_BIT:
        return {SQL_C_BIT, Kind::Bool, 1};
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return {SQL_C_SBIGINT, Kind::Integer, sizeof(SQLBIGINT)};
    case SQL_REAL:
        return {SQL_C_FLOAT, Kind::Float, sizeof(SQLREAL)};
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return {SQL_C_DOUBLE, Kind::Double, sizeof(SQLDOUBLE)};
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return {SQL_C_WCHAR, Kind::Exact, characters(exactCharacters)};
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return {SQL_C_TYPE_TIMESTAMP, Kind::Timestamp, sizeof(SQL_TIMESTAMP_STRUCT)};
    case SQL_BINARY:
    case SQL_VARBINARY:
        return {SQL_C_BINARY, Kind::Bytes, bounded ? qsizetype(column.size) : 0};
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        return {SQL_C_WCHAR, Kind::Text, bounded ? characters(column.size) : 0};
    default:
        return {};
    }
}

template <typename T> T at(const QByteArray& values, qsizetype row) {
    T value;
    std::memcpy(&value, values.constData() + row * qsizetype(sizeof(T)), sizeof(T));
    return value;
}

} // namespace

bool RowBlock::fits(const QList<ColumnShape>& columns) {
    return !columns.isEmpty() &&
           std::all_of(columns.begin(), columns.end(),
                       [](const ColumnShape& column) { return bindingType(column).width > 0; });
}

RowBlock::RowBlock(void* statement, const QList<ColumnShape>& columns, const Check& check) {
    qsizetype rowBytes = 0;
    for (const ColumnShape& column : columns) {
        const BindingType type = bindingType(column);
        m_bindings.append(Binding{type.cType, type.kind, type.width, {}, {}});
        rowBytes += type.width + qsizetype(sizeof(SQLLEN));
    }
    m_rows = std::clamp<qsizetype>(blockBytes / rowBytes, 1, mostRows);
    for (qsizetype i = 0; i < m_bindings.size(); ++i) {
        Binding& binding = m_bindings[i];
        binding.values = QByteArray(binding.width * m_rows, Qt::Uninitialized);
        binding.indicators = QByteArray(qsizetype(sizeof(SQLLEN)) * m_rows, '\0');
        check(SQLBindCol(statement, SQLUSMALLINT(i + 1), binding.cType, binding.values.data(),
                         binding.width, reinterpret_cast<SQLLEN*>(binding.indicators.data())));
    }
    check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE,
                         reinterpret_cast<SQLPOINTER>(SQLULEN(m_rows)), 0));
    check(SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0));
}

void RowBlock::unbind(void* statement, const Check& check) {
    check(SQLFreeStmt(statement, SQL_UNBIND));
    check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0));
    check(SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0));
}

bool RowBlock::fetchBlock(void* statement, const Check& check) {
    m_fetched = 0;
    m_row = 0;
    const SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA)
        return false;
    check(rc);
    return m_fetched > 0;
}

void RowBlock::read(int column, FieldValue& field) const {
    using Kind = FieldValue::Kind;
    const Binding& binding = m_bindings.at(column);
    const SQLLEN indicator = at<SQLLEN>(binding.indicators, m_row);
    field.kind = indicator == SQL_NULL_DATA ? Kind::Null : binding.kind;
    if (field.kind == Kind::Null)
        return;
    const char* const value = binding.values.constData() + m_row * binding.width;
    const bool variable = binding.cType == SQL_C_WCHAR || binding.cType == SQL_C_BINARY;
    // A value the buffer cut would be written wrong: refuse it instead.
    const qsizetype room = binding.cType == SQL_C_WCHAR ? binding.width - 2 : binding.width;
    if (variable && (indicator < 0 || indicator > room))
        raise(QStringLiteral("A value of column %1 is wider than its column").arg(column + 1));
    switch (binding.kind) {
    case Kind::Bool:
        field.boolean = *value != 0;
        return;
    case Kind::Integer:
        field.integer = at<SQLBIGINT>(binding.values, m_row);
        return;
    case Kind::Float:
        field.single = at<SQLREAL>(binding.values, m_row);
        return;
    case Kind::Double:
        field.real = at<SQLDOUBLE>(binding.values, m_row);
        return;
    case Kind::Timestamp: {
        const auto stamp = at<SQL_TIMESTAMP_STRUCT>(binding.values, m_row);
        field.stamp = Timestamp{stamp.year,   stamp.month,  stamp.day,     stamp.hour,
                                stamp.minute, stamp.second, stamp.fraction};
        return;
    }
    case Kind::Bytes:
        field.bytes.resize(0);
        field.bytes.append(value, indicator);
        return;
    default: // Text and Exact
        field.blockCharacters =
            QStringView(reinterpret_cast<const char16_t*>(value), qsizetype(indicator / 2));
        return;
    }
}

} // namespace quarvex
