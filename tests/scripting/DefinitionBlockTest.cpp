#include "scripting/DefinitionBlock.h"

#include "base/ProcedureError.h"
#include "scripting/LiteralCuts.h"
#include "scripting/ModuleHeader.h"

#include <QFile>
#include <QTest>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::DefinitionBlockOptions)

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

class DefinitionBlockTest : public QObject {
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
        const QString script = definitionBlock(
            factsOf(ObjectKind::Proc), "p", {"CREATE PROCEDURE p AS select 1"}, {alter, encrypt});
        QCOMPARE(script, expectedFile(expected));
    }

    // Stored texts of 2016 SP1 and later may already say CREATE OR ALTER;
    // the options turn either form into the one asked for.
    void definitions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("definition");
        QTest::addColumn<DefinitionBlockOptions>("options");
        QTest::addColumn<QString>("result"); // body, or the error
        const auto row = [](const char* name, ObjectKind kind, const QString& definition,
                            DefinitionBlockOptions options, const QString& result) {
            QTest::newRow(name) << int(kind) << definition << options << result;
        };
        using enum ObjectKind;
        const QString noCreateProc =
            "Could not locate CREATE PROC statement when generating script";
        const QString stored = "create or alter procedure a as select 1";
        row("trimmed at both ends, line break kept", Proc,
            "\r\n\t CREATE PROC a AS select 1\r\n\r\n ", {},
            "CREATE PROC a AS select 1\r\nGO\r\n\r\n");
        row("inner line ends kept, trailing one replaced", View, "create view v as select 1\n--x\n",
            {}, "create view v as select 1\n--x\r\nGO\r\n\r\n");
        row("comment lines before CREATE", Proc,
            "-- one\r\n/* two */\r\ncreate procedure a as select 1", {true, false},
            "-- one\r\n/* two */\r\nALTER procedure a as select 1\r\nGO\r\n\r\n");
        row("indented CREATE after a comment", Proc, "-- c\r\n  CREATE PROC a AS select 1",
            {true, false}, "-- c\r\n  ALTER PROC a AS select 1\r\nGO\r\n\r\n");
        row("no CREATE that is code", Proc, "-- CREATE PROC a\r\nselect 'CREATE PROC b'", {},
            "Could not locate CREATE statement when generating script");
        // The header is the first CREATE that is code; the words may stand
        // apart by blanks, line breaks or comments.
        row("CREATE in a comment line before the header", Proc,
            "/*\r\nCREATE PROCEDURE dbo.OldList\r\n*/\r\nCREATE PROCEDURE a AS select 1",
            {true, false},
            "/*\r\nCREATE PROCEDURE dbo.OldList\r\n*/\r\nALTER PROCEDURE a AS select 1\r\n"
            "GO\r\n\r\n");
        row("CREATE in a nested comment", Proc,
            "/* outer /* inner */\nCREATE PROCEDURE x */ CREATE PROCEDURE a AS select 1",
            {false, false, true},
            "/* outer /* inner */\nCREATE PROCEDURE x */ CREATE OR ALTER PROCEDURE a AS select "
            "1\r\nGO\r\n\r\n");
        row("comment before the header on its line", View, "/* c */ CREATE VIEW v AS select 1",
            {true, true}, "/* c */ ALTER VIEW v \r\nWITH ENCRYPTION\r\nAS select 1\r\nGO\r\n\r\n");
        row("keyword on the next line", Proc, "CREATE\r\nPROCEDURE a AS select 1", {true, false},
            "ALTER\r\nPROCEDURE a AS select 1\r\nGO\r\n\r\n");
        row("CREATE then TAB", Proc, "CREATE\tPROC a AS select 1", {false, false, true},
            "CREATE OR ALTER\tPROC a AS select 1\r\nGO\r\n\r\n");
        row("comment between the words", Function,
            "CREATE/*x*/FUNCTION f() RETURNS int AS BEGIN RETURN 1 END", {true, false},
            "ALTER/*x*/FUNCTION f() RETURNS int AS BEGIN RETURN 1 END\r\nGO\r\n\r\n");
        row("stored CREATE OR ALTER split by a comment", Proc,
            "CREATE OR/*x*/ALTER PROC a AS select 1", {true, false},
            "ALTER PROC a AS select 1\r\nGO\r\n\r\n");
        row("a word that begins with the keyword is no keyword", Proc, "CREATE PROCX a AS select 1",
            {}, noCreateProc);
        row("trigger keyword", Trigger, "CREATE VIEW x AS select 1", {},
            "Could not locate CREATE TRIGGER statement when generating script");
        row("trigger with FOR", Trigger, "CREATE TRIGGER t ON a FOR INSERT AS select 1",
            {false, true},
            "CREATE TRIGGER t ON a \r\nWITH ENCRYPTION\r\nFOR INSERT AS select 1\r\nGO\r\n\r\n");
        row("marker must be a whole word", Proc, "CREATE PROC CAST_AS\tAS\r\nselect 1",
            {false, true},
            "CREATE PROC CAST_AS\t\r\nWITH ENCRYPTION\r\nAS\r\nselect 1\r\nGO\r\n\r\n");
        row("lower-case create, position kept past a sharp s", View,
            "create view [straße] as select 1", {true, true},
            "ALTER view [straße] \r\nWITH ENCRYPTION\r\nas select 1\r\nGO\r\n\r\n");
        row("CREATE becomes CREATE OR ALTER", Proc, "create procedure a as select 1",
            {false, false, true}, "CREATE OR ALTER procedure a as select 1\r\nGO\r\n\r\n");
        row("stored CREATE OR ALTER kept as stored", Proc, stored, {}, stored + "\r\nGO\r\n\r\n");
        row("stored CREATE OR ALTER becomes ALTER", Proc, stored, {true, false},
            "ALTER procedure a as select 1\r\nGO\r\n\r\n");
        row("stored CREATE OR ALTER not doubled", Proc, stored, {false, false, true},
            "CREATE OR ALTER procedure a as select 1\r\nGO\r\n\r\n");
        row("stored words on two lines", Proc, "CREATE OR\r\nALTER PROC a AS select 1",
            {true, false}, "ALTER PROC a AS select 1\r\nGO\r\n\r\n");
        row("OR inside a longer word is no OR", Proc, "CREATE ORALTER PROC a AS select 1",
            {false, false, true}, noCreateProc);
        row("OR without ALTER fails the keyword check", Proc, "CREATE OR PROC a AS select 1", {},
            noCreateProc);
    }

    void definitions() {
        QFETCH(int, kind);
        QFETCH(QString, definition);
        QFETCH(DefinitionBlockOptions, options);
        QFETCH(QString, result);
        QString outcome;
        const auto failure = failureOf([&] {
            outcome = body(definitionBlock(factsOf(ObjectKind(kind)), "x", {definition}, options));
        });
        QCOMPARE(failure ? failure->description : outcome, result);
    }

    // Each number of a group is a batch of its own, edited on its own; the
    // server refuses a second CREATE in one batch. (Loaded as stored and
    // altered: ModuleScriptsTest.)
    void numberedGroupOneBatchEach() {
        const QString script = definitionBlock(
            factsOf(ObjectKind::Proc), "g",
            {"create procedure g;1 as select 1\r\n", "\r\ncreate procedure g;2\r\nas select 2"},
            {true, true});
        QCOMPARE(body(script),
                 QStringLiteral(
                     "ALTER procedure g;1 \r\nWITH ENCRYPTION\r\nas select 1\r\nGO\r\n\r\n"
                     "ALTER procedure g;2\r\n\r\nWITH ENCRYPTION\r\nas select 2\r\nGO\r\n\r\n"));
    }

    // What the stored header names, against the listed dbo.spNew: empty when
    // it names the listed object or cannot be read, else the name as written.
    // Renamed ones as the skip message shows them: ModuleScriptsTest.
    void headerNames_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("renamedFrom");
        const auto row = [](const char* name, const QString& definition, const char* renamedFrom) {
            QTest::newRow(name) << definition << renamedFrom;
        };
        row("other letter case, owner given", "create procedure DBO.SPNEW as select 1", "");
        row("brackets and quotes", "CREATE PROCEDURE [dbo].\"spNew\" AS select 1", "");
        row("numbered, comments and blanks around the dot",
            "-- note\r\n/* a /* nested */ one */\r\n"
            "CREATE PROC dbo /*x*/ .\r\n spNew;2 AS select 1",
            "");
        row("stored CREATE OR ALTER", "CREATE OR ALTER PROC spNew AS select 1", "");
        row("database, owner and name", "CREATE PROC Shop.dbo.spNew AS x", "");
        row("renamed, written as stored", "CREATE PROC [dbo].[sp Old]]s] AS select 1",
            "[dbo].[sp Old]]s]");
        row("other owner", "CREATE PROC sales.spNew AS select 1", "sales.spNew");
        row("prefix of the name", "CREATE PROC spNe AS select 1", "spNe");
        row("name continues past a digit and dollar", "CREATE PROC spNew2$ AS select 1", "spNew2$");
        row("a trigger names itself, not its table",
            "CREATE TRIGGER trOld ON dbo.spNew FOR INSERT AS x", "trOld");
        row("no CREATE: left to the other checks", "select 1", "");
        row("unclosed bracket: left to the server", "CREATE PROC [spOld", "");
    }

    void headerNames() {
        QFETCH(QString, definition);
        QFETCH(QString, renamedFrom);
        const auto header = moduleHeaderName(definition);
        const bool listed = !header || namesListedObject(*header, "dbo", "spNew");
        QCOMPARE(listed ? QString() : header->written, renamedFrom);
    }

    // The lines of a module's text that a batch runner takes as its own, by
    // the rules of the literals' cuts, its first line too (a module's text
    // begins a script line). Loaded through tsql: RoundTripTest.
    void runnerLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line"); // "number: what", or empty
        QTest::newRow("none") << "CREATE PROC a AS\r\nselect 'exited', 'gone'\r\n-- editor"
                              << "";
        QTest::newRow("first line") << ":r x\nCREATE PROC a AS select 1"
                                    << "1: is a command to sqlcmd and tsql (:r)";
        QTest::newRow("counted by line feeds") << "a\r\nb\rc\r\n\tgo 5\r\n"
                                               << "3: is a command to tsql and sqlcmd (GO)";
        QTest::newRow("only letters of a colon command shown")
            << "a\n :ConNect$(x) y"
            << "2: is a command to sqlcmd (:ConNect)";
        QTest::newRow("the first of two") << "a $(b)\n!!c"
                                          << "1: holds a variable of sqlcmd "
                                             "(\"$\" before \"(\")";
        QTest::newRow("tsql's own word") << "a\nbye"
                                         << "2: is a command to tsql (BYE)";
    }

    void runnerLines() {
        QFETCH(QString, text);
        QFETCH(QString, line);
        const auto found = firstRunnerLine(text);
        QCOMPARE(found ? QString::number(found->number) + ": " + found->what : QString(), line);
    }

    // The reason a module that names another object is skipped, against the
    // listed dbo.spNew: a module moved with ALTER SCHEMA ... TRANSFER is not
    // called renamed.
    void unlistedHeaderFaults_data() {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("fault");
        const QString script = "; script it from its source";
        QTest::newRow("renamed") << "CREATE PROC dbo.spOld AS x"
                                 << "its stored text names dbo.spOld: it was renamed" + script;
        QTest::newRow("moved to another schema")
            << "CREATE PROC [sales].spNew AS x"
            << "its stored text names [sales].spNew: it was moved to another schema since" + script;
        QTest::newRow("moved and renamed")
            << "CREATE PROC sales.spOld AS x"
            << "its stored text names sales.spOld: it was renamed" + script;
        QTest::newRow("name shown escaped")
            << "CREATE PROC [sp\nOld] AS x"
            << "its stored text names [sp\\nOld]: it was renamed" + script;
    }

    void unlistedHeaderFaults() {
        QFETCH(QString, definition);
        QFETCH(QString, fault);
        const auto header = moduleHeaderName(definition);
        QVERIFY(header);
        QCOMPARE(unlistedHeaderFault(*header, "dbo", "spNew").value_or(QString()), fault);
    }
};

QTEST_GUILESS_MAIN(DefinitionBlockTest)
#include "DefinitionBlockTest.moc"
