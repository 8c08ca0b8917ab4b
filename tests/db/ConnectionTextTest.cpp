#include "base/ProcedureError.h"
#include "db/InstanceLookup.h"
#include "db/OdbcConnectionString.h"
#include "db/OdbcDiagnostics.h"
#include "db/ServerConnection.h"

#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ConnectionSettings)

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
            << "Driver={ODBC Driver 18 for SQL Server};Server=db1,1433;Database=x;UID=u;PWD=p;";
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
            << "Driver={ODBC Driver 17 for SQL Server};Server=h;Database=d;UID=u;PWD={p;w}}d};";
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
