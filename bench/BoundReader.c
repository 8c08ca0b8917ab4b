/* The floor of the benchmark: what reading a result costs through the ODBC
 * driver alone. It runs one query and fetches its rows 256 at a time into
 * bound columns of the C types the driver converts to least (Unicode text as
 * the UTF-16 it arrives in, other text as the connection's UTF-8, exact
 * numbers as text), then throws them away.
 *
 *   quarvex-bench-reader HOST PORT QUERY
 *
 * Logs in as quarvex-cli does with FreeTDS (user bench, database Northwind)
 * and prints the number of rows read. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>

enum { blockRows = 256, mostColumns = 256 };

struct Binding {
    SQLSMALLINT cType;
    SQLLEN width;
    char* values;
    SQLLEN indicators[blockRows];
};

static void fail(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    SQLCHAR state[6] = "";
    SQLCHAR message[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    fprintf(stderr, "quarvex-bench-reader: %s: [%s] %s\n", what, state, message);
    exit(1);
}

#define CHECK(rc, type, handle, what)                                                              \
    do {                                                                                           \
        if (!SQL_SUCCEEDED(rc))                                                                    \
            fail(type, handle, what);                                                              \
    } while (0)

/* The C type and the bytes per value of a column. */
static void bindingFor(SQLSMALLINT sqlType, SQLULEN size, struct Binding* binding) {
    switch (sqlType) {
    case SQL_BIT:
        binding->cType = SQL_C_BIT;
        binding->width = 1;
        return;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        binding->cType = SQL_C_SBIGINT;
        binding->width = sizeof(SQLBIGINT);
        return;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        binding->cType = SQL_C_DOUBLE;
        binding->width = sizeof(SQLDOUBLE);
        return;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        binding->cType = SQL_C_TYPE_TIMESTAMP;
        binding->width = sizeof(SQL_TIMESTAMP_STRUCT);
        return;
    case SQL_BINARY:
    case SQL_VARBINARY:
        binding->cType = SQL_C_BINARY;
        binding->width = (SQLLEN)size;
        return;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        binding->cType = SQL_C_WCHAR;
        binding->width = (SQLLEN)(size + 1) * 2;
        return;
    default: /* text, decimal, numeric, money: UTF-8 needs up to 4 bytes a character */
        binding->cType = SQL_C_CHAR;
        binding->width = (SQLLEN)(size < 48 ? 48 : size) * 4 + 1;
        return;
    }
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: quarvex-bench-reader HOST PORT QUERY\n");
        return 2;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);

    char connection[512];
    snprintf(connection, sizeof connection,
             "Driver=FreeTDS;Server=%s;Port=%s;Database=Northwind;UID=bench;PWD=bench;"
             "TDS_Version=7.4;ClientCharset=UTF-8;",
             argv[1], argv[2]);
    SQLRETURN rc = SQLDriverConnect(dbc, NULL, (SQLCHAR*)connection, SQL_NTS, NULL, 0, NULL,
                                    SQL_DRIVER_NOPROMPT);
    CHECK(rc, SQL_HANDLE_DBC, dbc, "connect");
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    CHECK(SQLExecDirect(stmt, (SQLCHAR*)argv[3], SQL_NTS), SQL_HANDLE_STMT, stmt, "query");

    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    if (columns <= 0 || columns > mostColumns) {
        fprintf(stderr, "quarvex-bench-reader: %d columns\n", columns);
        return 1;
    }
    static struct Binding bindings[mostColumns];
    for (SQLUSMALLINT i = 0; i < (SQLUSMALLINT)columns; ++i) {
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        CHECK(SQLDescribeCol(stmt, i + 1, name, sizeof name, &nameLength, &sqlType, &size,
                             &digits, &nullable),
              SQL_HANDLE_STMT, stmt, "describe");
        struct Binding* binding = &bindings[i];
        bindingFor(sqlType, size, binding);
        binding->values = malloc((size_t)binding->width * blockRows);
        CHECK(SQLBindCol(stmt, i + 1, binding->cType, binding->values, binding->width,
                         binding->indicators),
              SQL_HANDLE_STMT, stmt, "bind");
    }
    SQLULEN fetched = 0;
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(SQLULEN)blockRows, 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);

    unsigned long rows = 0;
    while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
        CHECK(rc, SQL_HANDLE_STMT, stmt, "fetch");
        rows += fetched;
    }
    printf("%lu rows\n", rows);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
