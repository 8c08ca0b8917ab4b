// Tables whose rows no order loads (a self-reference with its rows child
// first, the sample's Departments and Employees, which reference each other),
// alone or among the sample's other tables in Key Order.
#include "base/ProcedureError.h"
#include "catalogue/KeyOrder.h"
#include "catalogue/SelectionOrder.h"
#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

// Its rows come ordered by identity: each clerk before the boss above.
const char* const staffTable = R"(
create table dbo.[Staff List] (StaffId int identity(1,1) not null primary key,
    Name nvarchar(20) not null, BossId int null)
GO
alter table dbo.[Staff List] add constraint [FK Staff Boss] foreign key (BossId)
    references dbo.[Staff List] (StaffId)
GO
set identity_insert dbo.[Staff List] on
insert into dbo.[Staff List] (StaffId, Name, BossId) values (5, N'Boss', null)
insert into dbo.[Staff List] (StaffId, Name, BossId) values (3, N'Lead', 5)
insert into dbo.[Staff List] (StaffId, Name, BossId) values (1, N'Clerk', 3)
insert into dbo.[Staff List] (StaffId, Name, BossId) values (2, N'Helper', 1)
set identity_insert dbo.[Staff List] off
GO
create table Important (id int not null)
insert into Important values (1)
create table Tree (Id int not null primary key, Up int null)
insert into Tree values (1, null)
insert into Tree values (2, 1)
GO
)";

// A key named across lines (a GO line would end the batch): it stays on.
void addKeyNamedAcrossLines(test::Database& database) {
    database.execute("alter table Tree add constraint "
                     "[k\r\nGO\r\ndelete from dbo.Important\r\nGO\r\n--] "
                     "foreign key (Up) references Tree (Id)");
}

QStringList everyRow(test::Database& database) {
    return database.rows("select DepartmentId,ManagerId from dbo.Departments order by 1") +
           database.rows("select EmployeeId,DepartmentId from dbo.Employees order by 1") +
           database.rows("select StaffId,Name,BossId from dbo.[Staff List] order by 1") +
           database.rows("select count(*) from dbo.Customers") +
           database.rows("select count(*) from dbo.Orders") +
           database.rows("select count(*) from dbo.[Order Details]") +
           database.rows("select count(*) from dbo.Products");
}

QStringList untrustedKeys(test::Database& database, bool sql2005Plus) {
    return database.rows(sql2005Plus ? "select name from sys.foreign_keys where is_disabled=1 or "
                                       "is_not_trusted=1 order by name"
                                     : "select name from sysobjects where xtype='F' and "
                                       "(objectproperty(id,'CnstIsDisabled')=1 or "
                                       "objectproperty(id,'CnstIsNotTrusted')=1) order by name");
}

// A change that each deferred key refuses once it is on again.
QStringList refusedChanges(test::Database& database) {
    QStringList refused;
    for (const char* change : {"update dbo.Departments set ManagerId = 999",
                               "update dbo.Employees set DepartmentId = 99",
                               "update dbo.[Staff List] set BossId = 77 where StaffId = 2"}) {
        const auto failure = failureOf([&] { database.execute(change); });
        if (failure && failure->description.contains("conflicted with the FOREIGN KEY"))
            refused << change;
    }
    return refused;
}

// Empties the ticked tables, children first: a delete that a key refuses
// is tried again once the others went.
void emptyByHand(test::Database& database, const test::ScriptRun& run) {
    database.execute("update dbo.Departments set ManagerId = null");
    QStringList left;
    for (int i = 0; i < run.toolkit.list.count(); ++i)
        if (run.toolkit.list.isChecked(i) &&
            run.toolkit.list.entry(i).object.kind == ObjectKind::Table)
            left << "dbo.[" + run.toolkit.list.entry(i).object.name + "]";
    for (int pass = 0; pass < 5; ++pass)
        left.removeIf([&](const QString& table) {
            return !failureOf([&] { database.execute("delete from " + table); });
        });
    QCOMPARE(left, QStringList());
}

} // namespace

class DeferredKeysTest : public QObject {
    Q_OBJECT

private slots:
    void loadsWithEveryKeyOnAndTrusted_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<bool>("keyOrder");
        const std::pair<const char*, const char*> generations[] = {{"2000", "8.00.2039"},
                                                                   {"2005", "9.00.1399"}};
        for (const auto& [generation, version] : generations) {
            QTest::addRow("%s, grouped deletes", generation) << QString(version) << true << false;
            QTest::addRow("%s, truncation", generation) << QString(version) << false << false;
            QTest::addRow("%s, all but Important in Key Order", generation)
                << QString(version) << true << true;
        }
    }

    void loadsWithEveryKeyOnAndTrusted() {
        QFETCH(QString, version);
        QFETCH(bool, grouped);
        QFETCH(bool, keyOrder);
        const bool sql2005Plus = version.startsWith('9');
        const test::StandInOptions options{.version = version, .script = staffTable};
        test::Database source(options);
        addKeyNamedAcrossLines(source);
        test::ScriptRun run(source.server);
        run.settings.chkGroup = grouped ? Checked : Unchecked;
        if (keyOrder) {
            SelectAll(run.toolkit, run.runState);
            run.tick({"Important"}, false);
            KeyOrder(run.toolkit, run.runState, run.settings);
            QCOMPARE(run.toolkit.status(),
                     QStringLiteral("Key order: 4 entries moved; keys checked after the load: a "
                                    "cycle among dbo.Departments, dbo.Employees; dbo.Staff List, "
                                    "dbo.Tree reference themselves"));
        } else {
            // Employees first: their departments are not in yet.
            run.tick({"Employees", "Staff List", "Departments", "Tree"});
        }
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QString script = run.file("Tables.sql");

        QCOMPARE(script.count("nocheck constraint"), 3);
        QCOMPARE(script.count(" with check check constraint "), 3);
        QVERIFY(!script.contains("dbo.Important"));
        QVERIFY(script.contains("alter table dbo.[Staff List] nocheck constraint [FK Staff Boss]"));
        const qsizetype firstOff = script.indexOf("nocheck constraint");
        const QRegularExpression emptying("^(delete from|truncate table) ",
                                          QRegularExpression::MultilineOption);
        QVERIFY(firstOff < script.indexOf(emptying));
        QVERIFY(script.lastIndexOf("insert into ") < script.indexOf(" with check check "));
        // The server refuses to truncate a table of a cycle, even with its
        // keys off; a table that references only itself may be truncated.
        QCOMPARE(script.contains("truncate table dbo.[Staff List]"), !grouped);
        QVERIFY(!script.contains("truncate table dbo.Departments"));
        QVERIFY(!script.contains("truncate table dbo.Employees"));

        const QStringList rows = everyRow(source);
        QCOMPARE(rows.size(), 3 + 4 + 4 + 4);
        test::Database empty(options);
        addKeyNamedAcrossLines(empty);
        emptyByHand(empty, run);
        for (test::Database* copy : {&empty, &source}) {
            QCOMPARE(copy->load(script), QStringList());
            QCOMPARE(everyRow(*copy), rows);
            QCOMPARE(untrustedKeys(*copy, sql2005Plus), QStringList());
            QCOMPARE(refusedChanges(*copy).size(), 3);
            QCOMPARE(copy->rows("select count(*) from Important"), QStringList{"1"});
        }
    }

    void aRowThatBreaksItsKeyFailsTheCheck() {
        test::Database source({.script = "alter table dbo.Employees nocheck constraint "
                                         "FK_Employees_Departments\nGO\ninsert into dbo.Employees "
                                         "values (9, N'Ghost', 99)\nGO\n"});
        test::ScriptRun run(source.server);
        run.settings.chkGroup = Checked;
        run.tick({"Departments", "Employees"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));

        const auto rows = [&] {
            return source.rows("select DepartmentId,ManagerId from dbo.Departments order by 1") +
                   source.rows("select EmployeeId,DepartmentId from dbo.Employees order by 1");
        };
        const QStringList before = rows();
        const QString errors = source.load(run.file("Tables.sql")).join('\n');
        QVERIFY2(errors.contains("The ALTER TABLE statement conflicted with the FOREIGN KEY "
                                 "constraint \"FK_Employees_Departments\". The conflict occurred "
                                 "in database \"Northwind\", table \"dbo.Departments\", column "
                                 "'DepartmentId'."),
                 qPrintable(errors));
        // The load is undone whole: the rows, and the key as it was.
        QCOMPARE(rows(), before);
        QCOMPARE(untrustedKeys(source, true), QStringList{"FK_Employees_Departments"});
    }

    // Emptied by a delete, a table of a cycle is still reseeded.
    void aTableOfACycleIsReseeded() {
        const test::StandInOptions options{
            .sample = false,
            .script = "create table A (Id int identity(1,1) not null primary key, BId int null)\n"
                      "create table B (Id int not null primary key, AId int null "
                      "constraint FK_B_A references A (Id))\nGO\n"
                      "alter table A add constraint FK_A_B foreign key (BId) references B (Id)\n"
                      "GO\ninsert into A (BId) values (null)\ninsert into A (BId) values (null)\n"
                      "insert into B values (1, 2)\nupdate A set BId = 1 where Id = 1\nGO\n"};
        test::StandIn source(options);
        test::ScriptRun run(source);
        run.tick({"A", "B"});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));

        test::Database copy(options);
        for (int i = 0; i < 3; ++i)
            copy.execute("insert into A (BId) values (null)");
        copy.execute("delete from A where Id > 2");
        QCOMPARE(copy.load(run.file("Tables.sql")), QStringList());
        QCOMPARE(copy.rows("select ident_current('A')"), QStringList{"2"});
        QCOMPARE(untrustedKeys(copy, true), QStringList());
    }
};

QTEST_GUILESS_MAIN(DeferredKeysTest)
#include "DeferredKeysTest.moc"
