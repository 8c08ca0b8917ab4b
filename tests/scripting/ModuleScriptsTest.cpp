// Procedure, trigger, view and function scripts against the stand-in, loaded
// the way a user loads them: through FreeTDS's tsql into another server.

#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QMap>
#include <QTest>

using namespace quarvex;

namespace {

// The objects, their bodies marked so that the source's tell from the
// target's. Number 2 of the group is longer than one 4000-character piece of
// the older catalogue.
QString objects(const QString& mark) {
    return QString(R"(CREATE PROCEDURE spGroup;1 AS select '%1 one'
GO
CREATE PROCEDURE spGroup;2 AS select '%1 %2'
GO
CREATE PROCEDURE spGroup;3 AS select '%1 three'
GO
CREATE PROCEDURE spPlain AS select '%1 plain'
GO
CREATE VIEW vPlain AS select '%1 view' as v
GO
CREATE TRIGGER trPlain ON T FOR INSERT AS select '%1 trigger'
GO
CREATE FUNCTION fnPlain() RETURNS int AS BEGIN RETURN len('%1 function') END
GO
)")
        .arg(mark, QString(4500, u'x'));
}

const QString table = QStringLiteral("create table T (a int null)\nGO\n");

// Headers the first CREATE that is code begins: after a comment that holds
// a CREATE of its own (nested too), after a comment on its line, its words
// apart. @VERB@ stands where the script's verb goes; %1 marks the body.
QString trickyHeaders(const QString& mark, const QString& verb = "CREATE") {
    return QString(R"(/* old version:
CREATE PROCEDURE dbo.OldList AS select 0
*/
@VERB@ PROCEDURE spOldComment AS select '%1 old comment'
GO
/* outer /* inner */
CREATE PROCEDURE spInner AS select 0 */ @VERB@ PROCEDURE spNested AS select '%1 nested'
GO
/* c */ @VERB@ VIEW vInline AS select '%1 inline' as v
GO
@VERB@
PROCEDURE spSplit AS select '%1 split'
GO
@VERB@/*x*/FUNCTION fnSplit() RETURNS int AS BEGIN RETURN len('%1 split') END
GO
)")
        .arg(mark)
        .replace("@VERB@", verb);
}

test::StandInOptions optionsFor(const QString& version, const QString& script) {
    return {.sample = false, .version = version, .script = script};
}

// Every stored text by object name and number ("spGroup;2"), from the
// catalogue every generation has.
QMap<QString, QString> storedTexts(test::Database& database) {
    QMap<QString, QString> texts;
    for (const QString& row :
         database.rows("select o.name, c.number, c.text from syscomments c join sysobjects o on "
                       "o.id = c.id order by o.name, c.number, c.colid"))
        texts[row.section(u'|', 0, 0) + ';' + row.section(u'|', 1, 1)] += row.section(u'|', 2);
    return texts;
}

// What follows the first " AS ": the part no script option changes.
QMap<QString, QString> bodies(const QMap<QString, QString>& texts) {
    QMap<QString, QString> bodies;
    for (auto it = texts.begin(); it != texts.end(); ++it)
        bodies[it.key()] = it.value().mid(it.value().indexOf(" AS ")).trimmed();
    return bodies;
}

// Loads the script files into the target; tsql's output when a batch failed.
QString loadThroughTsql(const test::Database& target, const test::ScriptRun& run,
                        const QStringList& files) {
    QString failures;
    for (const QString& file : files) {
        const QString output = target.loadThroughTsql(run.folder.path(file));
        if (output.contains("Msg "))
            failures += file + ":\n" + output;
    }
    return failures;
}

const QStringList codeFiles{"Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"};

} // namespace

class ModuleScriptsTest : public QObject {
    Q_OBJECT

private slots:
    // Every kind loads as it is in the source: a numbered group whether its
    // numbers come from syscomments or from sys.numbered_procedures, and
    // CREATE OR ALTER (which wins over ALTER) whether or not the objects
    // are there.
    void modulesLoadThroughTsql_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("alter");
        QTest::addColumn<int>("createOrAlter");
        QTest::addColumn<bool>("targetHasThem");
        QTest::newRow("2000, CREATE into an empty database") << "8.00.2039" << 0 << 0 << false;
        QTest::newRow("2000, ALTER of older ones") << "8.00.2039" << 1 << 0 << true;
        QTest::newRow("2005, ALTER of older ones") << "9.00.1399" << 1 << 0 << true;
        QTest::newRow("2022, ALTER of older ones") << "16.00.1000" << 1 << 0 << true;
        QTest::newRow("2016 SP1, CREATE OR ALTER, none there") << "13.00.4001" << 1 << 1 << false;
        QTest::newRow("2022, CREATE OR ALTER, all there") << "16.00.1000" << 1 << 1 << true;
    }

    void modulesLoadThroughTsql() {
        QFETCH(QString, version);
        QFETCH(int, alter);
        QFETCH(int, createOrAlter);
        QFETCH(bool, targetHasThem);
        test::Database source(optionsFor(version, table + objects("source")));
        test::Database target(
            optionsFor(version, table + (targetHasThem ? objects("target") : "")));
        test::ScriptRun run(source.server);
        run.settings.chkAlter = alter;
        run.settings.chkCreateOrAlter = createOrAlter;
        run.tick({"spGroup", "spPlain", "vPlain", "trPlain", "fnPlain"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(), QStringList());
        QCOMPARE(run.file("Views.sql").contains("print 'Creating or altering vPlain...'"),
                 bool(createOrAlter));

        QCOMPARE(loadThroughTsql(target, run, codeFiles), QString());
        const QMap<QString, QString> stored = storedTexts(target);
        QCOMPARE(bodies(stored), bodies(storedTexts(source)));
        QCOMPARE(stored.value("trPlain;1").startsWith("CREATE OR ALTER TRIGGER trPlain"),
                 bool(createOrAlter));
    }

    // ALTER and CREATE OR ALTER replace the header's CREATE, no other, and
    // load on a copy that has the objects. The server keeps an altered
    // module's text with CREATE in place of ALTER.
    void headersEditedInPlace_data() {
        QTest::addColumn<int>("createOrAlter");
        QTest::addColumn<QString>("verb"); // as the target keeps it
        QTest::newRow("ALTER") << 0 << "CREATE";
        QTest::newRow("CREATE OR ALTER") << 1 << "CREATE OR ALTER";
    }

    void headersEditedInPlace() {
        QFETCH(int, createOrAlter);
        QFETCH(QString, verb);
        test::Database source(optionsFor("16.00.1000", trickyHeaders("source")));
        test::Database target(optionsFor("16.00.1000", trickyHeaders("target")));
        test::ScriptRun run(source.server);
        run.settings.chkAlter = Checked;
        run.settings.chkCreateOrAlter = createOrAlter;
        run.tick({"spOldComment", "spNested", "vInline", "spSplit", "fnSplit"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(), QStringList());

        QCOMPARE(loadThroughTsql(target, run, codeFiles), QString());
        const QStringList expected = trickyHeaders("source", verb).split("\nGO\n");
        QStringList stored;
        for (const QString& text : storedTexts(target))
            stored << text.trimmed();
        for (const QString& text : expected)
            if (!text.trimmed().isEmpty())
                QVERIFY2(stored.contains(text.trimmed()), qPrintable(stored.join("\n--\n")));
    }

    // Refused before any file changes on a server without CREATE OR ALTER,
    // unless only tables are ticked.
    void createOrAlterRefusedOnOlderServers_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("failure");
        const QString refused = "CreateScripts: RequireCreateOrAlter: CREATE OR ALTER needs SQL "
                                "Server 2016 SP1 (13.0.4001) or later; this server is version ";
        QTest::newRow("2014") << "12.00.2000"
                              << "spPlain" << refused + "12.00.2000";
        QTest::newRow("2016 before SP1") << "13.00.4000"
                                         << "vPlain" << refused + "13.00.4000";
        QTest::newRow("2014, tables only") << "12.00.2000"
                                           << "T"
                                           << "";
    }

    void createOrAlterRefusedOnOlderServers() {
        QFETCH(QString, version);
        QFETCH(QString, object);
        QFETCH(QString, failure);
        test::StandIn source(optionsFor(version, table + objects("source")));
        test::ScriptRun run(source);
        run.settings.chkCreateOrAlter = Checked;
        for (const QString& file : codeFiles + QStringList{"Tables.sql"})
            run.folder.write(file, "from an earlier run");
        run.tick({object});
        QCOMPARE(run.create().value_or(QString()), failure);
        const bool refused = !failure.isEmpty();
        for (const QString& file : codeFiles + QStringList{"Tables.sql"})
            QCOMPARE(run.folder.bytes(file) == "from an earlier run", refused);
    }

    // A module renamed with sp_rename still names its old self in its text.
    void renamedModuleIsSkipped_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000") << "8.00.2039";
        QTest::newRow("2005") << "9.00.1399";
        QTest::newRow("2022") << "16.00.1000";
    }

    void renamedModuleIsSkipped() {
        QFETCH(QString, version);
        test::StandIn source(optionsFor(version, table + objects("source") + R"(
CREATE PROCEDURE spOld AS select 1
GO
CREATE VIEW [dbo].[v Old] AS select 1 as one
GO
exec sp_rename 'spOld', 'spNew'
GO
exec sp_rename '[dbo].[v Old]', 'vNew'
GO
)"));
        test::ScriptRun run(source);
        run.tick({"spNew", "vNew", "spPlain"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(),
                 (QStringList{"Proc spNew skipped: its stored text names spOld: it was renamed; "
                              "script it from its source",
                              "View vNew skipped: its stored text names [dbo].[v Old]: it was "
                              "renamed; script it from its source"}));
        const QString procs = run.file("Procs.sql");
        QVERIFY(procs.contains("ALTER PROCEDURE spPlain"));
        QVERIFY2(!procs.contains("PROCEDURE spOld"), qPrintable(procs));
        QCOMPARE(run.ticked(), (QStringList{"spNew", "vNew"}));
    }
};

QTEST_GUILESS_MAIN(ModuleScriptsTest)
#include "ModuleScriptsTest.moc"
