// The stand-in through real clients: FreeTDS's tsql, unixODBC's isql and
// ODBC calls over the FreeTDS driver.

#include "OdbcProbe.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <QTest>

using namespace quarvex::test;

class ClientsTest : public QObject {
    Q_OBJECT
private slots:
    void loginAcceptedAndRefused_data();
    void loginAcceptedAndRefused();
    void versionThroughOdbc_data();
    void versionThroughOdbc();
    void roundTripOfEveryType_data();
    void roundTripOfEveryType();
    void longTextAndBinary();
    void sampleValuesComeOutExactly();
    void errorsCarryServerText();
    void scriptThroughTsqlReadsBackIdentical();
    void isqlRunsAQuery();
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
    OdbcProbe probe;
    const bool connected =
        probe.connect(QStringLiteral("127.0.0.1"), server.port(), database, user, password);
    QCOMPARE(connected, error.isEmpty());
    if (!connected) {
        QVERIFY2(probe.error().contains(QStringLiteral("[SQL Server]") + error),
                 qPrintable(probe.error()));
    } else {
        QList<QVariantList> rows;
        QVERIFY(probe.query(QStringLiteral("select db_name()"), &rows));
        QCOMPARE(rows.value(0).value(0).toString(), QStringLiteral("Northwind"));
    }
    const QString tsql = runTsql(server, QStringLiteral("select 'in' + 'side'\ngo\nexit\n"), user,
                                 password, database);
    QCOMPARE(tsql.contains(QStringLiteral("inside")), error.isEmpty());
}

void ClientsTest::versionThroughOdbc_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("dbmsVer");
    QTest::newRow("2005") << "9.00.1399"
                          << "09.00.1399";
    QTest::newRow("2000") << "8.00.2039"
                          << "08.00.2039";
    QTest::newRow("7") << "7.00.1063"
                       << "07.00.1063";
}

void ClientsTest::versionThroughOdbc() {
    QFETCH(QString, version);
    QFETCH(QString, dbmsVer);
    StandInOptions options;
    options.sample = false;
    options.version = version;
    StandIn server(options);
    OdbcProbe probe;
    QVERIFY2(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"),
             qPrintable(probe.error()));
    QCOMPARE(probe.dbmsVersion(), dbmsVer);
}

void ClientsTest::roundTripOfEveryType_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("int negative") << "int"
                                  << "-2147483648" << QVariant("-2147483648");
    QTest::newRow("bigint large") << "bigint"
                                  << "9223372036854775807" << QVariant("9223372036854775807");
    QTest::newRow("smallint") << "smallint"
                              << "-32768" << QVariant("-32768");
    QTest::newRow("tinyint") << "tinyint"
                             << "255" << QVariant("255");
    QTest::newRow("bit") << "bit"
                         << "1" << QVariant("1");
    QTest::newRow("float needing 17 digits")
        << "float"
        << "3.0000000000000004E-1" << QVariant("0.30000000000000004");
    QTest::newRow("float very large")
        << "float"
        << "1.7976931348623157E308" << QVariant("1.7976931348623157e+308");
    QTest::newRow("real") << "real"
                          << "1.5" << QVariant("1.5");
    QTest::newRow("decimal(38,10) negative")
        << "decimal(38,10)"
        << "-1234567890123456789012345678.9012345678"
        << QVariant("-1234567890123456789012345678.9012345678");
    QTest::newRow("numeric(9,2)") << "numeric(9,2)"
                                  << "12.3" << QVariant("12.30");
    QTest::newRow("money with four decimals")
        << "money"
        << "-922337203685477.5808" << QVariant("-922337203685477.5808");
    QTest::newRow("smallmoney") << "smallmoney"
                                << "12.3456" << QVariant("12.3456");
    QTest::newRow("varchar with apostrophe and é")
        << "varchar(40)"
        << "'O''Brien''s café'" << QVariant("O'Brien's café");
    QTest::newRow("varchar line breaks") << "varchar(40)"
                                         << "'a\r\nb'" << QVariant("a\r\nb");
    QTest::newRow("varchar empty is not null") << "varchar(10)"
                                               << "''" << QVariant("");
    QTest::newRow("char padded") << "char(4)"
                                 << "'ab'" << QVariant("ab  ");
    QTest::newRow("nvarchar non-Latin") << "nvarchar(40)"
                                        << "N'Ελληνικά 中文 ☃'" << QVariant("Ελληνικά 中文 ☃");
    QTest::newRow("nchar") << "nchar(3)"
                           << "N'ä'" << QVariant("ä  ");
    QTest::newRow("text") << "text"
                          << "'tëxt'" << QVariant("tëxt");
    QTest::newRow("ntext") << "ntext"
                           << "N'ñ'" << QVariant("ñ");
    QTest::newRow("sysname") << "sysname"
                             << "N'dbo'" << QVariant("dbo");
    QTest::newRow("datetime midnight")
        << "datetime"
        << "'2008-12-10 00:00:00.000'" << QVariant("2008-12-10 00:00:00.000");
    QTest::newRow("datetime .997")
        << "datetime"
        << "'2008-12-10 14:05:09.997'" << QVariant("2008-12-10 14:05:09.997");
    QTest::newRow("smalldatetime") << "smalldatetime"
                                   << "'2008-12-10 14:05:30'" << QVariant("2008-12-10 14:06:00");
    QTest::newRow("uniqueidentifier") << "uniqueidentifier"
                                      << "'A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11'"
                                      << QVariant("A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11");
    QTest::newRow("varbinary") << "varbinary(10)"
                               << "0x0AFF" << QVariant(QByteArray("\x0A\xFF", 2));
    QTest::newRow("empty varbinary") << "varbinary(10)"
                                     << "0x" << QVariant(QByteArray());
    QTest::newRow("binary padded") << "binary(3)"
                                   << "0x01" << QVariant(QByteArray("\x01\x00\x00", 3));
    QTest::newRow("image") << "image"
                           << "0x00FF" << QVariant(QByteArray("\x00\xFF", 2));
    QTest::newRow("null int") << "int"
                              << "null" << QVariant();
    QTest::newRow("null varchar") << "varchar(5)"
                                  << "null" << QVariant();
    QTest::newRow("null datetime") << "datetime"
                                   << "null" << QVariant();
    QTest::newRow("null varbinary") << "varbinary(5)"
                                    << "null" << QVariant();
}

void ClientsTest::roundTripOfEveryType() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QVariant, expected);
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    OdbcProbe probe;
    QVERIFY2(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"),
             qPrintable(probe.error()));
    QVERIFY2(probe.query(QStringLiteral("create table dbo.V (Value %1 null)").arg(type)),
             qPrintable(probe.error()));
    QVERIFY2(probe.query(QStringLiteral("insert into dbo.V values (%1)").arg(literal)),
             qPrintable(probe.error()));
    QList<QVariantList> rows;
    QVERIFY2(probe.query(QStringLiteral("select Value from dbo.V"), &rows),
             qPrintable(probe.error()));
    QCOMPARE(rows.size(), 1);
    const QVariant got = rows[0][0];
    if (expected.isNull()) {
        QVERIFY(got.isNull());
    } else if (expected.typeId() == QMetaType::QByteArray) {
        QCOMPARE(got.toByteArray(), expected.toByteArray());
    } else {
        QCOMPARE(got.toString(), expected.toString());
    }
}

void ClientsTest::longTextAndBinary() {
    StandInOptions options;
    options.sample = false;
    StandIn server(options);
    OdbcProbe probe;
    QVERIFY(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    QVERIFY(probe.query("create table dbo.L (T text null, N ntext null, B varbinary(8000) null)"));
    // 100 000 characters built as the program's scripts build long values.
    QString chunk = QStringLiteral("0123456789").repeated(500); // 5000
    QString expression = QStringLiteral("convert(varchar(max),'%1')").arg(chunk);
    for (int i = 1; i < 20; ++i)
        expression += QStringLiteral("+'%1'").arg(chunk);
    QVERIFY2(probe.query(QStringLiteral("insert into dbo.L values (%1, N'ü', 0x%2)")
                             .arg(expression, QString(QStringLiteral("AB")).repeated(8000))),
             qPrintable(probe.error()));
    QList<QVariantList> rows;
    QVERIFY2(probe.query("select T, N, B from dbo.L", &rows), qPrintable(probe.error()));
    QCOMPARE(rows[0][0].toString().size(), 100000);
    QCOMPARE(rows[0][0].toString(), chunk.repeated(20));
    QCOMPARE(rows[0][1].toString(), QStringLiteral("ü"));
    QCOMPARE(rows[0][2].toByteArray(), QByteArray(8000, '\xAB'));
}

void ClientsTest::sampleValuesComeOutExactly() {
    StandIn server;
    OdbcProbe probe;
    QVERIFY(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    QList<QVariantList> rows;
    QVERIFY2(probe.query(
                 "select UWord, Word, Exact, Price, Moment, datepart(ms,Moment) Moment__ms, Fixed "
                 "from dbo.TypeSamples order by SampleId",
                 &rows),
             qPrintable(probe.error()));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0][0].toString(), QStringLiteral("Ünïcødé Ελληνικά 中文"));
    QCOMPARE(rows[0][1].toString(), QStringLiteral("O'Brien's café"));
    QCOMPARE(rows[1][2].toString(), QStringLiteral("-9999999999999999999999999999.9999999999"));
    QCOMPARE(rows[2][3].toString(), QStringLiteral("922337203685477.5807"));
    QCOMPARE(rows[2][4].toString(), QStringLiteral("9999-12-31 23:59:59.997"));
    QCOMPARE(rows[2][5].toString(), QStringLiteral("997"));
    QCOMPARE(rows[1][6].toByteArray(), QByteArray(8, '\0'));
    QCOMPARE(rows[2][1].toString(), QStringLiteral("first line\nsecond line"));
    QVERIFY(rows[3][0].isNull());
}

void ClientsTest::errorsCarryServerText() {
    StandIn server;
    OdbcProbe probe;
    QVERIFY(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    QVERIFY(!probe.query("select * from dbo.Nowhere"));
    QVERIFY2(probe.error().contains("[SQL Server]Invalid object name 'dbo.Nowhere'."),
             qPrintable(probe.error()));
    QVERIFY(!probe.query("select nmae from dbo.Products"));
    QVERIFY2(probe.error().contains("[SQL Server]Invalid column name 'nmae'."),
             qPrintable(probe.error()));
    QVERIFY(!probe.query("select * from dbo.Products where (name like 'x%' -- ) order by 1"));
    QVERIFY2(probe.error().contains("[SQL Server]Incorrect syntax near"),
             qPrintable(probe.error()));
    QVERIFY(!probe.query("insert into dbo.Products (ProductId, ProductName) values (99, N'x')"));
    QVERIFY2(probe.error().contains("when IDENTITY_INSERT is set to OFF"),
             qPrintable(probe.error()));
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

void ClientsTest::severalConnectionsAtOnce() {
    StandIn server;
    OdbcProbe first;
    OdbcProbe second;
    QVERIFY(first.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    QVERIFY(second.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    QVERIFY(first.query("set dateformat dmy"));
    QList<QVariantList> a;
    QList<QVariantList> b;
    QVERIFY(first.query("select datepart(month, convert(datetime, '10/12/2008'))", &a));
    QVERIFY(second.query("select datepart(month, convert(datetime, '10/12/2008'))", &b));
    QCOMPARE(a[0][0].toString(), QStringLiteral("12")); // session settings stay per connection
    QCOMPARE(b[0][0].toString(), QStringLiteral("10"));
}

void ClientsTest::receivedBatchesAreRecorded() {
    StandIn server;
    OdbcProbe probe;
    QVERIFY(probe.connect("127.0.0.1", server.port(), "Northwind", "sa", "pw"));
    const QString sql = QStringLiteral("select name from sys.objects where name like N'ü%'\r\n");
    probe.query(sql);
    QVERIFY2(server.receivedBatches().contains(sql),
             qPrintable(server.receivedBatches().join("\n---\n")));
}

QTEST_GUILESS_MAIN(ClientsTest)
#include "ClientsTest.moc"
