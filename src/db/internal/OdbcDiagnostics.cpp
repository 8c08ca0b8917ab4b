#include "db/internal/OdbcDiagnostics.h"

#include "base/ProcedureError.h"
#include "db/ConnectionLoss.h"
#include "db/OdbcHandle.h"

#include <QStringList>

namespace quarvex {

static_assert(int(OdbcHandle::Type::Environment) == SQL_HANDLE_ENV &&
              int(OdbcHandle::Type::Connection) == SQL_HANDLE_DBC &&
              int(OdbcHandle::Type::Statement) == SQL_HANDLE_STMT);

OdbcHandle::~OdbcHandle() {
    if (m_handle != nullptr)
        SQLFreeHandle(SQLSMALLINT(m_type), m_handle);
}

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16");

namespace {

struct Diagnostics {
    QString text;
    bool connectionLost = false;
    // Of the first record that is not a warning.
    QString sqlState;
    qint32 nativeError = 0;
};

// FreeTDS reports a server that closed the connection as "Unexpected EOF from
// the server" under the warning state 01000, the same as a server's notice;
// only the driver's own view of the connection tells the two apart.
bool isDead(SQLHANDLE connection) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return connection != SQL_NULL_HANDLE &&
           SQL_SUCCEEDED(
               SQLGetConnectAttrW(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    Diagnostics diagnostics;
    QStringList errors;
    QStringList notes;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &nativeError, nullptr,
                                          0, &length)))
            break;
        QList<SQLWCHAR> message(length + 1);
        SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message.data(),
                       SQLSMALLINT(message.size()), &length);
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(message.constData()), length);
        // Class 01 records are warnings (a changed database context and the
        // like); they explain nothing when something else failed.
        const QString sqlState = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
        // Drivers repeat a record now and then; once is enough.
        QStringList& list = sqlState.startsWith(QLatin1String("01")) ? notes : errors;
        if (&list == &errors && errors.isEmpty()) {
            diagnostics.sqlState = sqlState;
            diagnostics.nativeError = nativeError;
        }
        diagnostics.connectionLost = diagnostics.connectionLost || isConnectionLoss(sqlState);
        if (!list.contains(text))
            list.append(text);
    }
    const QStringList& chosen = errors.isEmpty() ? notes : errors;
    diagnostics.text = chosen.isEmpty() ? QStringLiteral("Unknown ODBC error")
                                        : chosen.join(QLatin1String("\r\n"));
    return diagnostics;
}

} // namespace

void checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, SQLHANDLE connection,
               const QString& statement) {
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return;
    const Diagnostics diagnostics = readDiagnostics(handleType, handle);
    const bool lost = diagnostics.connectionLost || isDead(connection);
    raise(Failure{diagnostics.text, lost ? FailureKind::ConnectionLost : FailureKind::Refused,
                  diagnostics.sqlState, diagnostics.nativeError, statement});
}

} // namespace quarvex
