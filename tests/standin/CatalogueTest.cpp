// The catalogue of each server generation, in the shapes the program's
// queries rely on, and the sample database that every generation loads.

#include "EngineHarness.h"
#include "standin/engine/SampleDatabase.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void sampleLoads_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("newTypeTables"); // in the types of 2008, from 2008 on
        QTest::newRow("2000") << "8.00.2039" << 0;
        QTest::newRow("2005") << "9.00.1399" << 0;
        QTest::newRow("2008") << "10.00.1600" << 2;
    }

    void sampleLoads() {
        QFETCH(QString, version);
        QFETCH(int, newTypeTables);
        EngineHarness h(version);
        QCOMPARE(runScript(h.engine, h.session, sampleDatabaseScript(h.engine.majorVersion())),
                 QString());
        QCOMPARE(h.scalar("select count(*) from dbo.StockMovements"), QVariant(qint64(300)));
        QCOMPARE(
            h.scalar("select count(*) from sysobjects where name in ('Shipments', 'Warehouses')"),
            QVariant(qint64(newTypeTables)));
    }

    // What would let a fault of the program pass unseen if the stand-in made it
    // simpler than SQL Server does.
    void shapes_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("batches");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("rows");
        const QString table = QStringLiteral("create table dbo.U1 (a int null)");
        QTest::newRow("type codes padded like char(2)")
            << "9.00.1399" << QStringList{table} << "select type from sys.objects where name = 'U1'"
            << "U ";
        QTest::newRow("xtype padded too")
            << "8.00.2039" << QStringList{table} << "select xtype from sysobjects where name = 'U1'"
            << "U ";
        QTest::newRow("text in pieces of 4000 characters before 2005")
            << "8.00.2039"
            << QStringList{"create procedure dbo.spLong as select '" + QString(9000, u'x') + "'"}
            << "select colid, len(text) from syscomments where id = object_id('dbo.spLong') "
               "order by colid"
            << "1 4000|2 4000|3 1040";
        QTest::newRow("numbered procedures apart from number 1 from 2005 on")
            << "9.00.1399"
            << QStringList{"create procedure dbo.g;1 as select 1",
                           "create procedure dbo.g;2 as select 2"}
            << "select (select count(*) from sys.sql_modules where object_id = "
               "object_id('dbo.g')), "
               "(select count(*) from sys.numbered_procedures where object_id = object_id('dbo.g'))"
            << "1 1";
        // sp_rename changes the catalogue's name and leaves the stored text.
        const QStringList renamed{"create procedure dbo.spOld as select 1",
                                  "exec sp_rename 'dbo.spOld', 'spNew'"};
        QTest::newRow("renamed, text kept, 2000")
            << "8.00.2039" << renamed
            << "select o.name, c.text from sysobjects o join syscomments c on c.id = o.id "
               "where o.name like 'sp%'"
            << "spNew create procedure dbo.spOld as select 1";
        QTest::newRow("renamed, text kept, by parameter name, 2005")
            << "9.00.1399"
            << QStringList{renamed[0],
                           "sp_rename @objname = N'[dbo].[spOld]', @newname = N'spNew', "
                           "@objtype = 'OBJECT'"}
            << "select o.name, m.definition from sys.objects o join sys.sql_modules m on "
               "m.object_id = o.object_id"
            << "spNew create procedure dbo.spOld as select 1";
        // CREATE OR ALTER makes or changes the object and is stored as written.
        QTest::newRow("CREATE OR ALTER twice, 2016 SP1")
            << "13.00.4001"
            << QStringList{"create or alter procedure dbo.p as select 1",
                           "CREATE OR ALTER PROCEDURE dbo.p AS select 2"}
            << "select count(*), max(definition) from sys.sql_modules"
            << "1 CREATE OR ALTER PROCEDURE dbo.p AS select 2";
        QTest::newRow("CREATE OR ALTER of a second number, 2022")
            << "16.00.1000"
            << QStringList{"create procedure dbo.g;1 as select 1",
                           "create or alter procedure dbo.g;2 as select 2",
                           "create or alter procedure dbo.g;2 as select 3"}
            << "select procedure_number, definition from sys.numbered_procedures"
            << "2 create or alter procedure dbo.g;2 as select 3";
    }

    void shapes() {
        QFETCH(QString, version);
        QFETCH(QStringList, batches);
        QFETCH(QString, query);
        QFETCH(QString, rows);
        EngineHarness h(version);
        for (const QString& batch : batches)
            QCOMPARE(h.error(batch).message, QString());
        QCOMPARE(h.lines(query).join(u'|'), rows);
    }

    void generations_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("number");
        QTest::newRow("catalogue views absent before 2005")
            << "8.00.2039"
            << "select name from sys.objects" << 208;
        QTest::newRow("date column before 2008") << "9.00.1399"
                                                 << "create table dbo.N (D date null)" << 2715;
        QTest::newRow("cast to hierarchyid before 2008")
            << "9.00.1399"
            << "select cast(0x58 as hierarchyid)" << 243;
        QTest::newRow("every type of 2008 from 2008 on")
            << "10.00.1600"
            << "create table dbo.N (D date null, T time(0) null, A datetime2 null, O "
               "datetimeoffset(3) null, H hierarchyid null, G geography null, M geometry null)"
            << 0;
        QTest::newRow("time scale 8") << "16.00.1000"
                                      << "create table dbo.N (T time(8) null)" << 2715;
        QTest::newRow("memory-optimized table truncated, 2014")
            << "12.00.2000"
            << "create table dbo.N (Id int not null primary key nonclustered) with "
               "(memory_optimized = on, durability = schema_and_data)\ntruncate table dbo.N"
            << 10794;
        const QString computedKey = "create table dbo.N (a int not null, k as (a*10) primary key)";
        QTest::newRow("computed key not persisted from 2005 on")
            << "9.00.1399" << computedKey << 1711;
        QTest::newRow("computed key in 2000, which has no PERSISTED")
            << "8.00.2039" << computedKey << 0;
        const QString unique = "create table dbo.U (Id int not null primary key, Code varchar(5)%1 "
                               "null unique)\ninsert into dbo.U values (1, 'ab')\n";
        QTest::newRow("unique value again")
            << "8.00.2039" << unique.arg("") + "insert into dbo.U values (2, 'ab')" << 2627;
        QTest::newRow("unique value again but for case")
            << "9.00.1399" << unique.arg("") + "insert into dbo.U values (2, 'AB ')" << 2627;
        QTest::newRow("a case-sensitive unique column tells case apart")
            << "9.00.1399"
            << unique.arg(" collate Latin1_General_CS_AS") + "insert into dbo.U values (2, 'AB')"
            << 0;
    }

    void generations() {
        QFETCH(QString, version);
        QFETCH(QString, batch);
        QFETCH(int, number);
        EngineHarness h(version);
        QCOMPARE(h.error(batch).number, number);
    }

    // What SQL Server 2016 refuses around a system-versioned table and its
    // history while versioning is on.
    void versionedTableRefusals_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("error");
        QTest::newRow("period column inserted")
            << "insert into Prices (item, ValidFrom) values ('x', '2001-01-01')" << 13536;
        QTest::newRow("period column updated") << "update Prices set ValidTo = null" << 13537;
        QTest::newRow("versioned table truncated") << "truncate table Prices" << 13545;
        QTest::newRow("history truncated") << "truncate table PricesHistory" << 13545;
        QTest::newRow("history inserted into")
            << "insert into PricesHistory (id) values (9)" << 13559;
        QTest::newRow("history deleted from") << "delete from PricesHistory" << 13560;
        QTest::newRow("history updated") << "update PricesHistory set price = 0" << 13561;
        QTest::newRow("rows deleted") << "delete from Prices" << 0;
    }

    void versionedTableRefusals() {
        QFETCH(QString, statement);
        QFETCH(int, error);
        EngineHarness db("13.00.4001");
        db.run(versionedTable);
        QCOMPARE(db.error(statement).number, error);
    }

    // Updates and deletes leave the old version in the history with its
    // period closed; the current rows stay open to the end of time; hidden
    // columns are left out of an insert without a column list.
    void historyKeepsOldVersions() {
        EngineHarness db("13.00.4001");
        db.run(versionedTable);
        QCOMPARE(db.error("insert into Prices values (N'milk', 0.5)").number, 0);
        db.run("update Prices set price = 2 where id = 1\ndelete from Prices where id = 2");
        QCOMPARE(db.lines("select id, item, price, convert(varchar(30), ValidTo, 121) "
                          "from Prices order by id"),
                 QStringList({"1 tea 2 9999-12-31 23:59:59.9999999",
                              "3 milk 0.5 9999-12-31 23:59:59.9999999"}));
        QCOMPARE(db.lines("select id, price, case when ValidTo < '9999-01-01' and "
                          "ValidFrom <= ValidTo then 'closed' else 'open' end "
                          "from PricesHistory order by id"),
                 QStringList({"1 1.5 closed", "2 3 closed"}));
        QCOMPARE(db.lines("select c.name, c.generated_always_type, c.is_hidden, t.temporal_type "
                          "from sys.columns c join sys.tables t on t.object_id = c.object_id "
                          "where t.name = 'Prices' and c.generated_always_type <> 0"),
                 QStringList({"ValidFrom 1 1 2", "ValidTo 2 1 2"}));
        QCOMPARE(db.scalar("select temporal_type from sys.tables where object_id = "
                           "object_id('PricesHistory')"),
                 QVariant(1));
    }

    // Before 2016 the catalogue has none of the columns of temporal tables.
    void generatedColumnsOnlyFrom2016() {
        EngineHarness db("12.00.2000");
        QCOMPARE(db.error("select generated_always_type from sys.columns").number, 207);
        QCOMPARE(db.error("select temporal_type from sys.tables").number, 207);
    }

    // DBCC CHECKIDENT RESEED, n: the next row gets n itself while the table
    // had no row since it was created or truncated, n + increment once it
    // had one, even if all were deleted.
    void reseedTakesEffectAsDocumented_data() {
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("lastValue");
        QTest::newRow("never had a row") << ""
                                         << "10"
                                         << "";
        QTest::newRow("emptied by delete")
            << "insert into Counted (v) values (1)\ndelete from Counted"
            << "15"
            << "1";
        QTest::newRow("truncated") << "insert into Counted (v) values (1)\ntruncate table Counted"
                                   << "10"
                                   << "";
    }

    void reseedTakesEffectAsDocumented() {
        QFETCH(QString, history);
        QFETCH(QString, next);
        QFETCH(QString, lastValue);
        EngineHarness db;
        db.run("create table Counted (id int identity(1,5) not null, v int null)");
        if (!history.isEmpty())
            db.run(history);
        QCOMPARE(db.lines("select convert(varchar(10), last_value) from sys.identity_columns "
                          "where object_id = object_id('Counted')"),
                 QStringList{lastValue});
        db.run("dbcc checkident('Counted', reseed, 10) with no_infomsgs\n"
               "insert into Counted (v) values (2)");
        QCOMPARE(db.lines("select convert(varchar(10), max(id)), ident_seed('Counted'), "
                          "ident_incr('Counted'), ident_current('Counted') from Counted"),
                 QStringList{next + " 1 5 " + next});
    }

private:
    const QString versionedTable =
        "create table Prices (id int identity(1,1) not null primary key, item nvarchar(20) null,\n"
        "  price money null,\n"
        "  ValidFrom datetime2(7) generated always as row start hidden not null,\n"
        "  ValidTo datetime2(7) generated always as row end hidden not null,\n"
        "  period for system_time (ValidFrom, ValidTo))\n"
        "  with (system_versioning = on (history_table = dbo.PricesHistory))\n"
        "insert into Prices (item, price) values (N'tea', 1.5)\n"
        "insert into Prices (item, price) values (N'bread', 3)\n";
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "CatalogueTest.moc"
