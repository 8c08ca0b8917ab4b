// Procedure, trigger, view and function scripts against the stand-in, loaded
// the way a user loads them: through FreeTDS's tsql into another server.

#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "support/ScriptRun.h"
#include "support/StandIn.h"
#include "support/Tsql.h"

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

std::unique_ptr<test::StandIn> server(const QString& version, const QString& script) {
    return std::make_unique<test::StandIn>(
        test::StandInOptions{.sample = false, .version = version, .script = script});
}

// Every stored text by object name and number ("spGroup;2"), from the
// catalogue every generation has.
QMap<QString, QString> storedTexts(const test::StandIn& server) {
    OdbcConnection connection;
    connection.open({server.serverText(), "Northwind", "sa", "pw"});
    QMap<QString, QString> texts;
    RecordSet records(connection,
                      "select o.name, c.number, c.text from syscomments c join sysobjects o on "
                      "o.id = c.id order by o.name, c.number, c.colid");
    for (; !records.atEnd(); records.moveNext())
        texts[records.value(0).toString() + ';' + records.value(1).toString()] +=
            records.value(2).toString();
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
QString loadThroughTsql(const test::StandIn& target, const test::ScriptRun& run,
                        const QStringList& files) {
    QString failures;
    for (const QString& file : files) {
        const QString output = test::runThroughTsql(target, run.folder.path(file));
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
    // A numbered group loads as it is in the source, whether its numbers
    // come from syscomments or from sys.numbered_procedures.
    void numberedGroupLoadsThroughTsql_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("alter");
        QTest::addColumn<bool>("targetHasThem");
        QTest::newRow("2000, CREATE into an empty database") << "8.00.2039" << 0 << false;
        QTest::newRow("2000, ALTER of an older group") << "8.00.2039" << 1 << true;
        QTest::newRow("2005, ALTER of an older group") << "9.00.1399" << 1 << true;
        QTest::newRow("2022, ALTER of an older group") << "16.00.1000" << 1 << true;
    }

    void numberedGroupLoadsThroughTsql() {
        QFETCH(QString, version);
        QFETCH(int, alter);
        QFETCH(bool, targetHasThem);
        const auto source = server(version, table + objects("source"));
        const auto target = server(version, table + (targetHasThem ? objects("target") : ""));
        test::ScriptRun run(*source);
        run.settings.chkAlter = alter;
        run.tick({"spGroup", "spPlain"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(), QStringList());

        QCOMPARE(loadThroughTsql(*target, run, {"Procs.sql"}), QString());
        const QMap<QString, QString> loaded = bodies(storedTexts(*target));
        const QMap<QString, QString> wanted = bodies(storedTexts(*source));
        for (const char* key : {"spGroup;1", "spGroup;2", "spGroup;3", "spPlain;1"})
            QCOMPARE(loaded.value(key), wanted.value(key));
    }

    // CREATE OR ALTER loads whether or not the objects are there, and wins
    // over ALTER.
    void createOrAlterLoadsEitherWay_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("targetHasThem");
        QTest::newRow("2016 SP1, none there") << "13.00.4001" << false;
        QTest::newRow("2022, all there") << "16.00.1000" << true;
    }

    void createOrAlterLoadsEitherWay() {
        QFETCH(QString, version);
        QFETCH(bool, targetHasThem);
        const auto source = server(version, table + objects("source"));
        const auto target = server(version, table + (targetHasThem ? objects("target") : ""));
        test::ScriptRun run(*source);
        run.settings.chkAlter = Checked;
        run.settings.chkCreateOrAlter = Checked;
        run.tick({"spGroup", "spPlain", "vPlain", "trPlain", "fnPlain"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QVERIFY(run.file("Views.sql").contains("print 'Creating or altering vPlain...'"));

        QCOMPARE(loadThroughTsql(*target, run, codeFiles), QString());
        const QMap<QString, QString> stored = storedTexts(*target);
        QCOMPARE(bodies(stored), bodies(storedTexts(*source)));
        QVERIFY(stored.value("trPlain;1").startsWith("CREATE OR ALTER TRIGGER trPlain"));
    }

    // Refused before any file changes on a server without CREATE OR ALTER,
    // unless only tables are ticked.
    void createOrAlterRefusedOnOlderServers_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("failure");
        const QString refused = "CreateScripts: RequireCreateOrAlter: CREATE OR ALTER needs SQL "
                                "Server 2016 SP1 (13.0.4001) or later; this server is version ";
        QTest::newRow("2014") << "12.00.2000" << "spPlain" << refused + "12.00.2000";
        QTest::newRow("2016 before SP1") << "13.00.4000" << "vPlain" << refused + "13.00.4000";
        QTest::newRow("2014, tables only") << "12.00.2000" << "T" << "";
    }

    void createOrAlterRefusedOnOlderServers() {
        QFETCH(QString, version);
        QFETCH(QString, object);
        QFETCH(QString, failure);
        const auto source = server(version, table + objects("source"));
        test::ScriptRun run(*source);
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
        const auto source = server(version, table + objects("source") + R"(
CREATE PROCEDURE spOld AS select 1
GO
CREATE VIEW [dbo].[v Old] AS select 1 as one
GO
exec sp_rename 'spOld', 'spNew'
GO
exec sp_rename '[dbo].[v Old]', 'vNew'
GO
)");
        test::ScriptRun run(*source);
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
