// Key Order against the stand-in in both catalogue generations, and the
// sample database's scripts loaded back with every foreign key enforced.
#include "catalogue/KeyOrder.h"
#include "catalogue/SelectionOrder.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "support/ScriptRun.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

const char* const chain = R"(create table A (id int not null primary key)
GO
create table B (id int not null primary key, a int null references A (id))
GO
create table C (id int not null primary key, b int null references B (id))
GO
)";

const char* const diamond = R"(create table A (id int not null primary key)
GO
create table B (id int not null primary key, a int null references A (id))
GO
create table C (id int not null primary key, a int null references A (id))
GO
create table D (id int not null primary key, b int null references B (id),
    c int null references C (id))
GO
)";

const char* const twoChains = R"(create table Z (id int not null primary key)
GO
create table X1 (id int not null primary key)
GO
create table X2 (id int not null primary key, x int null references X1 (id))
GO
create table Y1 (id int not null primary key)
GO
create table Y2 (id int not null primary key, y int null references Y1 (id))
GO
)";

const char* const selfReference = R"(create table S (id int not null primary key,
    lead int null references S (id))
GO
create table P (id int not null primary key)
GO
create table C (id int not null primary key, p int null references P (id))
GO
)";

const char* const twoCycle = R"(create table A (id int not null primary key, b int null)
GO
create table B (id int not null primary key, a int null references A (id))
GO
alter table A add constraint FK_A_B foreign key (b) references B (id)
GO
)";

const char* const threeCycle = R"(create table A (id int not null primary key, c int null)
GO
create table B (id int not null primary key, a int null references A (id))
GO
create table C (id int not null primary key, b int null references B (id))
GO
alter table A add constraint FK_A_C foreign key (c) references C (id)
GO
)";

const char* const otherOwner = R"(create schema sales
GO
create table dbo.Customers (id int not null primary key)
GO
create table dbo.Orders (id int not null primary key)
GO
create table sales.Orders (id int not null primary key,
    customer int null references dbo.Customers (id))
GO
)";

// The list's ticked entries as "owner.name", top down.
QStringList tickedTables(const ObjectList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        if (list.isChecked(i))
            names << list.entry(i).object.owner + "." + list.entry(i).object.name;
    return names;
}

void tick(ObjectList& list, const QStringList& ownerAndNames, bool checked = true) {
    for (const QString& wanted : ownerAndNames)
        for (int i = 0; i < list.count(); ++i)
            if (list.entry(i).object.owner + "." + list.entry(i).object.name == wanted) {
                list.setChecked(i, checked);
                break;
            }
}

// Runs a script batch by batch at its lines reading GO, as a line-based tool
// does.
void runBatches(OdbcConnection& connection, const QString& script) {
    static const QRegularExpression batchEnd(QStringLiteral("\r\nGO\r\n"));
    for (const QString& batch : script.split(batchEnd))
        if (!batch.trimmed().isEmpty())
            connection.execute(batch);
}

qint64 rowCount(OdbcConnection& connection, const QString& table) {
    RecordSet records(connection, "select count(*) from " + table);
    return records.value(0).toLongLong();
}

QString loaded(OdbcConnection& connection, const QString& script) {
    return failureOf([&] { runBatches(connection, script); })
        .value_or(Failure{"<loaded>"})
        .description;
}

} // namespace

class KeyOrderIntegrationTest : public QObject {
    Q_OBJECT

private slots:
    void ordersByTheServersKeys_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("status");
        const QString truncationOf = "%1 is referenced by a foreign key; truncate will be "
                                     "refused: use grouped deletes";
        const std::pair<const char*, const char*> generations[] = {{"2000", "8.00.2039"},
                                                                   {"2005", "9.00.1399"}};
        for (const auto& [generation, version] : generations) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", generation, name) << QString(version);
            };
            row("chain ticked in reverse")
                << chain << QStringList{"dbo.C", "dbo.B", "dbo.A"} << true
                << QStringList{"dbo.A", "dbo.B", "dbo.C"} << "Key order: 2 entries moved";
            row("diamond") << diamond << QStringList{"dbo.D", "dbo.C", "dbo.B", "dbo.A"} << true
                           << QStringList{"dbo.A", "dbo.C", "dbo.B", "dbo.D"}
                           << "Key order: 2 entries moved";
            row("independent chains keep the user's order")
                << twoChains << QStringList{"dbo.Z", "dbo.X2", "dbo.Y1", "dbo.X1", "dbo.Y2"} << true
                << QStringList{"dbo.Z", "dbo.Y1", "dbo.X1", "dbo.X2", "dbo.Y2"}
                << "Key order: 3 entries moved";
            row("a reference to itself neither waits nor refuses truncation")
                << selfReference << QStringList{"dbo.C", "dbo.S", "dbo.P"} << false
                << QStringList{"dbo.S", "dbo.P", "dbo.C"}
                << "Key order: 3 entries moved. " + truncationOf.arg("dbo.P");
            row("two-table cycle") << twoCycle << QStringList{"dbo.B", "dbo.A"} << true
                                   << QStringList{"dbo.B", "dbo.A"}
                                   << "Key order: a cycle among dbo.B, dbo.A - check their order";
            row("three-table cycle")
                << threeCycle << QStringList{"dbo.C", "dbo.A", "dbo.B"} << true
                << QStringList{"dbo.C", "dbo.A", "dbo.B"}
                << "Key order: a cycle among dbo.C, dbo.A, dbo.B - check their order";
            row("references to unticked tables ignored")
                << chain << QStringList{"dbo.C", "dbo.B"} << true << QStringList{"dbo.B", "dbo.C"}
                << "Key order: 2 entries moved";
            row("table referenced under another owner")
                << otherOwner << QStringList{"sales.Orders", "dbo.Orders", "dbo.Customers"} << false
                << QStringList{"dbo.Orders", "dbo.Customers", "sales.Orders"}
                << "Key order: 3 entries moved. " + truncationOf.arg("dbo.Customers");
        }
    }

    void ordersByTheServersKeys() {
        QFETCH(QString, version);
        QFETCH(QString, schema);
        QFETCH(QStringList, ticks);
        QFETCH(bool, grouped);
        QFETCH(QStringList, order);
        QFETCH(QString, status);
        test::TempFolder folder;
        folder.write("schema.sql", schema.toUtf8());
        test::StandIn server(
            {.sample = false, .version = version, .loadFiles = {folder.path("schema.sql")}});
        test::ScriptRun run(server);
        run.settings.chkGroup = grouped ? Checked : Unchecked;
        tick(run.toolkit.list, ticks);
        QCOMPARE(tickedTables(run.toolkit.list), ticks);

        QCOMPARE(failureOf([&] { KeyOrder(run.toolkit, run.fields, run.settings); })
                     .value_or(Failure{"<ordered>"})
                     .description,
                 QStringLiteral("<ordered>"));
        QCOMPARE(tickedTables(run.toolkit.list), order);
        QCOMPARE(run.toolkit.status(), status);
        QVERIFY(server.receivedBatches().contains(foreignKeyQuery(version.startsWith('9'))));
        QCOMPARE(run.toolkit.busyHistory.mid(2), (QList<bool>{true, false}));
    }

    // Select All, Key Order and Create Scripts on the sample: its Tables.sql
    // loads into an empty copy with every key checked, and its grouped deletes
    // run children first on a full copy. No order loads Departments and
    // Employees, whose rows refer to each other both ways: Key Order names
    // them, and they are left out as the user would leave them.
    void sampleScriptsLoadWithTheirKeysChecked_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000") << "8.00.2039";
        QTest::newRow("2005") << "9.00.1399";
    }

    void sampleScriptsLoadWithTheirKeysChecked() {
        QFETCH(QString, version);
        test::StandIn full({.version = version});
        test::ScriptRun run(full);
        run.settings.chkGroup = Checked;
        SelectAll(run.toolkit, run.fields);
        KeyOrder(run.toolkit, run.fields, run.settings);
        QCOMPARE(
            run.toolkit.status(),
            QStringLiteral(
                "Key order: a cycle among dbo.Departments, dbo.Employees - check their order"));
        tick(run.toolkit.list, {"dbo.Departments", "dbo.Employees"}, false);
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QString tables = run.file("Tables.sql");
        const auto deleteAt = [&](const QString& table) {
            return tables.indexOf("delete from " + table + "\r\n");
        };
        QVERIFY(deleteAt("dbo.[Order Details]") >= 0);
        QVERIFY(deleteAt("dbo.[Order Details]") < deleteAt("dbo.Orders"));
        QVERIFY(deleteAt("dbo.[Order Details]") < deleteAt("dbo.Products"));
        QVERIFY(deleteAt("dbo.Orders") < deleteAt("dbo.Customers"));

        // The empty copy is emptied by hand, children first.
        test::StandIn empty({.version = version});
        OdbcConnection emptyCopy;
        emptyCopy.open({empty.serverText(), "Northwind", "sa", "pw"});
        runBatches(emptyCopy, "update dbo.Departments set ManagerId = null\r\nGO\r\n"
                              "delete from dbo.Employees\r\nGO\r\n"
                              "delete from dbo.[Order Details]\r\nGO\r\n"
                              "delete from dbo.Orders\r\nGO\r\n");
        const ObjectList& list = run.toolkit.list;
        for (int i = 0; i < list.count(); ++i)
            if (list.entry(i).object.kind == ObjectKind::Table)
                emptyCopy.execute("delete from [" + list.entry(i).object.owner + "].[" +
                                  list.entry(i).object.name + "]");
        QCOMPARE(loaded(emptyCopy, tables), QStringLiteral("<loaded>"));

        OdbcConnection fullCopy;
        fullCopy.open(run.settings.connection);
        for (const char* table :
             {"dbo.Customers", "dbo.Orders", "dbo.[Order Details]", "dbo.Products"})
            QCOMPARE(rowCount(emptyCopy, table), rowCount(fullCopy, table));
        QCOMPARE(loaded(fullCopy, tables), QStringLiteral("<loaded>"));
        QCOMPARE(rowCount(fullCopy, "dbo.[Order Details]"), 5);
    }
};

QTEST_GUILESS_MAIN(KeyOrderIntegrationTest)
#include "KeyOrderIntegrationTest.moc"
