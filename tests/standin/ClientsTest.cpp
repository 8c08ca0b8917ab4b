// The stand-in through FreeTDS's tsql, which the round-trip tests feed the
// program's scripts to: a script that tsql runs must change the database.
// (The program's own ODBC layer against the stand-in: tests/db.)

#include "support/StandIn.h"

#include <QProcess>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(ClientsTest)
#include "ClientsTest.moc"
