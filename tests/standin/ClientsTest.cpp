// The stand-in through FreeTDS's tsql, which the round-trip tests feed the
// program's scripts to: a script that tsql runs must change the database;
// freebcp's copy out; and results streamed as the client takes them: an
// error or a cancel halfway. (The program's own ODBC layer against the
// stand-in: tests/db.)

#include "base/ProcedureError.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <QTest>

using namespace quarvex;
using namespace quarvex::test;

namespace {

QString runTsql(const StandIn& server, const QString& input) {
    QProcess tsql;
    tsql.start(QStringLiteral("tsql"), {"-H", "127.0.0.1", "-p", QString::number(server.port()),
                                        "-U", "sa", "-P", "pw", "-D", "Northwind"});
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

class ClientsTest : public QObject {
    Q_OBJECT

private slots:
    void scriptThroughTsqlReadsBackIdentical() {
        // A script of the program's shape: batches, identity handling, reseed,
        // print notes, values with line breaks and a continued line.
        const QString script = QStringLiteral(
            "set nocount on\nGO\n\n"
            "--------------------\nprint 'Loading 2 rows to "
            "Orders...'\n--------------------\nGO\n\n"
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
            "select NoteId, [Note Text], convert(varchar(23), Stamp, 121) Stamp, Amount from "
            "dbo.Notes "
            "order by NoteId\nGO\nexit\n");
        StandIn server({.sample = false});
        const QString output = runTsql(server, script);
        QVERIFY2(output.contains("Loading 2 rows to Orders..."), qPrintable(output));
        QVERIFY2(output.contains("1\tO'Brien\nsecond line\t2008-12-10 14:05:09.007\t-1.5000"),
                 qPrintable(output));
        QVERIFY2(output.contains("7\tcontinued line\tNULL\t12.3456"), qPrintable(output));
        QVERIFY2(output.contains("8\tnext\tNULL\tNULL"), qPrintable(output));
        // tsql shows informational messages as "Msg" too; none may be an error.
        QVERIFY2(!output.contains("(severity 1"), qPrintable(output));
    }

    void freebcpCopiesAQueryOut_data() {
        QTest::addColumn<QString>("packetSize");
        QTest::newRow("default packets") << "4096";
        // Rows and their values cut across many packets.
        QTest::newRow("smallest packets") << "512";
    }

    // freebcp asks for the columns first (SET FMTONLY ON), then runs the query.
    void freebcpCopiesAQueryOut() {
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
            QStringLiteral(
                "select a.d * 100 + b.d * 10 + c.d n, replicate(N'ü', c.d) u, "
                "convert(money, -1.5) m, convert(datetime, '2008-12-10 14:05:09.007') t, "
                "null z from %1 a cross join %1 b cross join %1 c order by n")
                .arg(digits);
        QProcess bcp;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("FREETDSCONF", folder.path("freetds.conf"));
        bcp.setProcessEnvironment(environment);
        bcp.start("freebcp", {query, "queryout", folder.path("out.txt"), "-c", "-S", "standin",
                              "-U", "sa", "-P", "pw", "-D", "Northwind", "-A", packetSize});
        QVERIFY(bcp.waitForFinished(60000));
        QVERIFY2(bcp.exitCode() == 0, bcp.readAll() + bcp.readAllStandardError());
        QByteArray expected;
        for (int n = 0; n < 1000; ++n) {
            // bcp writes an empty string as one NUL byte, a NULL as nothing.
            const QString text =
                n % 10 ? QStringLiteral("ü").repeated(n % 10) : QStringLiteral("\0");
            expected += QStringLiteral("%1\t%2\t-1.5000\t2008-12-10 14:05:09.007\t\n")
                            .arg(n)
                            .arg(text)
                            .toUtf8();
        }
        QCOMPARE(folder.bytes("out.txt"), expected);
    }

    void errorHalfwayFollowsTheRowsSent() {
        StandInOptions options;
        options.sample = false;
        StandIn server(options);
        OdbcConnection connection;
        connection.open(settingsOf(server));
        RecordSet records(connection,
                          "select convert(int, v) from (select '1' v union all select '2' "
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
    void cancelStopsALongResultAndItsBatch() {
        StandInOptions options;
        options.sample = false;
        StandIn server(options);
        OdbcConnection connection;
        connection.open(settingsOf(server));
        connection.execute("create table dbo.After (n int null)");
        RecordSet records(connection,
                          QStringLiteral("select replicate('x', 100) from %1 a cross join "
                                         "%1 b cross join %1 c cross join %1 d cross "
                                         "join %1 e cross join %1 f\n"
                                         "insert into dbo.After values (1)")
                              .arg(digits));
        QVERIFY(!records.atEnd());
        records.close();
        QCOMPARE(scalar(connection, "select count(*) from dbo.After").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(ClientsTest)
#include "ClientsTest.moc"
