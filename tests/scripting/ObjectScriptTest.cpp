#include "scripting/ObjectScript.h"

#include "base/ProcedureError.h"
#include "scripting/ModuleHeader.h"

#include <QFile>
#include <QTest>

using namespace quarvex;

namespace {

QString expectedFile(const QString& name) {
    QFile file(QStringLiteral(QUARVEX_TEST_DATA "/scripting/expected/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The script without its boxed note.
QString body(const QString& script) {
    return script.mid(script.indexOf("GO\r\n") + 4);
}

} // namespace

class ObjectScriptTest : public QObject {
    Q_OBJECT

private slots:
    void workedExamples_data() {
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("expected");
        QTest::newRow("neither box") << false << false << "proc-p-create.sql";
        QTest::newRow("both boxes") << true << true << "proc-p-alter-encrypt.sql";
    }

    void workedExamples() {
        QFETCH(bool, alter);
        QFETCH(bool, encrypt);
        QFETCH(QString, expected);
        const QString script = objectScript(factsOf(ObjectKind::Proc), "p",
                                            {"CREATE PROCEDURE p AS select 1"}, {alter, encrypt});
        QCOMPARE(script, expectedFile(expected));
    }

    void definitions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("definition");
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("result"); // body, or the error
        const int proc = int(ObjectKind::Proc);
        const int trigger = int(ObjectKind::Trigger);
        const int view = int(ObjectKind::View);

        QTest::newRow("trimmed at both ends, line break kept")
            << proc << "\r\n\t CREATE PROC a AS select 1\r\n\r\n " << false << false
            << "CREATE PROC a AS select 1\r\nGO\r\n\r\n";
        QTest::newRow("inner line ends kept, trailing one replaced")
            << view << "create view v as select 1\n--x\n"
            << false << false << "create view v as select 1\n--x\r\nGO\r\n\r\n";
        QTest::newRow("comment lines before CREATE")
            << proc << "-- one\r\n/* two */\r\ncreate procedure a as select 1" << true << false
            << "-- one\r\n/* two */\r\nALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("indented CREATE is not found")
            << proc << "-- c\r\n  CREATE PROC a AS select 1" << false << false
            << "Could not locate CREATE statement when generating script";
        QTest::newRow("CREATE then TAB fails the keyword check")
            << proc << "CREATE\tPROC a AS select 1" << false << false
            << "Could not locate CREATE PROC statement when generating script";
        QTest::newRow("trigger keyword")
            << trigger << "CREATE VIEW x AS select 1" << false << false
            << "Could not locate CREATE TRIGGER statement when generating script";
        QTest::newRow("trigger with FOR")
            << trigger << "CREATE TRIGGER t ON a FOR INSERT AS select 1" << false << true
            << "CREATE TRIGGER t ON a \r\nWITH ENCRYPTION\r\nFOR INSERT AS select 1\r\nGO\r\n\r\n";
        QTest::newRow("marker must be a whole word")
            << proc << "CREATE PROC CAST_AS\tAS\r\nselect 1" << false << true
            << "CREATE PROC CAST_AS\t\r\nWITH ENCRYPTION\r\nAS\r\nselect 1\r\nGO\r\n\r\n";
        QTest::newRow("lower-case create, position kept past a sharp s")
            << view << "create view [straße] as select 1" << true << true
            << "ALTER view [straße] \r\nWITH ENCRYPTION\r\nas select 1\r\nGO\r\n\r\n";
    }

    void definitions() {
        QFETCH(int, kind);
        QFETCH(QString, definition);
        QFETCH(bool, alter);
        QFETCH(bool, encrypt);
        QFETCH(QString, result);
        QString outcome;
        const auto failure = failureOf([&] {
            outcome =
                body(objectScript(factsOf(ObjectKind(kind)), "x", {definition}, {alter, encrypt}));
        });
        QCOMPARE(failure ? failure->description : outcome, result);
    }

    // Stored texts of 2016 SP1 and later may already say CREATE OR ALTER;
    // the options turn either form into the one asked for.
    void createOrAlter_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("createOrAlter");
        QTest::addColumn<QString>("result"); // body, or the error
        const QString create = "create procedure a as select 1";
        const QString stored = "create or alter procedure a as select 1";

        QTest::newRow("CREATE becomes CREATE OR ALTER")
            << create << false << true << "CREATE OR ALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("CREATE OR ALTER wins over ALTER")
            << create << true << true << "CREATE OR ALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("stored CREATE OR ALTER kept as stored")
            << stored << false << false << stored + "\r\nGO\r\n\r\n";
        QTest::newRow("stored CREATE OR ALTER becomes ALTER")
            << stored << true << false << "ALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("stored CREATE OR ALTER not doubled")
            << stored << false << true << "CREATE OR ALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("stored words on two lines")
            << "CREATE OR\r\nALTER PROC a AS select 1" << true << false
            << "ALTER PROC a AS select 1\r\nGO\r\n\r\n";
        QTest::newRow("OR inside a longer word is no OR")
            << "CREATE ORALTER PROC a AS select 1" << false << true
            << "Could not locate CREATE PROC statement when generating script";
        QTest::newRow("OR without ALTER fails the keyword check")
            << "CREATE OR PROC a AS select 1" << false << false
            << "Could not locate CREATE PROC statement when generating script";
    }

    void createOrAlter() {
        QFETCH(QString, definition);
        QFETCH(bool, alter);
        QFETCH(bool, createOrAlter);
        QFETCH(QString, result);
        QString outcome;
        const auto failure = failureOf([&] {
            outcome = body(objectScript(factsOf(ObjectKind::Proc), "x", {definition},
                                        {alter, false, createOrAlter}));
        });
        QCOMPARE(failure ? failure->description : outcome, result);
    }

    // Each number of a group is a batch of its own, edited on its own; the
    // server refuses a second CREATE in one batch.
    void numberedGroupOneBatchEach_data() {
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("result");
        QTest::newRow("as stored") << false << false
                                   << "create procedure g;1 as select 1\r\nGO\r\n\r\n"
                                      "create procedure g;2\r\nas select 2\r\nGO\r\n\r\n";
        QTest::newRow("each number altered and encrypted")
            << true << true
            << "ALTER procedure g;1 \r\nWITH ENCRYPTION\r\nas select 1\r\nGO\r\n\r\n"
               "ALTER procedure g;2\r\n\r\nWITH ENCRYPTION\r\nas select 2\r\nGO\r\n\r\n";
    }

    void numberedGroupOneBatchEach() {
        QFETCH(bool, alter);
        QFETCH(bool, encrypt);
        QFETCH(QString, result);
        const QString script = objectScript(
            factsOf(ObjectKind::Proc), "g",
            {"create procedure g;1 as select 1\r\n", "\r\ncreate procedure g;2\r\nas select 2"},
            {alter, encrypt});
        QCOMPARE(body(script), result);
    }

    // What the stored header names, against the listed dbo.spNew: empty when
    // it names the listed object or cannot be read, else the name as written.
    void headerNames_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("renamedFrom");
        QTest::newRow("same name") << "CREATE PROC spNew AS select 1"
                                   << "";
        QTest::newRow("other letter case, owner given") << "create procedure DBO.SPNEW as select 1"
                                                        << "";
        QTest::newRow("brackets and quotes") << "CREATE PROCEDURE [dbo].\"spNew\" AS select 1"
                                             << "";
        QTest::newRow("numbered, comments and blanks around the dot")
            << "-- note\r\n/* a /* nested */ one */\r\nCREATE PROC dbo /*x*/ .\r\n spNew;2 AS "
               "select 1"
            << "";
        QTest::newRow("stored CREATE OR ALTER") << "CREATE OR ALTER PROC spNew AS select 1"
                                                << "";
        QTest::newRow("database, owner and name") << "CREATE PROC Shop.dbo.spNew AS x"
                                                  << "";
        QTest::newRow("renamed") << "CREATE PROC spOld AS select 1"
                                 << "spOld";
        QTest::newRow("renamed, written as stored") << "CREATE PROC [dbo].[sp Old]]s] AS select 1"
                                                    << "[dbo].[sp Old]]s]";
        QTest::newRow("other owner") << "CREATE PROC sales.spNew AS select 1"
                                     << "sales.spNew";
        QTest::newRow("prefix of the name") << "CREATE PROC spNe AS select 1"
                                            << "spNe";
        QTest::newRow("name continues past a digit and dollar") << "CREATE PROC spNew2$ AS select 1"
                                                                << "spNew2$";
        QTest::newRow("no CREATE: left to the other checks") << "select 1"
                                                             << "";
        QTest::newRow("unclosed bracket: left to the server") << "CREATE PROC [spOld"
                                                              << "";
    }

    void headerNames() {
        QFETCH(QString, definition);
        QFETCH(QString, renamedFrom);
        const auto header = moduleHeaderName(definition);
        const bool listed = !header || namesListedObject(*header, "dbo", "spNew");
        QCOMPARE(listed ? QString() : header->written, renamedFrom);
    }

    void triggerHeaderNamesTheTriggerNotItsTable() {
        const auto header = moduleHeaderName("CREATE TRIGGER trOld ON dbo.Orders FOR INSERT AS x");
        QVERIFY(header);
        QCOMPARE(header->written, QStringLiteral("trOld"));
        QVERIFY(!namesListedObject(*header, "dbo", "Orders"));
    }
};

QTEST_GUILESS_MAIN(ObjectScriptTest)
#include "ObjectScriptTest.moc"
