#include "base/ProcedureError.h"
#include "io/OutputFolderLock.h"
#include "scripting/BoxPrint.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptRun.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace quarvex;

namespace {

const char* const database = R"(create table Orders (OrderId int identity(1,1) not null,
  [Customer Name] nvarchar(40) null, Placed datetime null, Stamp timestamp, Flags varbinary(10) null)
set identity_insert Orders on
insert into Orders (OrderId,[Customer Name],Placed,Flags) values (1,N'O''Brien','2008-12-10 14:05:09.007',0x0AFF)
insert into Orders (OrderId,[Customer Name],Placed,Flags) values (2,null,null,null)
set identity_insert Orders off
create table A (id int not null)
create table B (doc xml null)
create table C (id int not null, total as id * 2)
insert into C (id) values (7)
create type phone from varchar(20)
create table D (p phone null)
create table Many (n int not null)
create table OnlyStamp (ts timestamp)
GO
create procedure p as select 1
GO
create procedure spLocked with encryption as select 1
GO
/*
Create date: 2008-12-10
:setvar x 1
*/
create procedure spCommented as select 1
GO
create trigger trAfter on A after insert as select 1
GO
)";

const QStringList scriptNames{"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"};

QMap<QString, QByteArray> scriptBytes(const test::TempFolder& folder) {
    QMap<QString, QByteArray> bytes;
    for (const QString& name : scriptNames)
        bytes[name] = folder.bytes(name);
    return bytes;
}

// Every other file in the folder, hidden ones too.
QStringList otherFiles(const test::TempFolder& folder) {
    QStringList names = QDir(folder.folder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : scriptNames)
        names.removeAll(name);
    return names;
}

QString expectedFile(const QString& name) {
    QFile file(QStringLiteral(QUARVEX_TEST_DATA "/scripting/expected/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class ScriptRunIntegrationTest : public QObject {
    Q_OBJECT

    test::TempFolder m_data;
    QString m_databaseFile;

    std::unique_ptr<test::StandIn> server(const QString& version = "9.00.1399") {
        return std::make_unique<test::StandIn>(test::StandInOptions{
            .sample = false, .version = version, .loadFiles = {m_databaseFile}});
    }

    test::StandInOptions with(const QString& more) {
        return {.sample = false, .loadFiles = {m_databaseFile}, .script = more};
    }

    // Rows of 1, 2, 3 ... or of texts of textWidth times the character.
    static QString rows(const QString& table, int count, int textWidth = 0,
                        QChar character = u'x') {
        const QString quote = character.unicode() < 0x80 ? "'" : "N'";
        QString inserts;
        for (int n = 1; n <= count; ++n)
            inserts += QString("insert into %1 values (%2)\n")
                           .arg(table, textWidth ? quote + QString(textWidth, character) + "'"
                                                 : QString::number(n));
        return inserts;
    }

private slots:
    void initTestCase() {
        m_data.write("database.sql", database);
        m_databaseFile = m_data.path("database.sql");
    }

    // Orders ticked, or only a procedure.
    void workedExamples_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("table");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("unicode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("truncation")
            << "9.00.1399" << true << 0 << 0 << "tables-orders-truncate.sql";
        QTest::newRow("grouped deletes")
            << "9.00.1399" << true << 1 << 0 << "tables-orders-grouped.sql";
        QTest::newRow("older server, from its system tables")
            << "8.00.2039" << true << 0 << 0 << "tables-orders-truncate-2000.sql";
        QTest::newRow("unicode files")
            << "9.00.1399" << true << 0 << 1 << "tables-orders-truncate.sql";
        QTest::newRow("no table ticked")
            << "9.00.1399" << false << 0 << 0 << "tables-nothing-ticked.sql";
    }

    void workedExamples() {
        QFETCH(QString, version);
        QFETCH(bool, table);
        QFETCH(int, group);
        QFETCH(int, unicode);
        QFETCH(QString, expected);
        const auto standIn = server(version);
        test::ScriptRun run(*standIn);
        run.settings.chkGroup = group;
        run.settings.chkUnicode = unicode;
        run.tick({table ? "Orders" : "p"});
        // A link planted as the scratch file leads no rows into its target.
        m_data.write("precious.sql", "keep me");
        QVERIFY(QFile::link(m_data.path("precious.sql"), run.folder.path("Temp.sql")));
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(m_data.bytes("precious.sql"), QByteArray("keep me"));
        QCOMPARE(run.folder.bytes("Tables.sql").startsWith("\xFF\xFE"), bool(unicode));
        QCOMPARE(run.body("Tables.sql"), expectedFile(expected));
        QCOMPARE(run.body("Funcs.sql"), BoxPrint("End FUNCTION scripts"));
        QVERIFY(run.file("Views.sql")
                    .contains("print 'Selected VIEW scripts from " + standIn->serverText() +
                              ".Northwind "));
        QCOMPARE(run.toolkit.status(),
                 QStringLiteral("%1 tables/%2 procs/0 triggers/0 views/0 functions scripted")
                     .arg(int(table))
                     .arg(int(!table)));
        QCOMPARE(run.viewed, QStringList{run.folder.path(table ? "Tables.sql" : "Procs.sql")});
        QVERIFY(!QFile::exists(run.folder.path("Temp.sql")));
    }

    // A viewer that will not start is told once, by name, with the folder
    // the scripts are in; the run is done all the same.
    void viewerThatCannotStartIsReportedOnce() {
        const auto standIn = server();
        test::ScriptRun run(*standIn);
        run.settings.viewer = "missing";
        run.tick({"Orders", "p"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(),
                 QStringList{"CreateScripts: The viewer could not be started: missing (No such "
                             "file or directory). The script files are in " +
                             run.folder.folder()});
        QCOMPARE(run.runState.LastError, run.toolkit.messageTexts().value(0));
        QCOMPARE(run.viewed, QStringList{run.folder.path("Tables.sql")});
        QVERIFY(run.file("Procs.sql").contains("End PROCEDURE scripts"));
        QCOMPARE(run.toolkit.status(),
                 QStringLiteral("1 tables/1 procs/0 triggers/0 views/0 functions scripted"));
        QVERIFY(run.ticked().isEmpty());
    }

    // Skips: the message box, the boxed note, the entry left ticked.
    void skips_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("encrypt");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        const QString v2005 = "9.00.1399";
        QTest::newRow("xml column") << v2005 << "B" << 0 << "Tables.sql"
                                    << "Table B skipped: Cannot generate script for data type xml";
        QTest::newRow("alias type")
            << v2005 << "D" << 0 << "Tables.sql"
            << "Table D skipped: Cannot generate script for data type phone";
        QTest::newRow("sqlcmd command in a comment before the statement")
            << v2005 << "spCommented" << 0 << "Procs.sql"
            << "Proc spCommented skipped: line 3 of its text is a command to sqlcmd (:setvar), "
               "which a script cannot carry safely";
        QTest::newRow("only a timestamp column: the server's message and the query")
            << v2005 << "OnlyStamp" << 0 << "Tables.sql"
            << "Table OnlyStamp skipped: @SERVER@\r\n\r\n[select  from dbo.OnlyStamp]";
        QTest::newRow("trigger with AFTER and no FOR")
            << v2005 << "trAfter" << 1 << "Trigs.sql"
            << "Trigger trAfter skipped: Could not locate place to insert WITH ENCRYPTION when "
               "generating script";
        // Each catalogue generation marks encrypted text its own way.
        for (const char* version : {"8.00.2039", "9.00.1399"})
            QTest::addRow("encrypted procedure, %s", version)
                << QString(version) << "spLocked" << 0 << "Procs.sql"
                << "Proc spLocked skipped: Object encrypted or insufficient rights to definition";
    }

    void skips() {
        QFETCH(QString, version);
        QFETCH(QString, object);
        QFETCH(int, encrypt);
        QFETCH(QString, file);
        QFETCH(QString, message);
        const auto standIn = server(version);
        test::ScriptRun run(*standIn);
        run.settings.chkEncrypt = encrypt;
        run.tick({object, "C"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        // The run goes on; C's computed column is left out.
        QVERIFY(run.file("Tables.sql").contains("insert into #quarvex1 (id) values (7)\r\n"));
        // The server's own words, if any, stand where @SERVER@ does.
        QCOMPARE(run.toolkit.messages.size(), 1);
        const QString shown = run.toolkit.messages.first().text;
        const QStringList parts = message.split("@SERVER@");
        QVERIFY2(shown.startsWith(parts.first()) && shown.endsWith(parts.last()),
                 qPrintable(shown));
        QCOMPARE(run.toolkit.messages.first().icon, MessageIcon::Exclamation);
        QVERIFY2(run.file(file).contains(BoxPrint(shown)), qPrintable(run.file(file)));
        QCOMPARE(run.ticked(), QStringList{object});
        QVERIFY(run.toolkit.status().endsWith(" - 1 skipped"));
        QVERIFY(run.viewed.contains(run.folder.path(file)));
    }

    // Deletes, children first, in the apply step; none of a skipped table,
    // and no apply step without a table.
    void groupedDeletes_data() {
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QStringList>("deletes");
        QTest::addColumn<QStringList>("leftTicked");
        QTest::newRow("no table ticked") << QStringList{"p"} << QStringList{} << QStringList{};
        QTest::newRow("reverse ticking order")
            << QStringList{"A", "B", "C"}
            << QStringList{"delete from dbo.C\r\n", "delete from dbo.A\r\n"} << QStringList{"B"};
    }

    void groupedDeletes() {
        QFETCH(QStringList, ticks);
        QFETCH(QStringList, deletes);
        QFETCH(QStringList, leftTicked);
        const auto standIn = server();
        test::ScriptRun run(*standIn);
        run.settings.chkGroup = 1;
        run.tick(ticks);
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QString script = run.file("Tables.sql");
        QStringList found;
        static const QRegularExpression deleteLine("delete from [^\r]*\r\n");
        for (auto match = deleteLine.globalMatch(script); match.hasNext();)
            found << match.next().captured();
        QCOMPARE(found, deletes);
        QCOMPARE(script.contains("Applying the staged rows"), !deletes.isEmpty());
        QCOMPARE(run.ticked(), leftTicked);
    }

    // A batch ends after every 100th row, and early once it passes 32768
    // characters.
    void batchEnds_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("textWidth"); // 0: numbers
        QTest::addColumn<QString>("type");
        QTest::addColumn<QChar>("character");
        QTest::addColumn<QList<int>>("batchEnds"); // rows after which a GO follows
        QTest::newRow("100 rows") << 100 << 0 << "int" << QChar() << QList<int>{100};
        QTest::newRow("101 rows") << 101 << 0 << "int" << QChar() << QList<int>{100, 101};
        QTest::newRow("rows of 12000 characters")
            << 5 << 12000 << "text" << QChar(u'x') << QList<int>{3, 5};
        // Three bytes each in the 8-bit file: still counted as characters.
        QTest::newRow("rows of 12000 euro signs")
            << 5 << 12000 << "ntext" << QChar(u'€') << QList<int>{3, 5};
    }

    void batchEnds() {
        QFETCH(int, rows);
        QFETCH(int, textWidth);
        QFETCH(QString, type);
        QFETCH(QChar, character);
        QFETCH(QList<int>, batchEnds);
        test::StandIn standIn(with(QString("create table R (v %1 null)\n").arg(type) +
                                   this->rows("R", rows, textWidth, character)));
        test::ScriptRun run(standIn);
        run.tick({"R"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QString text = run.file("Tables.sql");
        QVERIFY(text.contains(QString("print 'Loading %1 rows to R...'").arg(rows)));
        QList<int> found;
        const QStringList lines = text.split("\r\n");
        int inserted = 0;
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith("insert into"))
                ++inserted;
            if (lines[i] == "GO" && i > 0 && lines[i - 1].startsWith("insert into"))
                found << inserted;
        }
        QCOMPARE(found, batchEnds);
    }

    // A failed run leaves the scripts before it byte for byte, nothing of its
    // own, the list as it was; a lost server ends it with no skip message.
    // The failure: its start, then after a "*" the driver's words within it.
    void failedRunChangesNoScript_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("failure");
        QTest::newRow("server closes the connection")
            << "drop"
            << "CreateScripts: ScriptTable: *Unexpected EOF";
        QTest::newRow("server falls silent") << "stall"
                                             << "CreateScripts: ScriptTable: *Timeout expired";
        QTest::newRow("unreachable server") << "unreachable"
                                            << "CreateScripts: OpenConnection: ";
        QTest::newRow("full disk") << "disk"
                                   << "CreateScripts: ScriptTable: AppendFile: File too large";
        QTest::newRow("read-only Views.sql")
            << "read-only"
            << "CreateScripts: WriteFile: The file is read-only\r\n\r\n[";
        QTest::newRow("missing output folder") << "missing"
                                               << "CreateScripts: WriteFile: ";
        QTest::newRow("folder in use by another run")
            << "locked"
            << "CreateScripts: The output folder is in use by another run\r\n\r\n[";
        QTest::newRow("folder others can write to, without the sticky bit")
            << "shared"
            << "CreateScripts: The output folder can be written by other users and has no "
               "sticky bit, so they could replace the script files with links\r\n\r\n[";
        QTest::newRow("cancelled between entries") << "cancel" << cancelledRunText();
        QTest::newRow("cancelled while the server is silent")
            << "cancel silent" << cancelledRunText();
    }

    void failedRunChangesNoScript() {
        QFETCH(QString, fault);
        QFETCH(QString, failure);
        test::StandIn standIn(with(rows("Many", 60)));
        test::ScriptRun run(standIn);
        run.tick({"Orders", "p"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const auto scripts = scriptBytes(run.folder);

        run.tick({"A", "Many", "Orders", "p"});
        const QStringList before = test::listed(run.toolkit.list);
        test::StandInOptions faulty = with(rows("Many", 60));
        (fault == "drop" ? faulty.dropAfterRows : faulty.stallAfterRows) = 50;
        std::unique_ptr<test::StandIn> faultyServer;
        std::optional<std::thread> canceller;
        if (fault == "drop" || fault == "stall" || fault == "cancel silent") {
            faultyServer = std::make_unique<test::StandIn>(faulty);
            run.settings.connection.server = faultyServer->serverText();
            // Cancelled, the run does not wait for the time-out.
            run.settings.connection.queryTimeoutSeconds = fault == "cancel silent" ? 600 : 1;
        }
        if (fault == "cancel") {
            run.toolkit.onProgress = [](Toolkit& toolkit, const RunProgress&) {
                toolkit.cancellation().cancel();
            };
        } else if (fault == "cancel silent") {
            // As the window's Cancel does, from its own thread.
            canceller.emplace([&] {
                for (int waited = 0;
                     waited < 20000 &&
                     faultyServer->receivedBatches().filter("from dbo.Many").isEmpty();
                     waited += 50)
                    QTest::qSleep(50);
                QTest::qSleep(300);
                run.toolkit.cancellation().cancel();
                QTest::qSleep(500);
                run.toolkit.cancellation().breakOff();
            });
        } else if (fault == "unreachable") {
            run.settings.connection.server = "127.0.0.1,1";
        } else if (fault == "read-only") {
            QFile::setPermissions(run.folder.path("Views.sql"),
                                  QFileDevice::ReadOwner | QFileDevice::ReadUser);
        } else if (fault == "missing") {
            run.settings.outputPath = run.folder.path("missing");
        } else if (fault == "shared") {
            QFile::setPermissions(run.folder.folder(), QFileDevice::Permissions(0x7777));
        }
        std::optional<OutputFolderLock> held;
        if (fault == "locked")
            held.emplace(run.folder.folder());
        const int batches = standIn.receivedBatches().size();
        QElapsedTimer clock;
        clock.start();
        if (fault == "disk")
            test::underFileSizeLimit(2000, [&] { run.create(); });
        else
            run.create();
        if (canceller)
            canceller->join();
        QVERIFY2(clock.elapsed() < 10000, "waited for the server's time-out");

        QVERIFY(run.failure.has_value());
        QVERIFY2(run.failure->description.startsWith(failure.section('*', 0, 0)) &&
                     run.failure->description.contains(failure.section('*', 1)),
                 qPrintable(run.failure->description));
        QCOMPARE(run.failure->endsRun(), fault != "locked");
        QCOMPARE(run.toolkit.messageTexts(), QStringList{});
        QCOMPARE(scriptBytes(run.folder), scripts);
        QCOMPARE(otherFiles(run.folder),
                 fault == "locked" ? QStringList{".quarvex.lock"} : QStringList{});
        QCOMPARE(test::listed(run.toolkit.list), before);
        QVERIFY(run.viewed.size() == 2);
        QCOMPARE(run.toolkit.busyHistory.last(), false);
        QCOMPARE(run.failure->kind == FailureKind::Cancelled, fault.startsWith("cancel"));
        if (fault.startsWith("cancel"))
            QCOMPARE(run.toolkit.status(), cancelledRunText());
        // Refused before any query: the file or folder named, no batch sent.
        const QMap<QString, QString> named{
            {"read-only", run.folder.path("Views.sql")},
            {"missing", run.folder.path("missing") + QDir::separator() + "Tables.sql"},
            {"locked", run.folder.folder()},
            {"shared", run.folder.folder()}};
        if (named.contains(fault)) {
            QVERIFY(run.failure->description.endsWith(named.value(fault) + "]"));
            QCOMPARE(standIn.receivedBatches().size(), batches);
        }
    }

    // A link planted at a script's name is replaced by the new script, never
    // followed: its target, read-only or missing, stays as it was.
    void linkAtAScriptIsReplaced_data() {
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("link to a read-only file") << true;
        QTest::newRow("dangling link") << false;
    }

    void linkAtAScriptIsReplaced() {
        QFETCH(bool, targetExists);
        const auto standIn = server();
        test::ScriptRun run(*standIn);
        test::TempFolder elsewhere;
        const QString target = elsewhere.path("victim");
        if (targetExists) {
            elsewhere.write("victim", "mine");
            QFile::setPermissions(target, QFileDevice::ReadOwner);
        }
        QVERIFY(QFile::link(target, run.folder.path("Tables.sql")));

        run.tick({"Orders"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QVERIFY(!QFileInfo(run.folder.path("Tables.sql")).isSymLink());
        QVERIFY(run.body("Tables.sql").contains("insert into dbo.Orders"));
        QCOMPARE(QFileInfo::exists(target), targetExists);
        if (targetExists) {
            QCOMPARE(elsewhere.bytes("victim"), QByteArray("mine"));
            QCOMPARE(QFileInfo(target).permissions() & QFileDevice::WriteOwner, 0);
        }
    }

    // Whoever may rename entries in the folder swaps the hidden Tables file
    // for a link to a file of the user's while the run reads a long table:
    // nothing reaches the link's target, the run fails at the move, and the
    // scripts and the folder are as they were.
    void hiddenFileSwappedForALinkDuringARun() {
        test::StandInOptions slow = with(rows("Many", 3000));
        slow.packetDelayMs = 100;
        test::StandIn standIn(slow);
        test::ScriptRun run(standIn);
        run.tick({"Orders"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const auto scripts = scriptBytes(run.folder);
        test::TempFolder elsewhere;
        elsewhere.write("victim", "mine");
        QFile::setPermissions(elsewhere.path("victim"), QFileDevice::ReadOwner);

        const QString hidden = run.folder.path(".Tables.sql.quarvex-new");
        bool swapped = false;
        std::thread intruder([&] {
            using namespace std::chrono_literals;
            for (int polls = 0; polls < 30000 && !QFileInfo::exists(hidden); ++polls)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(150ms); // well inside the long read
            swapped = std::rename(QFile::encodeName(hidden).constData(),
                                  QFile::encodeName(elsewhere.path("taken")).constData()) == 0 &&
                      QFile::link(elsewhere.path("victim"), hidden);
        });
        run.tick({"Many", "Orders"});
        run.create();
        intruder.join();

        QVERIFY(swapped);
        QVERIFY(run.failure.has_value());
        QVERIFY2(run.failure->description.startsWith(
                     "CreateScripts: MoveFile: The file was replaced while the run wrote it"),
                 qPrintable(run.failure->description));
        QCOMPARE(elsewhere.bytes("victim"), QByteArray("mine"));
        QCOMPARE(QFileInfo(elsewhere.path("victim")).permissions() & QFileDevice::WriteOwner, 0);
        QVERIFY(elsewhere.bytes("taken").contains("insert into dbo.Many"));
        QCOMPARE(scriptBytes(run.folder), scripts);
        QCOMPARE(otherFiles(run.folder), QStringList{});
    }

    // A killed run's leftovers go at the next run, even a failing one; one
    // killed between its moves has the rest moved, the files of one run.
    void leftoversOfAKilledRunGo_data() {
        QTest::addColumn<QStringList>("staged"); // scripts whose new file was left
        QTest::addColumn<bool>("moving");
        QTest::newRow("killed while writing")
            << QStringList{"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"}
            << false;
        QTest::newRow("killed between the moves") << QStringList{"Views.sql", "Funcs.sql"} << true;
    }

    void leftoversOfAKilledRunGo() {
        QFETCH(QStringList, staged);
        QFETCH(bool, moving);
        const auto standIn = server();
        test::ScriptRun run(*standIn);
        run.tick({"Orders"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        auto expected = scriptBytes(run.folder);
        for (const QString& name : staged) {
            run.folder.write("." + name + ".quarvex-new", "new " + name.toUtf8());
            if (moving)
                expected[name] = "new " + name.toUtf8();
        }
        run.folder.write("Temp.sql", "insert into dbo.Orders");
        if (moving)
            run.folder.write(".quarvex-moving", "");

        run.tick({"Orders"});
        run.settings.connection.server = "127.0.0.1,1";
        QVERIFY(run.create().has_value());
        QCOMPARE(scriptBytes(run.folder), expected);
        QCOMPARE(otherFiles(run.folder), QStringList{});
    }
};

QTEST_GUILESS_MAIN(ScriptRunIntegrationTest)
#include "ScriptRunIntegrationTest.moc"
