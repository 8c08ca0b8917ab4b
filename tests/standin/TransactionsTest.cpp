// What the scripts need of the stand-in: temporary tables private to a
// connection, IF and RAISERROR, local variables with @@ERROR and @@ROWCOUNT,
// transactions under XACT_ABORT, and the keys of a table in both
// catalogues. What a consistent read needs: a snapshot transaction and table
// locks among sessions.

#include "EngineHarness.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

namespace {

const char* const setup = R"(
create table dbo.P (Id int not null primary key, Name varchar(20) null)
create table dbo.C (Id int not null primary key, PId int null references dbo.P (Id))
create table dbo.U (A int not null, B varchar(5) not null, N int null,
  constraint UQ_U unique (B, A), unique (N))
insert into dbo.P values (1, 'one')
insert into dbo.P values (2, 'two')
insert into dbo.C values (10, 1)
)";

QStringList errorsOf(const QList<Outcome>& outcomes) {
    QStringList errors;
    for (const Outcome& o : outcomes)
        if (o.kind == Outcome::Kind::Message && o.isError)
            errors << QString::number(o.message.number);
    return errors;
}

Session otherSession() {
    Session other;
    other.spid = 52;
    return other;
}

QString firstError(Engine& engine, Session& session, const QString& batch) {
    return errorsOf(executeBatch(engine, session, batch)).value(0);
}

const char* const snapshotBegin = "set transaction isolation level snapshot\nbegin tran\n"
                                  "select count(*) from dbo.P";

} // namespace

class TransactionsTest : public QObject {
    Q_OBJECT

private slots:
    // A temporary table lives in its connection's batches only, and goes
    // with the connection.
    void temporaryTablesArePrivate() {
        EngineHarness db;
        db.run(setup);
        db.run("select Id, Name into #t from dbo.P where 1=0 union all "
               "select Id, Name from dbo.P where Id = 2");
        QCOMPARE(db.lines("select Id, Name from #t"), QStringList{"2 two"});
        QCOMPARE(db.scalar("select case when object_id('tempdb..#t') is null then 0 else 1 end"),
                 QVariant(1));
        QCOMPARE(db.lines("select name from sys.tables order by name"),
                 QStringList({"C", "P", "U"}));

        Session other;
        other.spid = 52;
        const QList<Outcome> elsewhere = executeBatch(db.engine, other, "select * from #t");
        QCOMPARE(errorsOf(elsewhere), QStringList{"208"});
        executeBatch(db.engine, other, "select Id into #t from dbo.P");
        QCOMPARE(db.lines("select count(*) from #t"), QStringList{"1"});

        db.engine.endSession(db.session);
        QCOMPARE(db.error("select * from #t").number, 208);
    }

    void conditionsGuardStatementsAndBlocks_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("true guards one statement")
            << "if 1=1 update dbo.P set Name='x' where Id=1 update dbo.P set Name='y' where Id=2"
            << QStringList{"x", "y"};
        QTest::newRow("false skips one statement")
            << "if 1=0 update dbo.P set Name='x' where Id=1 update dbo.P set Name='y' where Id=2"
            << QStringList{"one", "y"};
        QTest::newRow("false skips a block")
            << "if exists (select * from dbo.P where Id=9)\nbegin\nupdate dbo.P set Name='x' "
               "where Id=1\nupdate dbo.P set Name='x' where Id=2\nend\nupdate dbo.P set "
               "Name='z' where Id=2"
            << QStringList{"one", "z"};
        QTest::newRow("return ends the batch")
            << "if (select count(*) from dbo.P)=2\nbegin\nraiserror(N'stop at 100%%',16,1)\n"
               "return\nend\nupdate dbo.P set Name='x'"
            << QStringList{"one", "two"};
    }

    void conditionsGuardStatementsAndBlocks() {
        QFETCH(QString, batch);
        QFETCH(QStringList, names);
        EngineHarness db;
        db.run(setup);
        db.run(batch);
        QCOMPARE(db.lines("select Name from dbo.P order by Id"), names);
    }

    void raiserrorReportsWithoutEndingTheBatch() {
        EngineHarness db;
        db.run(setup);
        const SqlError error =
            db.error("raiserror(N'dbo.P: 100%% wrong',16,1)\nupdate dbo.P set Name='x'");
        QCOMPARE(error.number, 50000);
        QCOMPARE(error.message, QStringLiteral("dbo.P: 100% wrong"));
        QCOMPARE(db.lines("select Name from dbo.P order by Id"), QStringList({"x", "x"}));
    }

    // Each row: a script and the messages it prints (errors as "Msg n: ...").
    void localVariables_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("messages");
        const auto row = [](const char* name, const char* script, const QStringList& messages) {
            QTest::newRow(name) << script << messages;
        };
        row("null until set, then typed by its declaration",
            "declare @n int, @m nvarchar(4000), @big bigint\n"
            "print isnull(convert(nvarchar(12), @n), N'null')\n"
            "set @big = 5000000000 set @n = 2\nset @n = @n + 1\n"
            "print convert(nvarchar(20), @big + @n)",
            {"null", "5000000003"});
        row("set from a subquery",
            "declare @m nvarchar(4000)\nset @m = N'dbo.P: ' + convert(nvarchar(12), "
            "(select count(*) from dbo.P where Id > 1))\nprint @m",
            {"dbo.P: 1"});
        row("a string too long for the variable is cut",
            "declare @s nvarchar(3)\nset @s = N'abcdef'\nprint @s", {"abc"});
        row("select keeps the last row and no row keeps the value",
            "declare @n int\nset @n = 7\nselect @n = Id from dbo.P where Id > 100\nprint @n\n"
            "select @n = Id from dbo.P order by Id\nprint @n",
            {"7", "2"});
        row("select top 1 with a correlated exists",
            "declare @m nvarchar(4000), @n int\n"
            "select @n = count(*) from dbo.C c where exists (select * from dbo.P p where "
            "p.Id = c.PId) and not (c.Id = 11)\n"
            "select top 1 @m = N'Id=' + isnull(convert(nvarchar(4000), t.Id), N'null') "
            "from dbo.P t where t.Id > 1\nprint convert(nvarchar(12), @n) + N' ' + @m",
            {"1 Id=2"});
        row("@@error and @@rowcount read together from the statement before",
            "declare @e int, @d int\ninsert into dbo.P (Name) values ('x')\n"
            "select @e = @@error, @d = @@rowcount\nprint convert(nvarchar(12), @e) + N' ' + "
            "convert(nvarchar(12), @d)\ndelete from dbo.P where Id = 2\n"
            "select @e = @@error, @d = @@rowcount\nprint convert(nvarchar(12), @e) + N' ' + "
            "convert(nvarchar(12), @d)",
            {"Msg 515: Cannot insert the value NULL into column 'Id', table "
             "'Northwind.dbo.P'; column does not allow nulls. INSERT fails.",
             "515 0", "0 1"});
        row("what each statement leaves in @@rowcount",
            "declare @n int\nupdate dbo.P set Name = Name\ndeclare @x int\nprint @@rowcount\n"
            "print @@rowcount\nset @n = 5\nprint @@rowcount\nselect @n = Id from dbo.P\n"
            "print @@rowcount\nif @@rowcount = 0 print @@rowcount",
            {"2", "0", "1", "2", "0"});
        row("raiserror of a variable's text sets @@error and return ends the batch",
            "declare @n int, @m nvarchar(4000)\nselect @n = count(*) from dbo.P\n"
            "set @m = N'dbo.P: ' + convert(nvarchar(12), @n) + N' rows, 100%% wrong'\n"
            "if @n > 0 begin raiserror(@m, 16, 1) print @@error return end\nprint N'not here'",
            {"Msg 50000: dbo.P: 2 rows, 100% wrong", "50000"});
        row("a variable in a statement that changes rows",
            "declare @k int\nset @k = 1\ndelete from dbo.C where PId = @k\nprint @@rowcount",
            {"1"});
        row("declared in a block that does not run",
            "if 1 = 0 begin declare @x int end\nset @x = 3\nprint @x", {"3"});
        row("used before its declaration, nothing runs", "print N'ran'\nset @x = 1\ndeclare @x int",
            {"Msg 137: Must declare the scalar variable \"@x\"."});
        row("declared twice, nothing runs", "declare @x int\nprint N'ran'\ndeclare @X int",
            {"Msg 134: The variable name '@X' has already been declared. Variable names must "
             "be unique within a query batch or stored procedure."});
        row("gone with its batch", "declare @x int\nset @x = 1\ngo\nprint @x",
            {"Msg 137: Must declare the scalar variable \"@x\"."});
        row("assigning and returning rows in one select", "declare @x int\nselect @x = 1, 2",
            {"Msg 141: A SELECT statement that assigns a value to a variable must not be "
             "combined with data-retrieval operations."});
        row("a value in the declaration only from 2008", "declare @x int = 1",
            {"Msg 139: Cannot assign a default value to a local variable."});
    }

    void localVariables() {
        QFETCH(QString, script);
        QFETCH(QStringList, messages);
        EngineHarness db;
        db.run(setup);
        QCOMPARE(db.messages(script), messages);
    }

    // A column missing from a table that exists fails the whole batch before
    // any of it runs; one of a table the batch makes fails when it runs.
    void unknownColumns_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("names");
        QTest::newRow("in an insert's column list")
            << "begin tran\nupdate dbo.P set Name = 'x'\ninsert into dbo.P (Id, Missing) "
               "values (3, 3)\ncommit tran"
            << "one two";
        QTest::newRow("in a where clause, after a block that would end the batch")
            << "update dbo.P set Name = 'x'\nif 1 = 1 return\n"
               "delete from dbo.P where Missing = 1"
            << "one two";
        QTest::newRow("of a table the batch makes itself")
            << "update dbo.P set Name = 'x'\nselect Id into #n from dbo.P\nselect Missing from #n"
            << "x x";
    }

    void unknownColumns() {
        QFETCH(QString, batch);
        QFETCH(QString, names);
        EngineHarness db;
        db.run(setup);
        QCOMPARE(db.messages(batch), QStringList{"Msg 207: Invalid column name 'Missing'."});
        QCOMPARE(db.lines("select Name from dbo.P order by Id").join(' '), names);
        QCOMPARE(db.scalar("select @@trancount"), QVariant(0));
    }

    // Under XACT_ABORT an error undoes the transaction and ends the batch;
    // the next batch runs outside any transaction. Without it, a failed
    // statement leaves the others of the transaction standing.
    void transactions_data() {
        QTest::addColumn<bool>("xactAbort");
        QTest::newRow("xact_abort on") << true;
        QTest::newRow("xact_abort off") << false;
    }

    void transactions() {
        QFETCH(bool, xactAbort);
        EngineHarness db;
        db.run(setup);
        db.run(QString("set xact_abort %1").arg(xactAbort ? "on" : "off"));
        const QList<Outcome> outcomes =
            db.run("begin tran\nupdate dbo.P set Name='x' where Id=1\n"
                   "delete from dbo.P where Id=1\nupdate dbo.P set Name='y' where Id=2");
        QCOMPARE(errorsOf(outcomes), QStringList{"547"});
        QCOMPARE(db.scalar("select @@trancount"), QVariant(xactAbort ? 0 : 1));
        if (!xactAbort) {
            QCOMPARE(db.lines("select Name from dbo.P order by Id"), QStringList({"x", "y"}));
            db.run("rollback tran");
        }
        db.run("update dbo.P set Name='x' where Id=1");
        QCOMPARE(db.lines("select Name from dbo.P order by Id"), QStringList({"x", "two"}));
        QCOMPARE(db.error("commit tran").number, 3902);
        QCOMPARE(db.scalar("select @@trancount"), QVariant(0));
    }

    // TRUNCATE TABLE and DBCC CHECKIDENT are undone with their transaction,
    // the identity counter too; the inserts in between give none back.
    void identityResetsRollBack_data() {
        QTest::addColumn<QString>("reset");
        QTest::newRow("truncate") << "truncate table dbo.I";
        QTest::newRow("reseed") << "dbcc checkident('dbo.I', reseed, 100) with no_infomsgs";
    }

    void identityResetsRollBack() {
        QFETCH(QString, reset);
        EngineHarness db;
        db.run("create table dbo.I (Id int identity(1,1) not null, N int null)\n"
               "insert into dbo.I (N) values (1), (2)");
        QCOMPARE(db.messages("begin tran\n" + reset +
                             "\ninsert into dbo.I (N) values (3)\nrollback tran\n"
                             "insert into dbo.I (N) values (4)"),
                 QStringList{});
        QCOMPARE(db.lines("select Id, N from dbo.I order by Id"),
                 QStringList({"1 1", "2 2", "3 4"}));
    }

    // A snapshot transaction reads the database as its first read found it,
    // whatever other sessions commit meanwhile; its end shows them.
    void snapshotReadsOneMoment() {
        EngineHarness db;
        db.run(setup);
        QCOMPARE(db.scalar("select snapshot_isolation_state from sys.databases where "
                           "name=db_name()"),
                 QVariant(0));
        db.run("alter database Northwind set allow_snapshot_isolation on");
        QCOMPARE(db.scalar("select snapshot_isolation_state from sys.databases where "
                           "name=db_name()"),
                 QVariant(1));
        QCOMPARE(db.scalar(snapshotBegin), QVariant(2));
        Session other = otherSession();
        executeBatch(db.engine, other,
                     "begin tran insert into dbo.P values (3, 'three') insert into dbo.C values "
                     "(11, 3) commit delete from dbo.C where Id = 10");
        QCOMPARE(db.lines("select Id from dbo.C"), QStringList{"10"});
        QCOMPARE(db.lines("select Id from dbo.P order by Id"), QStringList({"1", "2"}));
        db.run("commit");
        QCOMPARE(db.lines("select Id from dbo.C"), QStringList{"11"});
    }

    // No snapshot where the database does not allow it, and none that reads
    // a table altered since it began: the transaction ends with it.
    void snapshotRefusals_data() {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("alteration");
        QTest::addColumn<QString>("error");
        QTest::newRow("option off") << false << QString() << "3952";
        QTest::newRow("table altered") << true << "alter table dbo.C nocheck constraint all"
                                       << "3961";
        QTest::newRow("other table altered")
            << true << "alter table dbo.U nocheck constraint all" << QString();
    }

    void snapshotRefusals() {
        QFETCH(bool, allowed);
        QFETCH(QString, alteration);
        QFETCH(QString, error);
        EngineHarness db;
        db.run(setup);
        if (allowed)
            db.run("alter database Northwind set allow_snapshot_isolation on");
        const QString begun = errorsOf(db.run(snapshotBegin)).value(0);
        Session other = otherSession();
        if (!alteration.isEmpty())
            executeBatch(db.engine, other, alteration);
        const QString read = firstError(db.engine, db.session, "select count(*) from dbo.C");
        QCOMPARE(allowed ? read : begun, error);
        if (allowed)
            QCOMPARE(db.scalar("select @@trancount"), QVariant(error.isEmpty() ? 1 : 0));
    }

    // TABLOCK and HOLDLOCK hold a shared lock to the transaction's end:
    // writers wait, readers do not. A writer's open transaction makes such
    // a reader wait in turn. A wait past the time-out fails with 1222.
    void tableLocks_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QString>("free");
        QTest::newRow("reader holds")
            << "begin tran select count(*) from dbo.P with (tablock, holdlock)"
            << "update dbo.P set Name = 'x'"
            << "select count(*) from dbo.P with (tablock)";
        QTest::newRow("writer holds") << "begin tran delete from dbo.C"
                                      << "select count(*) from dbo.C with (holdlock)"
                                      << "insert into dbo.P values (5, 'five')";
        QTest::newRow("lock ends with the transaction")
            << "begin tran select count(*) from dbo.P with (tablock, holdlock) commit" << QString()
            << "update dbo.P set Name = 'x'";
    }

    void tableLocks() {
        QFETCH(QString, holder);
        QFETCH(QString, blocked);
        QFETCH(QString, free);
        EngineHarness db;
        db.run(setup);
        db.run(holder);
        Session other = otherSession();
        executeBatch(db.engine, other, "set lock_timeout 0");
        if (!blocked.isEmpty())
            QCOMPARE(firstError(db.engine, other, blocked), QString("1222"));
        QCOMPARE(firstError(db.engine, other, free), QString());
        db.run("rollback");
        if (!blocked.isEmpty())
            QCOMPARE(firstError(db.engine, other, blocked), QString());
    }

    // UPDATE ... FROM a join and DELETE alias FROM, as a merge writes them.
    void joinedUpdateAndAliasedDelete() {
        EngineHarness db;
        db.run(setup);
        db.run("select Id, Name into #s from dbo.P where 1=0 union all "
               "select Id, Name from dbo.P where 1=0");
        db.run("insert into #s values (1, 'ONE')\ninsert into #s values (3, 'three')");
        db.run("update t set Name=s.Name from dbo.P t join #s s on t.Id=s.Id "
               "where convert(varbinary(8000),t.Name)<>convert(varbinary(8000),s.Name)");
        db.run("delete t from dbo.C t where not exists (select * from #s s where s.Id=t.PId) "
               "and t.Id > 100");
        db.run("delete t from dbo.P t where not exists (select * from #s s where s.Id=t.Id)");
        QCOMPARE(db.lines("select Id, Name from dbo.P order by Id"), QStringList{"1 ONE"});
    }

    void keysInBothCatalogues_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("query");
        QTest::newRow("2000") << "8.00.2039"
                              << "select object_name(i.id), i.indid, i.status&2050, c.name "
                                 "from sysindexes i join sysindexkeys k on k.id=i.id and "
                                 "k.indid=i.indid join syscolumns c on c.id=k.id and "
                                 "c.colid=k.colid order by 1,2,k.keyno";
        QTest::newRow("2005") << "9.00.1399"
                              << "select object_name(i.object_id), i.index_id, "
                                 "i.is_primary_key*2048+i.is_unique*2, c.name from sys.indexes "
                                 "i join sys.index_columns k on k.object_id=i.object_id and "
                                 "k.index_id=i.index_id join sys.columns c on c.object_id="
                                 "k.object_id and c.column_id=k.column_id order by 1,2,"
                                 "k.key_ordinal";
    }

    void keysInBothCatalogues() {
        QFETCH(QString, version);
        QFETCH(QString, query);
        EngineHarness db(version);
        db.run(setup);
        QCOMPARE(db.lines(query),
                 QStringList({"C 1 2050 Id", "P 1 2050 Id", "U 2 2 B", "U 2 2 A", "U 3 2 N"}));
    }
};

QTEST_GUILESS_MAIN(TransactionsTest)
#include "TransactionsTest.moc"
