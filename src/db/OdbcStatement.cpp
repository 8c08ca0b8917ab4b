#include "db/OdbcStatement.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "db/OdbcConnection.h"
#include "db/internal/ConnectionInterrupter.h"
#include "db/internal/OdbcDiagnostics.h"
#include "model/Cancellation.h"

#include <QDateTime>
#include <type_traits>

namespace quarvex {

// The header keeps ODBC's types out; these are the ones it stands for.
static_assert(std::is_same_v<SQLRETURN, short> && std::is_same_v<SQLSMALLINT, short>);

namespace {

// Types that drivers report for SQL Server columns beyond the ODBC standard.
constexpr SQLSMALLINT sqlServerVariant = -150;
constexpr SQLSMALLINT sqlServerXml = -152;

constexpr SQLLEN pieceBytes = 64 * 1024;

} // namespace

OdbcStatement::OdbcStatement(OdbcConnection& connection)
    : m_connection(&connection) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    checkOdbc(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &handle), SQL_HANDLE_DBC,
              connection.handle());
    m_statement = OdbcHandle(OdbcHandle::Type::Statement, handle);
    connection.attach(this);
    m_interrupter = connection.m_interrupter;
    m_interrupter->attach(handle);
    // FreeTDS applies this to every wait for the server, the rows of a
    // result included, not only to the first answer; when it lapses the
    // driver sends a cancel and waits as long again for its answer.
    const auto timeout =
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connection.queryTimeoutSeconds()));
    check(SQLSetStmtAttrW(handle, SQL_ATTR_QUERY_TIMEOUT, timeout, 0));
}

OdbcStatement::~OdbcStatement() {
    if (m_connection)
        m_connection->detach(this);
    if (m_interrupter)
        m_interrupter->detach(m_statement.get());
}

void OdbcStatement::release() {
    if (m_interrupter)
        m_interrupter->detach(m_statement.get());
    m_interrupter.reset();
    m_block.reset();
    m_statement = OdbcHandle();
    m_columns.clear();
    m_connection = nullptr;
}

void OdbcStatement::check(short rc) const {
    if (!m_statement)
        raise(QStringLiteral("The statement's connection is closed"));
    // The driver's own words for a cancel it was asked for (or for the
    // socket broken off under it) would read as the server's refusal.
    if (!SQL_SUCCEEDED(rc) && m_connection->cancelled())
        raiseCancelled();
    checkOdbc(rc, SQL_HANDLE_STMT, m_statement.get(), m_connection->handle(), m_sql);
}

void OdbcStatement::execute(const QString& sql, RowFetch rowFetch) {
    unbind();
    m_sql = sql;
    check(SQLExecDirectW(m_statement.get(),
                         const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(sql.utf16())),
                         SQLINTEGER(sql.size())));
    if (skipToResultWithColumns()) {
        describeColumns();
        if (rowFetch == RowFetch::InBlocks)
            bindIfBounded();
    }
}

void OdbcStatement::bindIfBounded() {
    QList<ColumnShape> shapes;
    for (const Column& column : std::as_const(m_columns))
        shapes.append(column.shape);
    if (RowBlock::fits(shapes))
        m_block.emplace(m_statement.get(), shapes, [this](short rc) { check(rc); });
}

void OdbcStatement::unbind() {
    if (!m_block)
        return;
    m_block.reset();
    RowBlock::unbind(m_statement.get(), [this](short rc) { check(rc); });
}

// A batch may start with results that have no columns (row counts of
// statements before the select); the record set is the first with columns.
bool OdbcStatement::skipToResultWithColumns() {
    for (;;) {
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(m_statement.get(), &count));
        if (count > 0)
            return true;
        const SQLRETURN rc = SQLMoreResults(m_statement.get());
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
    }
}

void OdbcStatement::describeColumns() {
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(m_statement.get(), &count));
    m_columns.clear();
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0;
        Column column;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        check(SQLDescribeColW(m_statement.get(), i, name, SQLSMALLINT(std::size(name)), &nameLength,
                              &column.shape.type, &size, &digits, &nullable));
        column.shape.size = size;
        column.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                         qMin<qsizetype>(nameLength, std::size(name) - 1));
        m_columns.append(column);
    }
}

bool OdbcStatement::fetch() {
    if (m_columns.isEmpty())
        return false;
    if (m_block)
        return m_block->next(m_statement.get(), [this](short rc) { check(rc); });
    const SQLRETURN rc = SQLFetch(m_statement.get());
    if (rc == SQL_NO_DATA)
        return false;
    check(rc);
    return true;
}

template <typename T> bool OdbcStatement::readFixed(int column, short cType, T& target) {
    SQLLEN indicator = 0;
    check(SQLGetData(m_statement.get(), column, cType, &target, sizeof target, &indicator));
    return indicator != SQL_NULL_DATA;
}

bool OdbcStatement::readWide(int column, QString& text) {
    text.resize(0); // keeps the capacity for the next value
    if (m_piece.isEmpty())
        m_piece = QByteArray(pieceBytes, Qt::Uninitialized);
    const SQLLEN bufferBytes = m_piece.size();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_statement.get(), column, SQL_C_WCHAR, m_piece.data(),
                                        bufferBytes, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return false;
        // A cut piece fills the buffer but for the terminating zero.
        const SQLLEN available = bufferBytes - SQLLEN(sizeof(SQLWCHAR));
        const SQLLEN bytes =
            (indicator == SQL_NO_TOTAL || indicator > available) ? available : indicator;
        text.append(QStringView(reinterpret_cast<const char16_t*>(m_piece.constData()),
                                bytes / qsizetype(sizeof(SQLWCHAR))));
        if (rc == SQL_SUCCESS)
            break;
    }
    return true;
}

bool OdbcStatement::readBytes(int column, QByteArray& bytes) {
    bytes.resize(0);
    if (m_piece.isEmpty())
        m_piece = QByteArray(pieceBytes, Qt::Uninitialized);
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_statement.get(), column, SQL_C_BINARY, m_piece.data(),
                                        m_piece.size(), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return false;
        const SQLLEN length =
            (indicator == SQL_NO_TOTAL || indicator > m_piece.size()) ? m_piece.size() : indicator;
        bytes.append(m_piece.constData(), length);
        if (rc == SQL_SUCCESS)
            break;
    }
    return true;
}

QVariant OdbcStatement::value(int position) {
    FieldValue field;
    read(position, field);
    return field.toVariant();
}

void OdbcStatement::read(int position, FieldValue& field) {
    using Kind = FieldValue::Kind;
    const auto column = SQLUSMALLINT(position + 1);
    if (m_block)
        return m_block->read(position, field);
    field.blockCharacters = {};
    const auto kindIf = [](bool present, Kind kind) { return present ? kind : Kind::Null; };
    switch (m_columns.at(position).shape.type) {
    case SQL_BIT: {
        unsigned char bit = 0;
        field.kind = kindIf(readFixed(column, SQL_C_BIT, bit), Kind::Bool);
        field.boolean = bit != 0;
        return;
    }
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
        SQLBIGINT number = 0;
        field.kind = kindIf(readFixed(column, SQL_C_SBIGINT, number), Kind::Integer);
        field.integer = qint64(number);
        return;
    }
    case SQL_REAL: {
        SQLREAL number = 0;
        field.kind = kindIf(readFixed(column, SQL_C_FLOAT, number), Kind::Float);
        field.single = float(number);
        return;
    }
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        SQLDOUBLE number = 0;
        field.kind = kindIf(readFixed(column, SQL_C_DOUBLE, number), Kind::Double);
        field.real = double(number);
        return;
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        // As text, so that no digit passes through a double.
        field.kind = kindIf(readWide(column, field.text), Kind::Exact);
        return;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT stamp{};
        field.kind = kindIf(readFixed(column, SQL_C_TYPE_TIMESTAMP, stamp), Kind::Timestamp);
        field.stamp = Timestamp{stamp.year,   stamp.month,  stamp.day,     stamp.hour,
                                stamp.minute, stamp.second, stamp.fraction};
        return;
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        field.kind = kindIf(readBytes(column, field.bytes), Kind::Bytes);
        return;
    case sqlServerVariant:
    case sqlServerXml:
    default:
        field.kind = kindIf(readWide(column, field.text), Kind::Text);
        return;
    }
}

void OdbcStatement::drainResults() {
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(m_statement.get());
        if (rc == SQL_NO_DATA)
            return;
        check(rc);
    }
}

void OdbcStatement::close() {
    if (!m_statement)
        return;
    check(SQLFreeStmt(m_statement.get(), SQL_CLOSE));
    unbind();
    m_columns.clear();
}

} // namespace quarvex
