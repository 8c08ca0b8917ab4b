// The stand-in through real clients: FreeTDS's tsql and freebcp, unixODBC's
// isql and the program's own ODBC layer over the FreeTDS driver.

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <QTest>

using namespace quarvex;
using namespace quarvex::test;

class ClientsTest : public QObject {
    Q_OBJECT
private slots:
    void loginAcceptedAndRefused_data();
    void loginAcceptedAndRefused();
    void longTextAndBinary();
    void sampleValuesComeOutExactly();
    void errorsCarryServerText();
    void scriptThroughTsqlReadsBackIdentical();
    void isqlRunsAQuery();
    void freebcpCopiesAQueryOut_data();
    void freebcpCopiesAQueryOut();
    void errorHalfwayFollowsTheRowsSent();
    void cancelStopsALongResultAndItsBatch();
    void severalConnectionsAtOnce();
    void receivedBatchesAreRecorded();
};

namespace {

QString runTsql(const StandIn& server, const QString& input,
                const QString& user = QStringLiteral("sa"),
                const QString& password = QStringLiteral("pw"),
                const QString& database = QStringLiteral("Northwind")) {
    QProcess tsql;
    tsql.start(QStringLiteral("tsql"), {"-H", "127.0.0.1", "-p", QString::number(server.port()),
                                        "-U", user, "-P", password, "-D", database});
    tsql.write(input.toUtf8());
    tsql.closeWriteChannel();
    tsql.waitForFinished(60000);
    return QString::fromUtf8(tsql.readAllStandardOutput() + tsql.readAllStandardError());
}

ConnectionSettings settingsOf(const StandIn& server, const QString& user = QStringLiteral("sa"),
                              const QString& password = QStringLiteral("pw"),
                              const QString& database = QStringLiteral("Northwind")) {
    return {server.serverText(), database, user, password};
}

// A derived table of the digits 0 to 9 in column d.
const QString digits = QStringLiteral(
    "(select 0 d union all select 1 union all select 2 union all select 3 union all select 4 "
    "union all select 5 union all select 6 union all select 7 union all select 8 union all "
    "select 9)");

// The first column of the first row of a query.
QVariant scalar(OdbcConnection& connection, const QString& sql) {
    RecordSet records(connection, sql);
    return records.atEnd() ? QVariant() : records.value(0);
}

} // namespace

void ClientsTest::loginAcceptedAndRefused_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("error");
    QTest::newRow("right pair") << "quarvex"
                                << "s3cret"
                                << "Northwind"
                                << "";
    QTest::newRow("database name in other case") << "quarvex"
                                                 << "s3cret"
                                                 << "northwind"
                                                 << "";
    QTest::newRow("wrong password") << "quarvex"
                                    << "nope"
                                    << "Northwind"
                                    << "Login failed for user 'quarvex'.";
    QTest::newRow("unknown login") << "sa"
                                   << "s3cret"
                                   << "Northwind"
                                   << "Login failed for user 'sa'.";
    QTest::newRow("unknown database")
        << "quarvex"
        << "s3cret"
        << "Southwind"
        << "Cannot open database \"Southwind\" requested by the login. The login failed.";
}

void ClientsTest::loginAcceptedAndRefused() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(QString, error);
    StandInOptions options;
    options.sample = false;
    options.login = QStringLiteral("quarvex");
    options.password = QStringLiteral("s3cret");
    StandIn server(options);
    QVERIFY(server.isRunning());
    OdbcConnection connection;
    const auto failure =
        failureOf([&] { connection.open(settingsOf(server, user, password, database)); });
    QCOMPARE(!failure.has_value(), error.isEmpty());
    if (failure) {
        QVERIFY2(failure->description.contains(QStringLiteral("[SQL Server]") + error),
                 qPrintable(failure->description));
    } else {
        QCOMPARE(scalar(connection, QStringLiteral("select db_name()")).toString(),
                 QStringLiteral("Northwind"));
    }
    const QString tsql = runTsql(server, QStringLiteral("select 'in' + 'side'\ngo\nexit\n"), user,
                                 password, database);
    QCOMPARE(tsql.contains(QStringLiteral("inside")), error.isEmpty());
}

void ClientsTest::longTextAndBinary() {
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    OdbcConnection connection;
    connection.open(settingsOf(server));
    connection.execute("create table dbo.L (T text null, N ntext null, B varbinary(8000) null)");
    // 100 000 characters built as the program's scripts build long values.
    QString chunk = QStringLiteral("0123456789").repeated(500); // 5000
    QString expression = QStringLiteral("convert(varchar(max),'%1')").arg(chunk);
    for (int i = 1; i < 20; ++i)
        expression += QStringLiteral("+'%1'").arg(chunk);
    connection.execute(QStringLiteral("insert into dbo.L values (%1, N'ü', 0x%2)")
                           .arg(expression, QString(QStringLiteral("AB")).repeated(8000)));
    RecordSet records(connection, "select T, N, B from dbo.L");
    QCOMPARE(records.value(0).toString().size(), 100000);
    QCOMPARE(records.value(0).toString(), chunk.repeated(20));
    QCOMPARE(records.value(1).toString(), QStringLiteral("ü"));
    QCOMPARE(records.value(2).toByteArray(), QByteArray(8000, '\xAB'));
}

void ClientsTest::sampleValuesComeOutExactly() {
    StandIn server;
    OdbcConnection connection;
    connection.open(settingsOf(server));
    QList<QVariantList> rows;
    RecordSet records(connection,
                      "select UWord, Word, Exact, Price, Moment, datepart(ms,Moment) Moment__ms, "
                      "Fixed from dbo.TypeSamples order by SampleId");
    for (; !records.atEnd(); records.moveNext()) {
        QVariantList row;
        for (int i = 0; i < records.fieldCount(); ++i)
            row << records.value(i);
        rows << row;
    }
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0][0].toString(), QStringLiteral("Ünïcødé Ελληνικά 中文"));
    QCOMPARE(rows[0][1].toString(), QStringLiteral("O'Brien's café"));
    QCOMPARE(rows[1][2].value<ExactNumber>().text,
             QStringLiteral("-9999999999999999999999999999.9999999999"));
    QCOMPARE(rows[2][3].value<ExactNumber>().text, QStringLiteral("922337203685477.5807"));
    QCOMPARE(rows[2][4].toDateTime(),
             QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 997), Qt::UTC));
    QCOMPARE(rows[2][5].toInt(), 997);
    QCOMPARE(rows[1][6].toByteArray(), QByteArray(8, '\0'));
    QCOMPARE(rows[2][1].toString(), QStringLiteral("first line\nsecond line"));
    QVERIFY(!rows[3][0].isValid());
}

void ClientsTest::errorsCarryServerText() {
    StandIn server;
    OdbcConnection connection;
    connection.open(settingsOf(server));
    const struct {
        const char* sql;
        const char* message;
    } cases[] = {
        {"select * from dbo.Nowhere", "[SQL Server]Invalid object name 'dbo.Nowhere'."},
        {"select nmae from dbo.Products", "[SQL Server]Invalid column name 'nmae'."},
        {"select * from dbo.Products where (name like 'x%' -- ) order by 1",
         "[SQL Server]Incorrect syntax near"},
        {"insert into dbo.Products (ProductId, ProductName) values (99, N'x')",
         "when IDENTITY_INSERT is set to OFF"},
    };
    for (const auto& c : cases) {
        const QString failure = failureOf([&] { connection.execute(QString::fromUtf8(c.sql)); })
                                    .value_or(Failure{"<ran>"})
                                    .description;
        QVERIFY2(failure.contains(QString::fromUtf8(c.message)), qPrintable(failure));
    }
}

void ClientsTest::scriptThroughTsqlReadsBackIdentical() {
    // A script of the program's shape: batches, identity handling, reseed,
    // print notes, values with line breaks and a continued line.
    const QString script = QStringLiteral(
        "set nocount on\nGO\n\n"
        "--------------------\nprint 'Loading 2 rows to Orders...'\n--------------------\nGO\n\n"
        "set dateformat ymd\nGO\n\n"
        "create table dbo.Notes (NoteId int identity(1,1) not null, [Note Text] nvarchar(200) "
        "null, Stamp datetime null, Amount money null)\nGO\n\n"
        "set identity_insert dbo.Notes on\nGO\n\n"
        "insert into dbo.Notes (NoteId,[Note Text],Stamp,Amount) values (1,N'O''Brien\nsecond "
        "line','2008-12-10 14:05:09.007',-1.5)\n"
        "insert into dbo.Notes (NoteId,[Note Text],Stamp,Amount) values (7,N'continued "
        "\\\nline',null,12.3456)\n"
        "GO\n\nset identity_insert dbo.Notes off\nGO\n\n"
        "dbcc checkident('dbo.Notes',reseed,1)\ndbcc checkident('dbo.Notes',reseed)\nGO\n\n"
        "insert into dbo.Notes ([Note Text]) values (N'next')\nGO\n\n"
        "select NoteId, [Note Text], convert(varchar(23), Stamp, 121) Stamp, Amount from dbo.Notes "
        "order by NoteId\nGO\nexit\n");
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    const QString output = runTsql(server, script);
    QVERIFY2(output.contains("Loading 2 rows to Orders..."), qPrintable(output));
    QVERIFY2(output.contains("1\tO'Brien\nsecond line\t2008-12-10 14:05:09.007\t-1.5000"),
             qPrintable(output));
    QVERIFY2(output.contains("7\tcontinued line\tNULL\t12.3456"), qPrintable(output));
    QVERIFY2(output.contains("8\tnext\tNULL\tNULL"), qPrintable(output));
    // tsql shows informational messages as "Msg" too; none may be an error.
    QVERIFY2(!output.contains("(severity 1"), qPrintable(output));
    QVERIFY2(output.contains("current identity value '1', current column value '7'"),
             qPrintable(output));
}

void ClientsTest::isqlRunsAQuery() {
    StandIn server;
    TempFolder folder;
    folder.write(
        "odbc.ini",
        QStringLiteral("[standin]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=%1\nDatabase=Northwind\n")
            .arg(server.port())
            .toUtf8());
    QProcess isql;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ODBCINI", folder.path("odbc.ini"));
    isql.setProcessEnvironment(environment);
    isql.start("isql", {"-b", "-d|", "standin", "sa", "pw"});
    isql.write("select name from sys.objects where type = 'U' and name like 'cust%'\n");
    isql.closeWriteChannel();
    QVERIFY(isql.waitForFinished(60000));
    const QString output = QString::fromUtf8(isql.readAllStandardOutput());
    QVERIFY2(output.contains("Customers"), qPrintable(output + isql.readAllStandardError()));
}

void ClientsTest::freebcpCopiesAQueryOut_data() {
    QTest::addColumn<QString>("packetSize");
    QTest::newRow("default packets") << "4096";
    // Rows and their values cut across many packets.
    QTest::newRow("smallest packets") << "512";
}

// freebcp asks for the columns first (SET FMTONLY ON), then runs the query.
void ClientsTest::freebcpCopiesAQueryOut() {
    QFETCH(QString, packetSize);
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    TempFolder folder;
    folder.write("freetds.conf", QStringLiteral("[standin]\nhost = 127.0.0.1\nport = %1\n"
                                                "client charset = UTF-8\n")
                                     .arg(server.port())
                                     .toUtf8());
    const QString query =
        QStringLiteral("select a.d * 100 + b.d * 10 + c.d n, replicate(N'ü', c.d) u, "
                       "convert(money, -1.5) m, convert(datetime, '2008-12-10 14:05:09.007') t, "
                       "null z from %1 a cross join %1 b cross join %1 c order by n")
            .arg(digits);
    QProcess bcp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("FREETDSCONF", folder.path("freetds.conf"));
    bcp.setProcessEnvironment(environment);
    bcp.start("freebcp", {query, "queryout", folder.path("out.txt"), "-c", "-S", "standin", "-U",
                          "sa", "-P", "pw", "-D", "Northwind", "-A", packetSize});
    QVERIFY(bcp.waitForFinished(60000));
    QVERIFY2(bcp.exitCode() == 0, bcp.readAll() + bcp.readAllStandardError());
    QByteArray expected;
    for (int n = 0; n < 1000; ++n) {
        // bcp writes an empty string as one NUL byte, a NULL as nothing.
        const QString text = n % 10 ? QStringLiteral("ü").repeated(n % 10) : QStringLiteral("\0");
        expected += QStringLiteral("%1\t%2\t-1.5000\t2008-12-10 14:05:09.007\t\n")
                        .arg(n)
                        .arg(text)
                        .toUtf8();
    }
    QCOMPARE(folder.bytes("out.txt"), expected);
}

void ClientsTest::errorHalfwayFollowsTheRowsSent() {
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    OdbcConnection connection;
    connection.open(settingsOf(server));
    RecordSet records(connection, "select convert(int, v) from (select '1' v union all select '2' "
                                  "union all select 'x' union all select '4') q");
    QList<int> values;
    const auto failure = failureOf([&] {
        for (; !records.atEnd(); records.moveNext())
            values << records.value(0).toInt();
    });
    QCOMPARE(values, (QList<int>{1, 2}));
    QVERIFY(failure.has_value());
    QVERIFY2(failure->description.contains(
                 "Conversion failed when converting the varchar value 'x' to data type int."),
             qPrintable(failure->description));
}

// A million rows, far more than the socket buffers hold: the server is still
// sending when the client cancels after the first.
void ClientsTest::cancelStopsALongResultAndItsBatch() {
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    OdbcConnection connection;
    connection.open(settingsOf(server));
    connection.execute("create table dbo.After (n int null)");
    RecordSet records(connection, QStringLiteral("select replicate('x', 100) from %1 a cross join "
                                                 "%1 b cross join %1 c cross join %1 d cross "
                                                 "join %1 e cross join %1 f\n"
                                                 "insert into dbo.After values (1)")
                                      .arg(digits));
    QVERIFY(!records.atEnd());
    records.close();
    QCOMPARE(scalar(connection, "select count(*) from dbo.After").toInt(), 0);
}

void ClientsTest::severalConnectionsAtOnce() {
    StandIn server;
    OdbcConnection first;
    OdbcConnection second;
    first.open(settingsOf(server));
    second.open(settingsOf(server));
    first.execute("set dateformat dmy");
    const QString month = "select datepart(month, convert(datetime, '10/12/2008'))";
    // Session settings stay with their connection.
    QCOMPARE(scalar(first, month).toInt(), 12);
    QCOMPARE(scalar(second, month).toInt(), 10);
}

void ClientsTest::receivedBatchesAreRecorded() {
    StandIn server;
    OdbcConnection connection;
    connection.open(settingsOf(server));
    const QString sql = QStringLiteral("select name from sys.objects where name like N'ü%'\r\n");
    connection.execute(sql);
    QVERIFY2(server.receivedBatches().contains(sql),
             qPrintable(server.receivedBatches().join("\n---\n")));
}

QTEST_GUILESS_MAIN(ClientsTest)
#include "ClientsTest.moc"
