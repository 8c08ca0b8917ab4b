#include "base/ProcedureError.h"
#include "db/EncryptionFailure.h"
#include "db/FreeTdsConfig.h"
#include "db/InstanceLookup.h"
#include "db/OdbcConnectionString.h"
#include "db/OdbcDiagnostics.h"
#include "db/ServerConnection.h"

#include <QFile>
#include <QRegularExpression>
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

} // namespace

class ConnectionTextTest : public QObject {
    Q_OBJECT

private slots:
    void odbcString_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<ConnectionSettings>("settings");
        QTest::addColumn<QString>("text");
        const QString freeTdsTail = "TDS_Version=7.4;ClientCharset=UTF-8;";
        QTest::newRow("freetds takes the port apart, without the blanks around")
            << "FreeTDS" << ConnectionSettings{" 127.0.0.1 , 14330 ", "Northwind", "sa", "pw"}
            << "Driver=FreeTDS;Server=127.0.0.1;Port=14330;Database=Northwind;UID=sa;PWD=pw;" +
                   freeTdsTail;
        QTest::newRow("microsoft keeps host,port, without the blanks")
            << "ODBC Driver 18 for SQL Server" << ConnectionSettings{"db1 ,1433", "x", "u", "p"}
            << "Driver={ODBC Driver 18 for SQL Server};Server=db1,1433;Database=x;UID=u;PWD=p;"
               "Encrypt=Optional;TrustServerCertificate=Yes;";
        QTest::newRow("IPv6 address in brackets, with a port")
            << "FreeTDS" << ConnectionSettings{"[::1],14330", "x", "u", "p"}
            << "Driver=FreeTDS;Server=::1;Port=14330;Database=x;UID=u;PWD=p;" + freeTdsTail;
        QTest::newRow("IPv6 address in brackets alone")
            << "FreeTDS" << ConnectionSettings{" [::1] ", "x", "u", "p"}
            << "Driver=FreeTDS;Server=::1;Database=x;UID=u;PWD=p;" + freeTdsTail;
        QTest::newRow("instance passes through")
            << "FreeTDS" << ConnectionSettings{"host\\SQLEXPRESS", "x", "u", "p"}
            << "Driver=FreeTDS;Server=host\\SQLEXPRESS;Database=x;UID=u;PWD=p;" + freeTdsTail;
        QTest::newRow("syntax characters and blanks are braced; FreeTDS doubles nothing")
            << "FreeTDS" << ConnectionSettings{"h", "my db", "x;UID=sa", "p;w}{d}"}
            << "Driver=FreeTDS;Server=h;Database={my db};UID={x;UID=sa};PWD={p;w}{d}};" +
                   freeTdsTail;
        QTest::newRow("microsoft doubles closing braces")
            << "ODBC Driver 17 for SQL Server" << ConnectionSettings{"h", "d", "u", "p;w}d"}
            << "Driver={ODBC Driver 17 for SQL Server};Server=h;Database=d;UID=u;PWD={p;w}}d};"
               "Encrypt=no;TrustServerCertificate=Yes;";
        QTest::newRow("integrated login")
            << "FreeTDS" << ConnectionSettings{"h", "d", "", "ignored"}
            << "Driver=FreeTDS;Server=h;Database=d;Trusted_Connection=Yes;" + freeTdsTail;
    }

    void odbcString() {
        QFETCH(QString, driver);
        QFETCH(ConnectionSettings, settings);
        QFETCH(QString, text);
        QCOMPARE(odbcConnectionString(driver, settings), text);
    }

    // Every driver and setting, as sent. FreeTDS's own words (Encryption=) are
    // the only ones it reads; a checked certificate goes through its
    // configuration section instead of the server's address.
    void encryptionStrings_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<ConnectionSettings>("settings");
        QTest::addColumn<QString>("tail");
        const QString freeTds = "FreeTDS";
        const QString ms18 = "ODBC Driver 18 for SQL Server";
        const QString ms17 = "ODBC Driver 17 for SQL Server";
        const QString freeTdsAddress = "Server=db1;Port=1433;";
        const QString section = "Servername=quarvex-connection;";
        QTest::newRow("freetds optional")
            << freeTds << secured(Encryption::Optional) << freeTdsAddress;
        QTest::newRow("freetds optional ignores the CA file")
            << freeTds << secured(Encryption::Optional, false, "/ca.pem") << freeTdsAddress;
        QTest::newRow("freetds mandatory checks through its section")
            << freeTds << secured(Encryption::Mandatory) << section + "Encryption=require;";
        QTest::newRow("freetds mandatory, its own host name in the certificate")
            << freeTds << secured(Encryption::Mandatory, false, {}, "DB1")
            << section + "Encryption=require;";
        QTest::newRow("freetds mandatory trusting: no check, no section")
            << freeTds << secured(Encryption::Mandatory, true, "/ca.pem", "other")
            << freeTdsAddress + "Encryption=require;";
        QTest::newRow("driver 18 optional") << ms18 << secured(Encryption::Optional)
                                            << "Encrypt=Optional;TrustServerCertificate=Yes;";
        QTest::newRow("driver 18 mandatory")
            << ms18 << secured(Encryption::Mandatory) << "Encrypt=Mandatory;";
        QTest::newRow("driver 18 mandatory trusting")
            << ms18 << secured(Encryption::Mandatory, true)
            << "Encrypt=Mandatory;TrustServerCertificate=Yes;";
        QTest::newRow("driver 18 mandatory with a host name")
            << ms18 << secured(Encryption::Mandatory, false, {}, "db1.example.com")
            << "Encrypt=Mandatory;HostNameInCertificate=db1.example.com;";
        QTest::newRow("driver 18 strict with the server's certificate")
            << ms18 << secured(Encryption::Strict, false, "/etc/db1 cert.pem", "db1.example.com")
            << "Encrypt=Strict;HostNameInCertificate=db1.example.com;"
               "ServerCertificate={/etc/db1 cert.pem};";
        QTest::newRow("driver 17 optional")
            << ms17 << secured(Encryption::Optional) << "Encrypt=no;TrustServerCertificate=Yes;";
        QTest::newRow("driver 17 mandatory")
            << ms17 << secured(Encryption::Mandatory) << "Encrypt=yes;";
        QTest::newRow("driver 17 mandatory trusting")
            << ms17 << secured(Encryption::Mandatory, true)
            << "Encrypt=yes;TrustServerCertificate=Yes;";
    }

    void encryptionStrings() {
        QFETCH(QString, driver);
        QFETCH(ConnectionSettings, settings);
        QFETCH(QString, tail);
        const QString text = odbcConnectionString(driver, settings);
        const QString credentials = "UID=u;PWD=p;";
        QVERIFY2(text.contains(credentials), qPrintable(text));
        const QString freeTdsTail = "TDS_Version=7.4;ClientCharset=UTF-8;";
        QString sent = text;
        sent.remove(QRegularExpression("^Driver=[^;]*;"));
        sent.remove("Server=db1,1433;");
        sent.remove("Database=d;").remove(credentials).remove(freeTdsTail);
        QCOMPARE(sent, tail);
        QCOMPARE(freeTdsSectionNeeded(driver, settings), tail.startsWith("Servername="));
    }

    // Refused before anything is sent, saying that the driver cannot.
    void encryptionRefusals_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<ConnectionSettings>("settings");
        QTest::addColumn<QString>("message");
        QTest::newRow("freetds strict")
            << "FreeTDS" << secured(Encryption::Strict, true)
            << "The FreeTDS ODBC driver cannot encrypt strictly (TDS 8)";
        QTest::newRow("freetds another host name")
            << "FreeTDS" << secured(Encryption::Mandatory, false, {}, "db1.example.com")
            << "The FreeTDS ODBC driver cannot check the certificate for a name other";
        QTest::newRow("driver 17 strict")
            << "ODBC Driver 17 for SQL Server" << secured(Encryption::Strict)
            << "ODBC Driver 17 for SQL Server cannot encrypt strictly";
        QTest::newRow("driver 17 host name")
            << "ODBC Driver 17 for SQL Server"
            << secured(Encryption::Mandatory, false, {}, "db1.example.com")
            << "ODBC Driver 17 for SQL Server cannot check the certificate for another host name";
        QTest::newRow("a CA file for a Microsoft driver outside strict")
            << "ODBC Driver 18 for SQL Server" << secured(Encryption::Mandatory, false, "/ca.pem")
            << "ODBC Driver 18 for SQL Server cannot be given a CA file";
    }

    void encryptionRefusals() {
        QFETCH(QString, driver);
        QFETCH(ConnectionSettings, settings);
        QFETCH(QString, message);
        const auto failure = failureOf([&] { odbcConnectionString(driver, settings); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith(message), qPrintable(failure->description));
    }

    void freeTdsSection_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QStringList>("lines");
        const QString check = "check certificate hostname = yes";
        QTest::newRow("host and port, the system's authorities")
            << " db1 , 1433 "
            << "" << QStringList{"host = db1", "port = 1433", "ca file = system", check};
        QTest::newRow("IPv6 address without its brackets")
            << "[::1],14330"
            << "" << QStringList{"host = ::1", "port = 14330", "ca file = system", check};
        QTest::newRow("an instance, a CA file")
            << "db1\\SALES"
            << "/etc/ssl/our ca.pem"
            << QStringList{"host = db1", "instance = SALES", "ca file = /etc/ssl/our ca.pem",
                           check};
    }

    void freeTdsSection() {
        QFETCH(QString, server);
        QFETCH(QString, caFile);
        QFETCH(QStringList, lines);
        ConnectionSettings settings{server, "d", "u", "p"};
        settings.caFile = caFile;
        QCOMPARE(freeTdsSectionLines(settings), lines);
    }

    // FreeTDS would cut such a value at ";" or "#", or fold its blanks.
    void freeTdsValueThatCannotBeWritten_data() {
        QTest::addColumn<QString>("caFile");
        QTest::newRow("semicolon") << "/a;b.pem";
        QTest::newRow("hash") << "/certs/#1.pem";
        QTest::newRow("two blanks") << "/my  ca.pem";
        QTest::newRow("line break") << "/ca.pem\nhost = evil";
    }

    void freeTdsValueThatCannotBeWritten() {
        QFETCH(QString, caFile);
        ConnectionSettings settings = secured(Encryption::Mandatory, false, caFile);
        const auto failure = failureOf([&] { freeTdsSectionLines(settings); });
        QVERIFY(failure.has_value());
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
        QTest::newRow("no TLS while mandatory")
            << true << secured(Encryption::Mandatory) << 0
            << "The server db1,1433 does not support encryption, and encryption is Mandatory: "
               "nothing was sent to it";
        QTest::newRow("no TLS while mandatory and trusted")
            << true << secured(Encryption::Mandatory, true) << 0
            << "The server db1,1433 does not support encryption, and encryption is Mandatory: "
               "nothing was sent to it";
        QTest::newRow("refused with the system's authorities")
            << true << secured(Encryption::Mandatory) << 1
            << "The server's certificate was refused: it is not signed by an authority the "
               "system trusts, it has expired, or it is not issued for the host name db1. The "
               "login was not sent";
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

    void freeTdsCannotTakeBraceSemicolon() {
        const auto failure = failureOf([] {
            odbcConnectionString("FreeTDS", {"h", "d", "u", "secret};UID=sa"});
        });
        QVERIFY(failure.has_value());
        QVERIFY(failure->description.contains("PWD"));
        QVERIFY(!failure->description.contains("secret"));
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

    void driverChoice() {
        QCOMPARE(chooseSqlServerDriver({"FreeTDS", "ODBC Driver 17 for SQL Server"}),
                 QStringLiteral("ODBC Driver 17 for SQL Server"));
        QCOMPARE(chooseSqlServerDriver({"SQLite3", "FreeTDS"}), QStringLiteral("FreeTDS"));
        QVERIFY(chooseSqlServerDriver({"SQLite3"}).isEmpty());
    }

    // The versions servers report: tests/db/OdbcIntegrationTest.
    void versionGeneration_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("is2005Plus");
        QTest::newRow("no leading number") << "Microsoft SQL Server" << false;
        QTest::newRow("leading blanks") << "  9" << true;
    }

    void versionGeneration() {
        QFETCH(QString, version);
        QFETCH(bool, is2005Plus);
        QCOMPARE(isVersion2005Plus(version), is2005Plus);
    }

    // CREATE OR ALTER came with 2016 SP1, build 4001 of version 13.
    void createOrAlterVersions_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("known");
        QTest::newRow("2014") << "12.00.6024" << false;
        QTest::newRow("2016 before SP1") << "13.00.4000" << false;
        QTest::newRow("2016 SP1") << "13.00.4001" << true;
        QTest::newRow("2017, any build") << "14.00.1000" << true;
        QTest::newRow("2022") << "16.00.1000" << true;
        QTest::newRow("2000 with a large build") << "8.00.9999" << false;
        QTest::newRow("no build") << "13.00" << false;
        QTest::newRow("no number") << "Microsoft SQL Server" << false;
    }

    void createOrAlterVersions() {
        QFETCH(QString, version);
        QFETCH(bool, known);
        QCOMPARE(isVersionWithCreateOrAlter(version), known);
    }

    // The context of a server's message: tests/catalogue/LoadListIntegrationTest.
    // Other drivers (Microsoft's) say so by SQLSTATE alone.
    void connectionLossByState_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("lost");
        QTest::newRow("communication link failure") << "08S01" << true;
        QTest::newRow("connection does not exist") << "08003" << true;
        QTest::newRow("query time-out") << "HYT00" << true;
        QTest::newRow("connection time-out") << "HYT01" << true;
        QTest::newRow("syntax error") << "42000" << false;
        QTest::newRow("a warning") << "01000" << false;
        QTest::newRow("general error") << "HY000" << false;
    }

    void connectionLossByState() {
        QFETCH(QString, state);
        QFETCH(bool, lost);
        QCOMPARE(isConnectionLoss(state), lost);
    }

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
