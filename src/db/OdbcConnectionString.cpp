#include "db/OdbcConnectionString.h"

#include "base/ProcedureError.h"

#include <QRegularExpression>

namespace quarvex {

namespace {

bool isFreeTds(const QString& driver) {
    return driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive);
}

// The server text as host and port (empty when none is given), each without
// the blanks typed around it.
struct ServerAddress {
    QString host;
    QString port;
};

ServerAddress serverAddress(const QString& server) {
    static const QRegularExpression hostAndPort(QStringLiteral(R"(^\s*(.*?)\s*,\s*(\d+)\s*$)"));
    const auto match = hostAndPort.match(server);
    if (match.hasMatch())
        return {match.captured(1), match.captured(2)};
    return {server.trimmed(), {}};
}

// An IPv6 address in brackets, as users write it beside a port, without
// them: FreeTDS takes the address bare and its port apart.
QString withoutAddressBrackets(const QString& host) {
    if (host.size() > 2 && host.startsWith(u'[') && host.endsWith(u']'))
        return host.mid(1, host.size() - 2);
    return host;
}

} // namespace

QStringList preferredSqlServerDrivers() {
    return {QStringLiteral("ODBC Driver 18 for SQL Server"),
            QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS")};
}

QString chooseSqlServerDriver(const QStringList& installedDrivers) {
    for (const QString& preferred : preferredSqlServerDrivers())
        if (installedDrivers.contains(preferred))
            return preferred;
    return {};
}

QString odbcPair(const QString& key, const QString& value, BraceRule rule) {
    static const QRegularExpression needsBraces(QStringLiteral(R"([;{}=\s'"])"));
    if (!needsBraces.match(value).hasMatch())
        return key + QLatin1Char('=') + value + QLatin1Char(';');
    QString escaped = value;
    if (rule == BraceRule::Doubled) {
        escaped.replace(QLatin1String("}"), QLatin1String("}}"));
    } else if (value.contains(QLatin1String("};"))) {
        // FreeTDS ends a braced value at the first "};" and has no escape
        // for it; sending the value would log in with a different one.
        raise(QStringLiteral("The FreeTDS ODBC driver cannot be given a %1 that contains \"};\"")
                  .arg(key));
    }
    return key + QLatin1String("={") + escaped + QLatin1String("};");
}

QString odbcConnectionString(const QString& driver, const ConnectionSettings& settings) {
    const BraceRule rule = isFreeTds(driver) ? BraceRule::FreeTds : BraceRule::Doubled;
    const auto odbcPair = [rule](const QString& key, const QString& value) {
        return quarvex::odbcPair(key, value, rule);
    };
    QString text = odbcPair(QStringLiteral("Driver"), driver);

    // FreeTDS takes the port as a keyword of its own; Microsoft's drivers read
    // the "host,port" form directly, as SQL Server's own tools do.
    const ServerAddress address = serverAddress(settings.server);
    if (isFreeTds(driver)) {
        text += odbcPair(QStringLiteral("Server"), withoutAddressBrackets(address.host));
        if (!address.port.isEmpty())
            text += odbcPair(QStringLiteral("Port"), address.port);
    } else if (address.port.isEmpty())
        text += odbcPair(QStringLiteral("Server"), address.host);
    else
        text += odbcPair(QStringLiteral("Server"), address.host + QLatin1Char(',') + address.port);
    text += odbcPair(QStringLiteral("Database"), settings.database);

    if (settings.integratedSecurity()) {
        text += QLatin1String("Trusted_Connection=Yes;");
    } else {
        text += odbcPair(QStringLiteral("UID"), settings.userId);
        text += odbcPair(QStringLiteral("PWD"), settings.password);
    }
    if (isFreeTds(driver)) {
        // Without a version FreeTDS follows a login that timed out with a TDS
        // 5.0 login, which waits for ever and sends the password in clear.
        // Older servers answer a 7.4 login with their own 7.x version.
        text += QLatin1String("TDS_Version=7.4;");
        text += QLatin1String("ClientCharset=UTF-8;");
    }
    return text;
}

} // namespace quarvex
