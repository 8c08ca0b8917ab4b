// Every ticked table's rows from one moment while another session writes:
// from a snapshot, under shared table locks, or table by table; the note
// that tells Tables.sql which; the failures that end such a run.

#include "scripting/BoxPrint.h"
#include "support/Cli.h"
#include "support/Database.h"
#include "support/ScriptRun.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

const QString schema =
    QStringLiteral("create table Parent (Id int not null primary key, Children int not null)\n"
                   "create table Filler (Id int not null primary key, Pad varchar(250) not null)\n"
                   "create table Child (Id int not null primary key, ParentId int not null\n"
                   "  constraint FK_Child_Parent references Parent (Id))\nGO\n");

const QString allowSnapshots =
    QStringLiteral("alter database Northwind set allow_snapshot_isolation on\nGO\n");

// Twenty parents with a child each, and between them a table that takes a
// while to read, so that the writer acts between the two.
QString sourceScript(bool snapshotsAllowed) {
    QString script = (snapshotsAllowed ? allowSnapshots : QString()) + schema;
    for (int id = 1; id <= 20; ++id)
        script += QStringLiteral("insert into Parent values (%1, 1)\ninsert into Child values "
                                 "(%1, %1)\n")
                      .arg(id);
    const QString pad(250, u'x');
    for (int id = 1; id <= 600; ++id)
        script += QStringLiteral("insert into Filler values (%1, '%2')\n").arg(id).arg(pad);
    return script + "GO\n";
}

test::StandInOptions sourceOptions(bool snapshotsAllowed) {
    test::StandInOptions options;
    options.sample = false;
    options.script = sourceScript(snapshotsAllowed);
    options.packetDelayMs = 20; // the filler's rows stream for about a second
    return options;
}

// Another session that keeps changing parents and children, each change
// one transaction after which every child has its parent and every
// parent's count is right: the database as any one moment holds it.
class Writer {
public:
    explicit Writer(test::Database& database)
        : m_database(database) {}

    void step() {
        switch (m_steps++ % 4) {
        case 0:
        case 1:
            ++m_newest;
            run(QStringLiteral("begin tran insert into Parent values (%1, 1) insert into Child "
                               "values (%1, %1) commit")
                    .arg(m_newest));
            break;
        case 2:
            run(QStringLiteral("begin tran update Parent set Children = Children + 1 where Id = "
                               "%1 insert into Child values (%2, %1) commit")
                    .arg(m_newest)
                    .arg(10000 + m_steps));
            break;
        default:
            // The parent first, as the run reads it first: no deadlock.
            if (m_oldest <= 20)
                run(QStringLiteral("begin tran update Parent set Children = Children where Id = "
                                   "%1 delete from Child where ParentId = %1 delete from Parent "
                                   "where Id = %1 commit")
                        .arg(m_oldest++));
        }
    }

    int steps() const { return m_steps; }
    QStringList errors;

private:
    void run(const QString& batch) {
        if (const auto failure = failureOf([&] { m_database.execute(batch); }))
            errors << failure->description;
    }

    test::Database& m_database;
    int m_steps = 0;
    int m_newest = 100;
    int m_oldest = 1;
};

QStringList cliArguments(const test::StandIn& server, const QString& folder, const QString& mode) {
    return {"--server",
            server.serverText(),
            "--database",
            "Northwind",
            "--user",
            "sa",
            "--out",
            folder,
            "--group",
            "--consistent-read",
            mode,
            "table:dbo.Parent",
            "table:dbo.Filler",
            "table:dbo.Child"};
}

test::CliResult runCli(const QStringList& arguments, const QString& folder,
                       const std::function<void()>& whileRunning) {
    return test::runCli(arguments, folder, {{"QUARVEX_PASSWORD", "pw"}}, {}, 60000, whileRunning);
}

bool readsFiller(const QStringList& batches) {
    for (const QString& batch : batches)
        if (batch.startsWith("select Id,Pad from dbo.Filler"))
            return true;
    return false;
}

qint32 notedRows(const QString& tables, const QString& table) {
    static const QString pattern = QStringLiteral("Loading (\\d+) rows to %1\\.\\.\\.");
    return QRegularExpression(pattern.arg(table)).match(tables).captured(1).toInt();
}

const QStringList scriptFiles{"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"};

} // namespace

class ConsistentReadTest : public QObject {
    Q_OBJECT

private slots:
    // The writer keeps going through the run. From a snapshot or under
    // locks, Tables.sql loads into an empty copy with its key checked and
    // holds one moment: each count note is its table's rows, each
    // parent's count its children. Table by table, a child arrives whose
    // parent was read before it existed.
    void rowsOfOneMoment_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("snapshotsAllowed");
        QTest::addColumn<bool>("oneMoment");
        QTest::newRow("automatic, snapshot allowed") << "auto" << true << true;
        QTest::newRow("lock while reading") << "lock" << false << true;
        QTest::newRow("off") << "off" << true << false;
    }

    void rowsOfOneMoment() {
        QFETCH(QString, mode);
        QFETCH(bool, snapshotsAllowed);
        QFETCH(bool, oneMoment);
        test::Database source(sourceOptions(snapshotsAllowed));
        QVERIFY(source.server.isRunning());
        Writer writer(source);
        test::TempFolder folder;
        const test::CliResult result = runCli(cliArguments(source.server, folder.folder(), mode),
                                              folder.folder(), [&] { writer.step(); });
        QVERIFY2(result.exitCode == 0, qPrintable(result.error));
        QVERIFY2(writer.errors.isEmpty(), qPrintable(writer.errors.join('\n')));
        QVERIFY(writer.steps() > 1); // under locks it waits for the run

        test::StandInOptions empty;
        empty.sample = false;
        empty.script = schema;
        test::Database copy(empty);
        const QString output = copy.loadThroughTsql(folder.path("Tables.sql"));
        if (!oneMoment) {
            QVERIFY2(output.contains("Msg 547"), qPrintable(output));
            return;
        }
        QVERIFY2(!output.contains("Msg "), qPrintable(output));
        QCOMPARE(copy.rows("select count(*) from sys.foreign_keys where is_disabled = 1 or "
                           "is_not_trusted = 1"),
                 QStringList{"0"});
        QCOMPARE(copy.rows("select count(*) from Parent p where Children <> (select count(*) "
                           "from Child c where c.ParentId = p.Id)"),
                 QStringList{"0"});
        QFile tables(folder.path("Tables.sql"));
        QVERIFY(tables.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(tables.readAll());
        for (const QString table : {"Parent", "Filler", "Child"})
            QCOMPARE(copy.rows("select count(*) from " + table),
                     QStringList{QString::number(notedRows(text, table))});
    }

    // Snapshots turned off between the run's check and its snapshot, a
    // table altered under the snapshot, or locked by a writer past the lock
    // time-out, ends the run; the scripts of the last run stay.
    void failuresEndTheRun_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("snapshotsOffAfterCheck");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("whileReadingFiller");
        QTest::addColumn<QString>("message");
        QTest::newRow("snapshots turned off after the check")
            << "auto" << true << QString() << QString()
            << "The database stopped allowing snapshot isolation as the run began "
               "(ALLOW_SNAPSHOT_ISOLATION is OFF)";
        QTest::newRow("table altered in the snapshot")
            << "auto" << false << QString() << "alter table dbo.Child nocheck constraint all"
            << "dbo.Child was altered by another session after the run's snapshot began";
        QTest::newRow("lock waited for too long")
            << "lock" << false << "begin tran update dbo.Child set ParentId = ParentId" << QString()
            << "dbo.Child: waited longer than the lock time-out (1 s) for its shared lock";
    }

    void failuresEndTheRun() {
        QFETCH(QString, mode);
        QFETCH(bool, snapshotsOffAfterCheck);
        QFETCH(QString, before);
        QFETCH(QString, whileReadingFiller);
        QFETCH(QString, message);
        test::StandInOptions options = sourceOptions(true);
        options.snapshotsOffAfterCheck = snapshotsOffAfterCheck;
        test::Database source(options);
        test::TempFolder folder;
        for (const QString& file : scriptFiles)
            folder.write(file, ("the last run's " + file).toUtf8());
        if (!before.isEmpty())
            source.execute(before);
        bool acted = whileReadingFiller.isEmpty();
        const test::CliResult result =
            runCli(cliArguments(source.server, folder.folder(), mode) << "--timeout"
                                                                      << "2",
                   folder.folder(), [&] {
                       if (!acted && readsFiller(source.server.receivedBatches())) {
                           source.execute(whileReadingFiller);
                           acted = true;
                       }
                   });
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.error.contains(message), qPrintable(result.error));
        for (const QString& file : scriptFiles)
            QCOMPARE(folder.bytes(file), ("the last run's " + file).toUtf8());
    }

    // Tables.sql tells how its rows were read, right after its header; a
    // server without snapshots falls back, and says why.
    void noteSaysHowRowsWereRead_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("snapshotsAllowed");
        QTest::addColumn<ConsistentRead>("mode");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("sent"); // a batch the server received
        QTest::newRow("automatic, snapshot allowed")
            << "9.00.1399" << true << ConsistentRead::Automatic << "Rows read in one snapshot"
            << "set transaction isolation level snapshot\r\nbegin transaction";
        QTest::newRow("automatic, snapshot not allowed")
            << "9.00.1399" << false << ConsistentRead::Automatic
            << "Rows read table by table: this database does not allow snapshot isolation "
               "(ALLOW_SNAPSHOT_ISOLATION is OFF)"
            << "select count(*) from dbo.Parent";
        QTest::newRow("automatic, SQL Server 2000")
            << "8.00.2039" << false << ConsistentRead::Automatic
            << "Rows read table by table: SQL Server 2000 has no snapshot isolation"
            << "select count(*) from dbo.Parent";
        QTest::newRow("lock while reading")
            << "8.00.2039" << false << ConsistentRead::Lock
            << "Rows read under shared table locks held to the end of the run"
            << "select count(*) from dbo.Parent with (tablock, holdlock)";
        QTest::newRow("off") << "9.00.1399" << true << ConsistentRead::Off
                             << "Rows read table by table: consistent read is off"
                             << "select count(*) from dbo.Parent";
    }

    void noteSaysHowRowsWereRead() {
        QFETCH(QString, version);
        QFETCH(bool, snapshotsAllowed);
        QFETCH(ConsistentRead, mode);
        QFETCH(QString, note);
        QFETCH(QString, sent);
        test::StandInOptions options;
        options.sample = false;
        options.version = version;
        options.script = (snapshotsAllowed ? allowSnapshots : QString()) + schema;
        const test::StandIn server(options);
        test::ScriptRun run(server);
        run.settings.consistentRead = mode;
        run.tick({"Parent"});
        QCOMPARE(run.create(), std::nullopt);
        QCOMPARE(run.readingNote(), BoxPrint(note));
        QVERIFY(server.receivedBatches().contains(sent));
    }
};

QTEST_GUILESS_MAIN(ConsistentReadTest)
#include "ConsistentReadTest.moc"
