#include "db/ServerConnection.h"

#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "db/OdbcConnection.h"

namespace quarvex {

void OpenConnection(OdbcConnection& connection, const ConnectionSettings& settings) {
    // The server as typed, so that a typing error shows.
    reraisingAs(
        QStringLiteral("OpenConnection"), [&] { connection.open(settings, 5); },
        QLatin1String("\r\n\r\n[") + settings.server + QLatin1Char(']'));
}

bool isVersion2005Plus(const QString& dbmsVersion) {
    return leadingNumber(dbmsVersion) >= 9.0;
}

bool IsSQL2005Plus(const OdbcConnection& connection) {
    return reraisingAs(QStringLiteral("IsSQL2005Plus"),
                       [&] { return isVersion2005Plus(connection.dbmsVersion()); });
}

int ServerVersion(const OdbcConnection& connection) {
    return reraisingAs(QStringLiteral("ServerVersion"),
                       [&] { return int(leadingNumber(connection.dbmsVersion())); });
}

QString AppendErrorContext(const QString& lastError, const QString& context) {
    if (context.isEmpty() || !lastError.contains(QLatin1String("SQL Server"), Qt::CaseSensitive))
        return lastError;
    return lastError + QLatin1String("\r\n\r\n[") + context + QLatin1Char(']');
}

} // namespace quarvex
