// Key Order against the stand-in in both catalogue generations: what the
// catalogue tells apart (references to itself, owners). Orders that follow
// from the keys alone are in KeyOrderTest; the sample's scripts in Key Order
// are loaded back in DeferredKeysTest.
#include "catalogue/KeyOrder.h"
#include "catalogue/SelectionOrder.h"
#include "support/ScriptRun.h"

#include <QMap>
#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

QString qualified(const QString& name) {
    return name.contains('.') ? name : "dbo." + name;
}

QStringList qualifiedNames(const QString& names) {
    QStringList result;
    for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
        result << qualified(name);
    return result;
}

// The tables of "B>A C>B" (B references A, C references B) and of others,
// dbo unless named, each with a column per key. The keys are added once
// every table exists, so that a cycle needs no care.
QString schemaOf(const QString& keys, const QString& others) {
    QMap<QString, QStringList> columnsOf;
    QStringList alters;
    for (const QString& key : keys.split(' ', Qt::SkipEmptyParts)) {
        const QString from = qualified(key.section('>', 0, 0));
        const QString to = qualified(key.section('>', 1));
        const QString column = QString("k%1").arg(alters.size());
        columnsOf[from] << column + " int null";
        columnsOf[to];
        alters << "alter table " + from + " add foreign key (" + column + ") references " + to +
                      " (id)";
    }
    for (const QString& table : qualifiedNames(others))
        columnsOf[table];
    QStringList batches;
    for (const QString& table : columnsOf.keys()) {
        const QString owner = table.section('.', 0, 0);
        const QString schema = "create schema " + owner;
        if (owner != "dbo" && !batches.contains(schema))
            batches << schema;
        batches << "create table " + table + " (" +
                       (QStringList{"id int not null primary key"} + columnsOf[table]).join(", ") +
                       ")";
    }
    return (batches + alters).join("\nGO\n") + "\nGO\n";
}

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

} // namespace

class KeyOrderIntegrationTest : public QObject {
    Q_OBJECT

private slots:
    void ordersByTheServersKeys_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("ticks");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("status");
        const QString moved = "Key order: %1 entries moved";
        const QString truncation = ". %1 is referenced by a foreign key: deleted rather than "
                                   "truncated";
        const std::pair<const char*, const char*> generations[] = {{"2000", "8.00.2039"},
                                                                   {"2005", "9.00.1399"}};
        for (const auto& [generation, version] : generations) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", generation, name) << QString(version);
            };
            row("a reference to itself neither waits nor refuses truncation")
                << "S>S C>P"
                << "C S P" << false << "S P C"
                << moved.arg(3) + "; keys checked after the load: dbo.S references itself" +
                       truncation.arg("dbo.P");
            row("table referenced under another owner")
                << "sales.Orders>Customers"
                << "sales.Orders Orders Customers" << false << "Orders Customers sales.Orders"
                << moved.arg(3) + truncation.arg("dbo.Customers");
        }
    }

    void ordersByTheServersKeys() {
        QFETCH(QString, version);
        QFETCH(QString, keys);
        QFETCH(QString, ticks);
        QFETCH(bool, grouped);
        QFETCH(QString, order);
        QFETCH(QString, status);
        test::StandIn server(
            {.sample = false, .version = version, .script = schemaOf(keys, ticks)});
        test::ScriptRun run(server);
        run.settings.chkGroup = grouped ? Checked : Unchecked;
        tick(run.toolkit.list, qualifiedNames(ticks));

        QCOMPARE(failureOf([&] { KeyOrder(run.toolkit, run.runState, run.settings); })
                     .value_or(Failure{"<ordered>"})
                     .description,
                 QStringLiteral("<ordered>"));
        QCOMPARE(tickedTables(run.toolkit.list), qualifiedNames(order));
        QCOMPARE(run.toolkit.status(), status);
        QVERIFY(server.receivedBatches().contains(foreignKeyQuery(version.startsWith('9'))));
        QCOMPARE(run.toolkit.busyHistory.mid(2), (QList<bool>{true, false}));
    }
};

QTEST_GUILESS_MAIN(KeyOrderIntegrationTest)
#include "KeyOrderIntegrationTest.moc"
