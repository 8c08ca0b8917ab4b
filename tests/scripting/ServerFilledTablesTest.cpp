#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QTest>

using namespace quarvex;

namespace {

// Two system-versioned tables, one with hidden period columns and a named
// history table, one with visible ones and the history the server names.
// Rows were updated and deleted, so both histories hold rows.
const QString versionedScript = R"(create table Prices (id int identity(1,1) not null primary key,
  item nvarchar(20) null, price money null,
  ValidFrom datetime2(7) generated always as row start hidden not null,
  ValidTo datetime2(7) generated always as row end hidden not null,
  period for system_time (ValidFrom, ValidTo))
  with (system_versioning = on (history_table = dbo.PricesHistory))
GO
create table Rates (code char(3) not null primary key, rate decimal(9,4) null,
  SysStart datetime2(2) generated always as row start not null,
  SysEnd datetime2(2) generated always as row end not null,
  period for system_time (SysStart, SysEnd))
  with (system_versioning = on)
GO
insert into Prices (item, price) values (N'tea', 1.5)
insert into Prices (item, price) values (N'O''Neil''s', 2)
insert into Prices (item, price) values (N'gone', 3)
update Prices set price = 2.25 where id = 2
delete from Prices where id = 3
insert into Rates (code, rate) values ('EUR', 1.0850)
insert into Rates (code, rate) values ('GBP', null)
update Rates set rate = 1.27 where code = 'GBP'
GO
)";

// Identity counters the usual reseed pair does not leave where the source
// has them, and one it does.
const QString countersScript = R"(create table Ordinary (id int identity(1,1) not null, v int null)
create table Emptied (id int identity(1,1) not null, v int null)
create table Never (id bigint identity(100,1) not null, v int null)
create table Falling (id int identity(100,-1) not null, v int null)
GO
insert into Ordinary (v) values (1)
insert into Ordinary (v) values (2)
insert into Emptied (v) values (1)
insert into Emptied (v) values (2)
delete from Emptied
insert into Falling (v) values (1)
insert into Falling (v) values (2)
insert into Falling (v) values (3)
GO
)";

const QStringList counterTables{"Prices", "Ordinary", "Emptied", "Never", "Falling"};

// Tables whose rows the server writes or names itself, on 2022.
const QString unfillableScript = "create table Journal (id int not null, note nvarchar(20) null)"
                                 " with (ledger = on (append_only = on))\n"
                                 "create table People (id int not null) as node\n"
                                 "create table Knows (since int null) as edge\nGO\n"
                                 "insert into Journal (id) values (1)\nGO\n";
const QStringList unfillableSkips{
    "Table Journal skipped: is an append-only ledger table, whose rows cannot be deleted",
    "Table People skipped: is a graph node table, whose node ids a script cannot load",
    "Table Knows skipped: is a graph edge table, whose $from_id and $to_id a script cannot load"};

// The rows without their periods, which the load sets anew; values and types.
QStringList versionedRows(test::Database& database) {
    return database.exactRows("select id,item,price from Prices order by id") +
           database.exactRows("select code,rate from Rates order by code");
}

// What the next row inserted into the table gets: the counter's next step
// once a row was inserted, the seed before.
qint64 nextIdentity(test::Database& database, const QString& table) {
    const QStringList counter = database
                                    .rows("select convert(varchar(40),ident_current('" + table +
                                          "')),convert(varchar(40),increment_value),"
                                          "case when last_value is null then 0 else 1 end "
                                          "from sys.identity_columns where object_id=object_id('" +
                                          table + "')")
                                    .value(0)
                                    .split(u'|');
    const qint64 current = counter.value(0).toLongLong();
    return counter.value(2) == "1" ? current + counter.value(1).toLongLong() : current;
}

// What stands between the header and the footer, which carry the time.
QString tableBlocks(const QString& script) {
    const qsizetype start = script.indexOf("set nocount on");
    return script.mid(start, script.lastIndexOf("set nocount off") - start);
}

} // namespace

class ServerFilledTablesTest : public QObject {
    Q_OBJECT

private slots:
    void versionedTablesAndCountersLoadBack_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("unicode");
        QTest::addColumn<int>("group");
        QTest::newRow("2016, ansi, truncation") << "13.00.4001" << 0 << 0;
        QTest::newRow("2016, unicode, grouped deletes") << "13.00.4001" << 1 << 1;
        QTest::newRow("2022, ansi, grouped deletes") << "16.00.4135" << 0 << 1;
        QTest::newRow("2022, unicode, truncation") << "16.00.4135" << 1 << 0;
    }

    void versionedTablesAndCountersLoadBack() {
        QFETCH(QString, version);
        QFETCH(int, unicode);
        QFETCH(int, group);
        const bool v2022 = version.startsWith("16");
        test::Database database(
            {.sample = false,
             .version = version,
             .script = versionedScript + countersScript + (v2022 ? unfillableScript : QString())});
        test::ScriptRun run(database.server);
        run.settings.chkUnicode = unicode;
        run.settings.chkGroup = group;
        const QStringList unfillable =
            v2022 ? QStringList{"Journal", "People", "Knows"} : QStringList{};
        run.tick(QStringList{"Prices", "PricesHistory", "Rates", "Ordinary", "Emptied", "Never",
                             "Falling"} +
                 unfillable);
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(),
                 QStringList{"Table PricesHistory skipped: is the history table of a "
                             "system-versioned table"} +
                     (v2022 ? unfillableSkips : QStringList{}));
        const QString script = run.file("Tables.sql");
        for (const QString& table : unfillable)
            QVERIFY(!script.contains("insert into dbo." + table));
        QVERIFY(!script.contains("truncate table dbo.Prices"));
        QVERIFY(!script.contains("ValidFrom"));
        QVERIFY(!script.contains("SysStart"));
        QCOMPARE(script.contains("Deleting the rows of dbo.Prices: a system-versioned table cannot "
                                 "be truncated"),
                 group == 0);

        const QStringList before = versionedRows(database);
        QCOMPARE(before.size(), 4);
        QMap<QString, qint64> next;
        for (const QString& table : counterTables)
            next[table] = nextIdentity(database, table);
        QCOMPARE(next.value("Emptied"), 3);
        QCOMPARE(next.value("Never"), 100);
        QCOMPARE(next.value("Falling"), 97);

        // Loaded by a login that reads dates day first.
        database.execute("set language british");
        QCOMPARE(database.load(script), QStringList());
        QCOMPARE(versionedRows(database), before);
        for (const QString& table : counterTables) {
            database.execute("insert into " + table +
                             (table == "Prices" ? " (item) values (N'new')" : " (v) values (0)"));
            QCOMPARE(database.rows("select convert(bigint,@@identity)"),
                     QStringList{QString::number(next.value(table))});
        }
    }

    // Ordinary tables script alike with and without the catalogue of 2016.
    void ordinaryTablesScriptAlikeOnEveryVersion() {
        QStringList scripts;
        for (const char* version : {"9.00.1399", "13.00.4001", "16.00.4135"}) {
            test::StandIn server({.sample = false,
                                  .version = version,
                                  .script = "create table Codes (id int identity(1,1) not null, "
                                            "code varchar(5) null, total as id * 2)\nGO\n"
                                            "insert into Codes (code) values ('a')\nGO\n"});
            test::ScriptRun run(server);
            run.settings.chkGroup = Checked;
            run.tick({"Codes"});
            QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
            scripts << tableBlocks(run.file("Tables.sql"));
        }
        QVERIFY(scripts.first().contains("dbcc checkident('dbo.Codes',reseed)"));
        QCOMPARE(scripts[1], scripts[0]);
        QCOMPARE(scripts[2], scripts[0]);
    }
};

QTEST_GUILESS_MAIN(ServerFilledTablesTest)
#include "ServerFilledTablesTest.moc"
