#include "base/ProcedureError.h"
#include "db/ConnectionLoss.h"
#include "db/EncryptionFailure.h"
#include "db/FreeTdsConfig.h"
#include "db/InstanceLookup.h"
#include "db/OdbcConnectionString.h"
#include "db/ServerConnection.h"

#include <QFile>
#include <QMap>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ConnectionSettings)

namespace {

ConnectionSettings secured(Encryption encryption, bool trust = false, const QString& caFile = {},
                           const QString& hostName = {}) {
    ConnectionSettings settings{"db1,1433", "d", "u", "p"};
    settings.encryption = encryption;
    settings.trustServerCertificate = trust;
    settings.caFile = caFile;
    settings.hostNameInCertificate = hostName;
    return settings;
}

// A driver as the program finds it installed: under its usual name, with
// its usual library.
SqlServerDriver installed(const QString& name) {
    static const QMap<QString, QString> libraries{
        {"FreeTDS", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"},
        {"ODBC Driver 17 for SQL Server",
         "/opt/microsoft/msodbcsql17/lib64/libmsodbcsql-17.10.so.6.1"},
        {"ODBC Driver 18 for SQL Server",
         "/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.3.1"}};
    return chooseSqlServerDriver({{name, libraries.value(name)}}).value();
}

} // namespace

class ConnectionTextTest : public QObject {
    Q_OBJECT

private slots:
    // The whole string for each driver, or the start of the refusal raised
    // before anything is sent. What the integration tests cannot reach:
    // FreeTDS's corner cases and Microsoft's drivers. FreeTDS's plain
    // address, braces and encryption settings are checked by result in
    // OdbcIntegrationTest and EncryptionIntegrationTest.
    void connectionStrings_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<ConnectionSettings>("settings");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // null: accepted
        const QString ms18 = "ODBC Driver 18 for SQL Server";
        const QString ms17 = "ODBC Driver 17 for SQL Server";
        const QString freeTdsTail = "TDS_Version=7.4;ClientCharset=UTF-8;";
        // The settings of secured() up to the encryption keywords.
        const auto head = [](const QString& driver) {
            return "Driver={" + driver + "};Server=db1,1433;Database=d;UID=u;PWD=p;";
        };
        const auto row = [](const char* name, const QString& driver,
                            const ConnectionSettings& settings, const QString& text) {
            QTest::newRow(name) << driver << settings << text << QString();
        };
        const auto refused = [](const char* name, const QString& driver,
                                const ConnectionSettings& settings, const QString& refusal) {
            QTest::newRow(name) << driver << settings << QString() << refusal;
        };
        row("microsoft keeps host,port, without the blanks", ms18, {"db1 ,1433", "d", "u", "p"},
            head(ms18) + "Encrypt=Optional;TrustServerCertificate=Yes;");
        row("IPv6 address in brackets alone", "FreeTDS", {" [::1] ", "x", "u", "p"},
            "Driver=FreeTDS;Server=::1;Database=x;UID=u;PWD=p;" + freeTdsTail);
        row("instance passes through", "FreeTDS", {"host\\SQLEXPRESS", "x", "u", "p"},
            "Driver=FreeTDS;Server=host\\SQLEXPRESS;Database=x;UID=u;PWD=p;" + freeTdsTail);
        row("microsoft doubles closing braces", ms17, {"h", "d", "u", "p;w}d"},
            "Driver={" + ms17 +
                "};Server=h;Database=d;UID=u;PWD={p;w}}d};Encrypt=no;TrustServerCertificate=Yes;");
        row("integrated login", "FreeTDS", {"h", "d", "", "ignored"},
            "Driver=FreeTDS;Server=h;Database=d;Trusted_Connection=Yes;" + freeTdsTail);
        refused("freetds cannot take a brace and a semicolon", "FreeTDS",
                {"h", "d", "u", "secret};UID=sa"}, "The FreeTDS ODBC driver cannot be given a PWD");
        row("freetds mandatory, its own host name in the certificate", "FreeTDS",
            secured(Encryption::Mandatory, false, {}, "DB1"),
            "Driver=FreeTDS;Servername=quarvex-connection;Database=d;UID=u;PWD=p;" + freeTdsTail +
                "Encryption=require;");
        row("driver 18 mandatory", ms18, secured(Encryption::Mandatory),
            head(ms18) + "Encrypt=Mandatory;");
        row("driver 18 mandatory trusting", ms18, secured(Encryption::Mandatory, true),
            head(ms18) + "Encrypt=Mandatory;TrustServerCertificate=Yes;");
        row("driver 18 mandatory with a host name", ms18,
            secured(Encryption::Mandatory, false, {}, "db1.example.com"),
            head(ms18) + "Encrypt=Mandatory;HostNameInCertificate=db1.example.com;");
        row("driver 18 strict with the server's certificate", ms18,
            secured(Encryption::Strict, false, "/etc/db1 cert.pem", "db1.example.com"),
            head(ms18) + "Encrypt=Strict;HostNameInCertificate=db1.example.com;"
                         "ServerCertificate={/etc/db1 cert.pem};");
        refused("driver 18 refuses a CA file outside strict", ms18,
                secured(Encryption::Mandatory, false, "/ca.pem"),
                ms18 + " cannot be given a CA file");
        row("driver 17 mandatory", ms17, secured(Encryption::Mandatory),
            head(ms17) + "Encrypt=yes;");
        row("driver 17 mandatory trusting", ms17, secured(Encryption::Mandatory, true),
            head(ms17) + "Encrypt=yes;TrustServerCertificate=Yes;");
        refused("driver 17 refuses strict", ms17, secured(Encryption::Strict),
                ms17 + " cannot encrypt strictly");
        refused("driver 17 refuses a host name", ms17,
                secured(Encryption::Mandatory, false, {}, "db1.example.com"),
                ms17 + " cannot check the certificate for another host name");
    }

    void connectionStrings() {
        QFETCH(QString, driver);
        QFETCH(ConnectionSettings, settings);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        QString made;
        const auto failure =
            failureOf([&] { made = odbcConnectionString(installed(driver), settings); });
        QCOMPARE(failure.has_value(), !refusal.isNull());
        if (failure) {
            QVERIFY2(failure->description.startsWith(refusal), qPrintable(failure->description));
            QVERIFY(!failure->description.contains("secret"));
            return;
        }
        QCOMPARE(made, text);
        QCOMPARE(freeTdsSectionNeeded(installed(driver), settings), text.contains("Servername="));
    }

    // The section's lines, or none where FreeTDS would cut a CA file's name
    // at ";" or "#", or fold its blanks.
    void freeTdsSection_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QStringList>("lines"); // empty: refused
        const QString check = "check certificate hostname = yes";
        const auto row = [](const char* name, const QString& server, const QString& caFile,
                            const QStringList& lines) {
            QTest::newRow(name) << server << caFile << lines;
        };
        row("host and port, the system's authorities", " db1 , 1433 ", "",
            {"host = db1", "port = 1433", "ca file = system", check});
        row("IPv6 address without its brackets", "[::1],14330", "",
            {"host = ::1", "port = 14330", "ca file = system", check});
        row("an instance, a CA file", "db1\\SALES", "/etc/ssl/our ca.pem",
            {"host = db1", "instance = SALES", "ca file = /etc/ssl/our ca.pem", check});
        row("semicolon", "db1", "/a;b.pem", {});
        row("hash", "db1", "/certs/#1.pem", {});
        row("two blanks", "db1", "/my  ca.pem", {});
        row("line break", "db1", "/ca.pem\nhost = evil", {});
    }

    void freeTdsSection() {
        QFETCH(QString, server);
        QFETCH(QString, caFile);
        QFETCH(QStringList, lines);
        ConnectionSettings settings{server, "d", "u", "p"};
        settings.caFile = caFile;
        QStringList made;
        const auto failure = failureOf([&] { made = freeTdsSectionLines(settings); });
        QCOMPARE(made, lines);
        QCOMPARE(failure.has_value(), lines.isEmpty());
        if (failure)
            QVERIFY(failure->description.contains("CA file"));
    }

    // The user's global settings and their section for the host survive;
    // the certificate checks come last so that nothing overrides them.
    void privateConfigKeepsTheUsersSettings() {
        const QString home = "[global]\n\ttds version = 7.4\n; a comment\n[DB1]\n"
                             "\thost = 10.0.0.7\n\tca file = /nowhere\n[other]\n\tport = 9\n";
        const QString system = "[global]\n\ttext size = 64512\n[db1]\n\tport = 1\n";
        const QString text = privateFreeTdsConfig(
            {home, system}, "db1", "quarvex-connection",
            {"host = db1", "port = 1433", "ca file = system", "check certificate hostname = yes"});
        QCOMPARE(text, QString("[global]\n\ttds version = 7.4\n[quarvex-connection]\n"
                               "\thost = db1\n\thost = 10.0.0.7\n\tca file = /nowhere\n"
                               "\tport = 1433\n\tca file = system\n"
                               "\tcheck certificate hostname = yes\n"));
        // Without a section for the host, every file's globals are read.
        const QString noSection =
            privateFreeTdsConfig({home, system}, "db2", "s", {"host = db2", "ca file = system"});
        QVERIFY(noSection.startsWith("[global]\n\ttds version = 7.4\n\ttext size = 64512\n[s]\n"));
    }

    // FREETDSCONF is the process's: it names the private file only while
    // the scope lives, then holds the user's value again, or nothing.
    void privateConfigScopeRestoresTheVariable_data() {
        QTest::addColumn<QByteArray>("before"); // empty: not set
        QTest::newRow("the user's own file") << QByteArray("/home/u/my.conf");
        QTest::newRow("not set") << QByteArray();
    }

    void privateConfigScopeRestoresTheVariable() {
        QFETCH(QByteArray, before);
        if (before.isEmpty())
            qunsetenv("FREETDSCONF");
        else
            qputenv("FREETDSCONF", before);
        QString path;
        {
            PrivateFreeTdsScope scope("[s]\n\thost = db1\n");
            path = qEnvironmentVariable("FREETDSCONF");
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("[s]\n\thost = db1\n"));
        }
        QVERIFY(!QFile::exists(path));
        QCOMPARE(qEnvironmentVariableIsSet("FREETDSCONF"), !before.isEmpty());
        QCOMPARE(qgetenv("FREETDSCONF"), before);
        qunsetenv("FREETDSCONF");
    }

    void encryptionFailureMessages_data() {
        QTest::addColumn<bool>("freeTds");
        QTest::addColumn<ConnectionSettings>("settings");
        QTest::addColumn<int>("offersTls"); // -1: the server could not be asked
        QTest::addColumn<QString>("message");
        QTest::newRow("refused with a CA file")
            << true << secured(Encryption::Mandatory, false, "/ca.pem") << 1
            << "The server's certificate was refused: it is not signed by the authority in "
               "/ca.pem, it has expired, or it is not issued for the host name db1. The login "
               "was not sent";
        QTest::newRow("trusted: the driver's own words")
            << true << secured(Encryption::Mandatory, true) << 1 << "";
        QTest::newRow("optional: the driver's own words")
            << true << secured(Encryption::Optional) << 0 << "";
        QTest::newRow("not asked") << true << secured(Encryption::Mandatory) << -1 << "";
        QTest::newRow("Microsoft's drivers say it themselves")
            << false << secured(Encryption::Mandatory) << 0 << "";
    }

    void encryptionFailureMessages() {
        QFETCH(bool, freeTds);
        QFETCH(ConnectionSettings, settings);
        QFETCH(int, offersTls);
        QFETCH(QString, message);
        const std::optional<bool> offers =
            offersTls < 0 ? std::nullopt : std::optional<bool>(offersTls == 1);
        QCOMPARE(encryptionFailureText(freeTds, settings, offers), message);
    }

    // A browser on loopback that answers one request with the given text;
    // what it was asked comes back in request.
    void instancePortFromTheBrowser_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("port"); // 0: the lookup fails
        QTest::newRow("the instance's TCP port")
            << QByteArray("ServerName;H;InstanceName;SQLEXPRESS;IsClustered;No;Version;9.00;"
                          "tcp;14330;;")
            << 14330;
        QTest::newRow("no TCP port named")
            << QByteArray("ServerName;H;InstanceName;SQLEXPRESS;np;\\\\H\\pipe\\sql;;") << 0;
    }

    void instancePortFromTheBrowser() {
        QFETCH(QByteArray, answer);
        QFETCH(int, port);
        const int browser = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(bind(browser, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        getsockname(browser, reinterpret_cast<sockaddr*>(&address), &length);
        QByteArray request(64, '\0');
        std::thread answering([&] {
            sockaddr_in client{};
            socklen_t clientLength = sizeof client;
            const ssize_t received = recvfrom(browser, request.data(), size_t(request.size()), 0,
                                              reinterpret_cast<sockaddr*>(&client), &clientLength);
            request.truncate(qMax<ssize_t>(received, 0));
            const QByteArray reply = QByteArray("\x05", 1) + char(answer.size() & 0xFF) +
                                     char(answer.size() >> 8) + answer;
            sendto(browser, reply.constData(), size_t(reply.size()), 0,
                   reinterpret_cast<sockaddr*>(&client), clientLength);
        });
        const auto failure = failureOf([&] {
            QCOMPARE(lookUpInstancePort({"127.0.0.1", "SQLEXPRESS"}, 1, ntohs(address.sin_port)),
                     port);
        });
        answering.join();
        close(browser);
        QCOMPARE(request, QByteArray("\x04SQLEXPRESS", 11) + '\0');
        QCOMPARE(failure.has_value(), port == 0);
    }

    // A driver is known by the library its entry loads; its registered name
    // counts only where no library is recognised. "name|family", or empty
    // for none.
    void driverChoice_data() {
        QTest::addColumn<QStringList>("entries"); // "name|library"
        QTest::addColumn<QString>("chosen");
        const QString ms17 = "ODBC Driver 17 for SQL Server";
        const QString ms18 = "ODBC Driver 18 for SQL Server";
        QTest::newRow("driver 17 before FreeTDS")
            << QStringList{"FreeTDS|libtdsodbc.so", ms17 + "|/opt/lib64/libmsodbcsql-17.10.so.6.1"}
            << ms17 + "|17";
        QTest::newRow("FreeTDS among other drivers")
            << QStringList{"SQLite3|libsqlite3odbc.so", "FreeTDS|/usr/lib/odbc/libtdsodbc.so"}
            << "FreeTDS|FreeTDS";
        QTest::newRow("FreeTDS registered as driver 18")
            << QStringList{ms18 + "|libtdsodbc.so.0"} << ms18 + "|FreeTDS";
        QTest::newRow("a recognised library before a known name")
            << QStringList{ms18 + "|/opt/x/libsqlsrv.so", "tds|libtdsodbc.so"} << "tds|FreeTDS";
        QTest::newRow("unknown library under a known name")
            << QStringList{ms18 + "|/opt/x/libsqlsrv.so"} << ms18 + "|unknown";
        QTest::newRow("none") << QStringList{"SQLite3|libsqlite3odbc.so"} << QString();
    }

    void driverChoice() {
        QFETCH(QStringList, entries);
        QFETCH(QString, chosen);
        QList<InstalledDriver> drivers;
        for (const QString& entry : entries)
            drivers.append({entry.section('|', 0, 0), entry.section('|', 1)});
        const auto driver = chooseSqlServerDriver(drivers);
        const QMap<DriverFamily, QString> families{{DriverFamily::Microsoft18, "18"},
                                                   {DriverFamily::Microsoft17, "17"},
                                                   {DriverFamily::FreeTds, "FreeTDS"},
                                                   {DriverFamily::Unknown, "unknown"}};
        QCOMPARE(driver ? driver->name + "|" + families.value(driver->family) : QString(), chosen);
    }

    // A driver not known by its library is spoken to as its name suggests,
    // but only without a promise of encryption.
    void unknownDriverOnlyOptional_data() {
        QTest::addColumn<int>("encryption");
        QTest::newRow("optional") << int(Encryption::Optional);
        QTest::newRow("mandatory") << int(Encryption::Mandatory);
        QTest::newRow("strict") << int(Encryption::Strict);
    }

    void unknownDriverOnlyOptional() {
        QFETCH(int, encryption);
        const SqlServerDriver unknown{"ODBC Driver 18 for SQL Server", "/opt/x/libsqlsrv.so",
                                      DriverFamily::Unknown};
        QString text;
        const auto failure = failureOf(
            [&] { text = odbcConnectionString(unknown, secured(Encryption(encryption))); });
        QCOMPARE(failure.has_value(), Encryption(encryption) != Encryption::Optional);
        if (failure)
            QVERIFY2(failure->description.contains("/opt/x/libsqlsrv.so, which this program does "
                                                   "not recognise"),
                     qPrintable(failure->description));
        else
            QVERIFY(text.endsWith("Encrypt=Optional;TrustServerCertificate=Yes;"));
    }

    // Odd version texts; the generations servers report go through the round
    // trip and the CLI. CREATE OR ALTER came with 2016 SP1 (13.00.4001).
    void versions_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("is2005Plus");
        QTest::addColumn<bool>("createOrAlter");
        QTest::newRow("leading blanks") << "  9" << true << false;
        QTest::newRow("2016 before SP1") << "13.00.4000" << true << false;
        QTest::newRow("2016 SP1") << "13.00.4001" << true << true;
        QTest::newRow("2017, any build") << "14.00.1000" << true << true;
        QTest::newRow("2000 with a large build") << "8.00.9999" << false << false;
        QTest::newRow("no build") << "13.00" << true << false;
        QTest::newRow("no number") << "Microsoft SQL Server" << false << false;
    }

    void versions() {
        QFETCH(QString, version);
        QFETCH(bool, is2005Plus);
        QFETCH(bool, createOrAlter);
        QCOMPARE(IsSQL2005Plus(version), is2005Plus);
        QCOMPARE(isVersionWithCreateOrAlter(version), createOrAlter);
    }

    // FreeTDS's time-out and its notices (01000) go through the script-run
    // tests; Microsoft's drivers say a connection is lost by SQLSTATE alone.
    void connectionLossByState_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("lost");
        QTest::newRow("communication link failure") << "08S01" << true;
        QTest::newRow("connection does not exist") << "08003" << true;
        QTest::newRow("connection time-out") << "HYT01" << true;
        QTest::newRow("syntax error") << "42000" << false;
        QTest::newRow("general error") << "HY000" << false;
    }

    void connectionLossByState() {
        QFETCH(QString, state);
        QFETCH(bool, lost);
        QCOMPARE(isConnectionLoss(state), lost);
    }

    // The context of a server's message: tests/catalogue/LoadListIntegrationTest.
    void errorContext_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("result");
        QTest::newRow("no context") << "[SQL Server]bad"
                                    << ""
                                    << "[SQL Server]bad";
        QTest::newRow("lower case does not count") << "sql server said no"
                                                   << "select 1"
                                                   << "sql server said no";
    }

    void errorContext() {
        QFETCH(QString, message);
        QFETCH(QString, context);
        QFETCH(QString, result);
        QCOMPARE(AppendErrorContext(message, context), result);
    }
};

QTEST_GUILESS_MAIN(ConnectionTextTest)
#include "ConnectionTextTest.moc"
