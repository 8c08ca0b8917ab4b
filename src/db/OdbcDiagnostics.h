#pragma once

// For the database layer's .cpp files only: the ODBC C interface and the
// checks of its return codes.

#include <QString>
#include <sql.h>
#include <sqlext.h>

namespace quarvex {

// Raises the handle's diagnostic records as one description when rc failed,
// with the first error's SQLSTATE and native number and the statement that
// was run. The failure ends the run (ConnectionLost) when the records say the
// link failed or timed out, or when the connection, if given, says it is
// dead; otherwise the server or driver refused (Refused).
void checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
               SQLHANDLE connection = SQL_NULL_HANDLE, const QString& statement = {});

// True for the SQLSTATEs after which the connection cannot be used: class 08
// and the time-outs HYT00 and HYT01. (FreeTDS reports some losses only
// through the connection's dead flag; checkOdbc asks that too.)
bool isConnectionLoss(const QString& sqlState);

// Every diagnostic record of the handle, in order, one per line.
QString odbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

} // namespace quarvex
