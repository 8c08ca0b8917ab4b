#pragma once

#include "model/ConnectionSettings.h"

#include <QString>

namespace quarvex {

class OdbcConnection;

// Opens the connection with a 5-second connect time-out (a named instance's
// port is looked up within it too).
// Raises "OpenConnection: " + the driver's description + CR LF CR LF + "[" +
// the server text as typed + "]".
void OpenConnection(OdbcConnection& connection, const ConnectionSettings& settings);

// True for SQL Server 2005 (major version 9) and later. Not cached: every
// caller asks the connection again.
// Raises "IsSQL2005Plus: " + description.
bool IsSQL2005Plus(const OdbcConnection& connection);
// The same test on the server's version text: its leading number.
bool IsSQL2005Plus(const QString& dbmsVersion);

// The server's major version: 8 for SQL Server 2000, 13 for 2016, 16 for
// 2022. Raises "ServerVersion: " + description.
int ServerVersion(const OdbcConnection& connection);

// True from version 13.0.4001 (SQL Server 2016 SP1) on, the first to know
// CREATE OR ALTER. The version text reads major.minor.build ("13.00.4001").
bool isVersionWithCreateOrAlter(const QString& dbmsVersion);

// Raises, naming the server's version, when the server knows no CREATE OR
// ALTER. Raises "RequireCreateOrAlter: " + description.
void RequireCreateOrAlter(const OdbcConnection& connection);

// The message with the SQL text that was running added two lines below it,
// when the message came from the server ("SQL Server" in it) and there is SQL
// text to add; otherwise the message unchanged.
QString AppendErrorContext(const QString& lastError, const QString& context);

} // namespace quarvex
