#include "db/ServerConnection.h"

#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "db/OdbcConnection.h"

#include <QStringList>

namespace quarvex {

void OpenConnection(OdbcConnection& connection, const ConnectionSettings& settings) {
    // The server as typed, so that a typing error shows.
    reraisingAs(
        QStringLiteral("OpenConnection"), [&] { connection.open(settings, 5); },
        QLatin1String("\r\n\r\n[") + settings.server + QLatin1Char(']'));
}

bool IsSQL2005Plus(const QString& dbmsVersion) {
    return leadingNumber(dbmsVersion) >= 9.0;
}

bool IsSQL2005Plus(const OdbcConnection& connection) {
    return reraisingAs(QStringLiteral("IsSQL2005Plus"),
                       [&] { return IsSQL2005Plus(connection.dbmsVersion()); });
}

bool isVersionWithCreateOrAlter(const QString& dbmsVersion) {
    const QStringList parts = dbmsVersion.trimmed().split(u'.');
    bool majorRead = false;
    const int major = parts.value(0).toInt(&majorRead);
    if (!majorRead || major < 13)
        return false;
    return major > 13 || parts.value(2).toInt() >= 4001;
}

void RequireCreateOrAlter(const OdbcConnection& connection) {
    reraisingAs(QStringLiteral("RequireCreateOrAlter"), [&] {
        const QString version = connection.dbmsVersion();
        if (!isVersionWithCreateOrAlter(version))
            raise(QLatin1String("CREATE OR ALTER needs SQL Server 2016 SP1 (13.0.4001) or "
                                "later; this server is version ") +
                  version);
    });
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
