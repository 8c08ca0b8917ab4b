#pragma once

// Private to the database layer: the ODBC C interface and the checks of its
// return codes.

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

} // namespace quarvex
