#include "OdbcProbe.h"

namespace quarvex::test {

namespace {

std::u16string wide(const QString& text) {
    return text.toStdU16String();
}

} // namespace

OdbcProbe::~OdbcProbe() {
    if (m_connected)
        SQLDisconnect(m_dbc);
    if (m_dbc)
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    if (m_env)
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
}

QString OdbcProbe::diagnostics(SQLSMALLINT type, SQLHANDLE handle) const {
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[2048] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRecW(type, handle, record, state, &native, text, 2048, &length)))
            break;
        messages.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length));
    }
    return messages.join(QLatin1Char('\n'));
}

bool OdbcProbe::connect(const QString& server, int port, const QString& database,
                        const QString& user, const QString& password) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
    const std::u16string text = wide(QStringLiteral("DRIVER=FreeTDS;SERVER=%1;PORT=%2;DATABASE=%3;"
                                                    "UID=%4;PWD=%5;ClientCharset=UTF-8;")
                                         .arg(server)
                                         .arg(port)
                                         .arg(database, user, password));
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(m_dbc, nullptr, (SQLWCHAR*)text.c_str(), SQL_NTS, out,
                                           1024, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        m_error = diagnostics(SQL_HANDLE_DBC, m_dbc);
        return false;
    }
    m_connected = true;
    return true;
}

QString OdbcProbe::dbmsVersion() const {
    SQLWCHAR text[64] = {};
    SQLSMALLINT length = 0;
    SQLGetInfoW(m_dbc, SQL_DBMS_VER, text, sizeof text, &length);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length / 2);
}

bool OdbcProbe::query(const QString& sql, QList<QVariantList>* rows, QStringList* columnNames) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &statement);
    const std::u16string text = wide(sql);
    SQLRETURN rc = SQLExecDirectW(statement, (SQLWCHAR*)text.c_str(), SQL_NTS);
    m_error.clear();
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        m_error = diagnostics(SQL_HANDLE_STMT, statement);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        return false;
    }
    // Skip results that have no columns (counts of inserts, for instance).
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    while (columns == 0 && SQL_SUCCEEDED(SQLMoreResults(statement)))
        SQLNumResultCols(statement, &columns);
    QList<SQLSMALLINT> types;
    for (SQLSMALLINT c = 1; c <= columns; ++c) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        SQLDescribeColW(statement, c, name, 256, &nameLength, &type, &size, &digits, &nullable);
        types.append(type);
        if (columnNames)
            columnNames->append(
                QString::fromUtf16(reinterpret_cast<const char16_t*>(name), nameLength));
    }
    while (columns > 0 && SQL_SUCCEEDED(rc = SQLFetch(statement))) {
        QVariantList row;
        for (SQLSMALLINT c = 1; c <= columns; ++c) {
            const bool binary = types[c - 1] == SQL_BINARY || types[c - 1] == SQL_VARBINARY ||
                                types[c - 1] == SQL_LONGVARBINARY;
            QByteArray value;
            bool isNull = false;
            // Pieces until SQLGetData says the value is complete.
            for (;;) {
                char buffer[4096];
                SQLLEN indicator = 0;
                const SQLRETURN got = SQLGetData(statement, c, binary ? SQL_C_BINARY : SQL_C_WCHAR,
                                                 buffer, sizeof buffer, &indicator);
                if (got == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(got)) {
                    m_error = diagnostics(SQL_HANDLE_STMT, statement);
                    break;
                }
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const qsizetype room =
                    binary ? qsizetype(sizeof buffer) : qsizetype(sizeof buffer) - 2;
                const qsizetype size =
                    (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
                value.append(buffer, size);
                if (got == SQL_SUCCESS)
                    break;
            }
            if (isNull)
                row.append(QVariant());
            else if (binary)
                row.append(value);
            else
                row.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(value.constData()),
                                              value.size() / 2));
        }
        if (rows)
            rows->append(row);
    }
    while (SQL_SUCCEEDED(SQLMoreResults(statement))) {
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return m_error.isEmpty();
}

} // namespace quarvex::test
