// What a merge script needs of the stand-in: temporary tables private to a
// connection, IF and RAISERROR, transactions under XACT_ABORT, and the
// keys of a table in both catalogues. What a consistent read needs: a
// snapshot transaction and table locks among sessions.

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
