#include "db/OdbcConnectionString.h"

#include "base/ProcedureError.h"
#include "db/FreeTdsConfig.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace quarvex {

namespace {

// The family a driver of Unknown family is spoken to as: the one its name
// suggests, as far as Optional encryption goes.
DriverFamily familyByName(const QString& name) {
    if (name.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive))
        return DriverFamily::FreeTds;
    return name.contains(QLatin1String("18")) ? DriverFamily::Microsoft18
                                              : DriverFamily::Microsoft17;
}

// The family whose words the connection string uses. Mandatory and Strict
// are promises only a recognised driver is trusted to keep.
DriverFamily spokenFamily(const SqlServerDriver& driver, const ConnectionSettings& settings) {
    if (driver.family != DriverFamily::Unknown)
        return driver.family;
    if (settings.encryption != Encryption::Optional)
        raise(QStringLiteral("The ODBC driver \"%1\" loads %2, which this program does not "
                             "recognise as a driver that encrypts as asked; choose Optional, or "
                             "use Microsoft's ODBC Driver 18 for SQL Server or FreeTDS")
                  .arg(driver.name, driver.library));
    return familyByName(driver.name);
}

bool isFreeTds(DriverFamily family) {
    return family == DriverFamily::FreeTds;
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

bool checksCertificate(const ConnectionSettings& settings) {
    return settings.encryption != Encryption::Optional && !settings.trustServerCertificate;
}

// The driver's refusal, before anything goes to the server.
[[noreturn]] void cannot(const QString& driver, const QString& what) {
    const QString name = driver == QLatin1String("FreeTDS")
                             ? QStringLiteral("The FreeTDS ODBC driver")
                             : QString(driver);
    raise(QStringLiteral("%1 cannot %2").arg(name, what));
}

// FreeTDS: "Encryption" (off, request, require) is its only keyword; it has
// no TDS 8 and takes the authorities and the name check from its
// configuration file only.
QString freeTdsEncryption(const ConnectionSettings& settings) {
    if (settings.encryption == Encryption::Strict)
        cannot(QStringLiteral("FreeTDS"),
               QStringLiteral("encrypt strictly (TDS 8); choose Mandatory, or use Microsoft's "
                              "ODBC Driver 18 for SQL Server"));
    // FreeTDS's default is "request" already; without the keyword an
    // "encryption" the user's freetds.conf sets still holds.
    if (settings.encryption == Encryption::Optional)
        return {};
    const QString host = withoutAddressBrackets(
        serverAddress(settings.server).host.section(QLatin1Char('\\'), 0, 0));
    if (checksCertificate(settings) && !settings.hostNameInCertificate.isEmpty() &&
        settings.hostNameInCertificate.compare(host, Qt::CaseInsensitive) != 0)
        cannot(QStringLiteral("FreeTDS"),
               QStringLiteral("check the certificate for a name other than the server's own "
                              "(%1)")
                   .arg(host));
    return QStringLiteral("Encryption=require;");
}

// Microsoft's drivers: 18 knows Optional, Mandatory and Strict and the newer
// keywords; 17 knows only yes and no. Optional checks no certificate, as
// FreeTDS does not, so that a server that insists on TLS with a self-signed
// certificate is reached as before.
QString microsoftEncryption(const QString& driver, DriverFamily family,
                            const ConnectionSettings& settings) {
    const bool version18 = family == DriverFamily::Microsoft18;
    QString text;
    switch (settings.encryption) {
    case Encryption::Optional:
        return version18 ? QStringLiteral("Encrypt=Optional;TrustServerCertificate=Yes;")
                         : QStringLiteral("Encrypt=no;TrustServerCertificate=Yes;");
    case Encryption::Mandatory:
        text = version18 ? QStringLiteral("Encrypt=Mandatory;") : QStringLiteral("Encrypt=yes;");
        break;
    case Encryption::Strict:
        if (!version18)
            cannot(driver, QStringLiteral("encrypt strictly (TDS 8); choose Mandatory, or use "
                                          "ODBC Driver 18 for SQL Server"));
        text = QStringLiteral("Encrypt=Strict;");
        break;
    default:
        raiseUnexpectedCase();
    }
    if (settings.trustServerCertificate)
        return text + QStringLiteral("TrustServerCertificate=Yes;");
    if (!settings.hostNameInCertificate.isEmpty()) {
        if (!version18)
            cannot(driver, QStringLiteral("check the certificate for another host name"));
        text += odbcPair(QStringLiteral("HostNameInCertificate"), settings.hostNameInCertificate);
    }
    // Microsoft's drivers take no file of authorities; Driver 18 compares
    // the server's certificate with a given one, in strict mode only.
    if (!settings.caFile.isEmpty()) {
        if (settings.encryption != Encryption::Strict)
            cannot(driver, QStringLiteral("be given a CA file; add the authority to the "
                                          "system's trusted certificates, or choose Strict "
                                          "with the server's own certificate as the file"));
        text += odbcPair(QStringLiteral("ServerCertificate"), settings.caFile);
    }
    return text;
}

} // namespace

QStringList preferredSqlServerDrivers() {
    return {QStringLiteral("ODBC Driver 18 for SQL Server"),
            QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS")};
}

DriverFamily driverFamilyOfLibrary(const QString& library) {
    const QString file = QFileInfo(library).fileName();
    if (file.startsWith(QLatin1String("libmsodbcsql-18.")))
        return DriverFamily::Microsoft18;
    if (file.startsWith(QLatin1String("libmsodbcsql-17.")))
        return DriverFamily::Microsoft17;
    if (file == QLatin1String("libtdsodbc.so") || file.startsWith(QLatin1String("libtdsodbc.so.")))
        return DriverFamily::FreeTds;
    return DriverFamily::Unknown;
}

std::optional<SqlServerDriver> chooseSqlServerDriver(const QList<InstalledDriver>& installed) {
    std::optional<SqlServerDriver> best;
    for (const InstalledDriver& entry : installed) {
        const DriverFamily family = driverFamilyOfLibrary(entry.library);
        if (family != DriverFamily::Unknown && (!best || family < best->family))
            best = SqlServerDriver{entry.name, entry.library, family};
    }
    if (best)
        return best;
    for (const QString& preferred : preferredSqlServerDrivers())
        for (const InstalledDriver& entry : installed)
            if (entry.name == preferred)
                return SqlServerDriver{entry.name, entry.library, DriverFamily::Unknown};
    return std::nullopt;
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

QString odbcConnectionString(const SqlServerDriver& driver, const ConnectionSettings& settings) {
    const DriverFamily family = spokenFamily(driver, settings);
    const BraceRule rule = isFreeTds(family) ? BraceRule::FreeTds : BraceRule::Doubled;
    const auto odbcPair = [rule](const QString& key, const QString& value) {
        return quarvex::odbcPair(key, value, rule);
    };
    QString text = odbcPair(QStringLiteral("Driver"), driver.name);

    // FreeTDS takes the port as a keyword of its own; Microsoft's drivers read
    // the "host,port" form directly, as SQL Server's own tools do.
    const ServerAddress address = serverAddress(settings.server);
    const QString encryption = isFreeTds(family)
                                   ? freeTdsEncryption(settings)
                                   : microsoftEncryption(driver.name, family, settings);
    if (freeTdsSectionNeeded(driver, settings)) {
        text += odbcPair(QStringLiteral("Servername"), freeTdsSectionName());
    } else if (isFreeTds(family)) {
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
    if (isFreeTds(family)) {
        // Without a version FreeTDS follows a login that timed out with a TDS
        // 5.0 login, which waits for ever and sends the password in clear.
        // Older servers answer a 7.4 login with their own 7.x version.
        text += QLatin1String("TDS_Version=7.4;");
        text += QLatin1String("ClientCharset=UTF-8;");
    }
    return text + encryption;
}

QString freeTdsSectionName() {
    return QStringLiteral("quarvex-connection");
}

bool freeTdsSectionNeeded(const SqlServerDriver& driver, const ConnectionSettings& settings) {
    return driver.family == DriverFamily::FreeTds && checksCertificate(settings);
}

QStringList freeTdsSectionLines(const ConnectionSettings& settings) {
    const ServerAddress address = serverAddress(settings.server);
    const QString instance = address.host.section(QLatin1Char('\\'), 1);
    const QString host = withoutAddressBrackets(address.host.section(QLatin1Char('\\'), 0, 0));
    checkFreeTdsValue(QStringLiteral("server"), address.host);
    checkFreeTdsValue(QStringLiteral("CA file"), settings.caFile);
    QStringList lines{QStringLiteral("host = ") + host};
    if (!address.port.isEmpty())
        lines << QStringLiteral("port = ") + address.port;
    else if (!instance.isEmpty())
        lines << QStringLiteral("instance = ") + instance;
    // "system": the authorities the system trusts.
    lines << QStringLiteral("ca file = ") +
                 (settings.caFile.isEmpty() ? QStringLiteral("system") : settings.caFile)
          << QStringLiteral("check certificate hostname = yes");
    return lines;
}

} // namespace quarvex
