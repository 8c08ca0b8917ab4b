// The key order over a list in memory: the order the keys give, what stays
// where it is, tables that wait for a cycle, and the status line. What the
// catalogue of each generation adds is in KeyOrderIntegrationTest.
#include "catalogue/KeyOrder.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/KeyOrderPlan.h"
#include "catalogue/SelectionOrder.h"
#include "model/RunState.h"
#include "support/RecordingToolkit.h"

#include <QHash>
#include <QTest>

using namespace quarvex;

namespace {

// A list written as "P:p1 +T:C T:X V:v1" ("+" ticked; P proc, T table, V
// view), wired to the item-check handler as the window's list is, and
// references written as "C>B" (C references B). A name that is not listed
// stands for a table the list does not show.
struct Fixture {
    test::RecordingToolkit toolkit;
    RunState runState;
    QHash<QString, qint32> ids;

    explicit Fixture(const QString& layout) {
        for (const QString& token : layout.split(' ')) {
            const bool ticked = token.startsWith('+');
            const QString kindAndName = token.mid(ticked ? 1 : 0);
            const ObjectKind kind = kindAndName.startsWith("P:")   ? ObjectKind::Proc
                                    : kindAndName.startsWith("T:") ? ObjectKind::Table
                                                                   : ObjectKind::View;
            const QString name = kindAndName.mid(2);
            toolkit.list.append(catalogueEntry(kind, name, "dbo", idOf(name)));
            toolkit.list.setChecked(toolkit.list.count() - 1, ticked);
        }
        toolkit.list.onItemCheck = [this](int item) {
            lstNames_ItemCheck(toolkit, runState, item);
        };
    }

    qint32 idOf(const QString& name) {
        if (!ids.contains(name))
            ids.insert(name, qint32(100 + ids.size()));
        return ids.value(name);
    }

    QList<TableReference> references(const QString& text) {
        QList<TableReference> result;
        for (const QString& pair : text.split(' ', Qt::SkipEmptyParts))
            result.append({idOf(pair.section('>', 0, 0)), idOf(pair.section('>', 1)), pair});
        return result;
    }

    QString order() const { return test::listed(toolkit.list).join(' '); }
};

} // namespace

class KeyOrderTest : public QObject {
    Q_OBJECT

private slots:
    void ordersTheTickedTables_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("references");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const char* layout, const char* references,
                            bool grouped, const char* order, const QString& status) {
            QTest::newRow(name) << layout << references << grouped << order << status;
        };
        const QString moved = "Key order: %1 entries moved";
        const QString none = "Key order: no entry moved";
        const QString loops = "; keys checked after the load: ";
        const QString refused = " referenced by a foreign key: deleted rather than truncated";
        row("unticked tables and other kinds keep their rows", "P:p1 +T:C T:X +T:B +T:A T:Y V:v1",
            "C>B B>A X>Y", true, "p1 +A X +B +C Y v1", moved.arg(2));
        row("chain ticked in reverse", "+T:C +T:B +T:A", "B>A C>B", true, "+A +B +C", moved.arg(2));
        row("diamond", "+T:D +T:C +T:B +T:A", "B>A C>A D>B D>C", true, "+A +C +B +D", moved.arg(2));
        row("independent chains keep the user's order", "+T:Z +T:X2 +T:Y1 +T:X1 +T:Y2",
            "X2>X1 Y2>Y1", true, "+Z +Y1 +X1 +X2 +Y2", moved.arg(3));
        row("a table that waits for a cycle comes after it", "+T:C +T:A +T:B", "C>A A>B B>A", true,
            "+A +C +B", moved.arg(2) + loops + "a cycle among dbo.A, dbo.B");
        row("two cycles and tables that reference themselves named apart",
            "+T:A +T:C +T:B +T:D +T:E +T:F", "A>B B>A C>D D>C E>E F>F", true, "+A +C +B +D +E +F",
            none + loops +
                "a cycle among dbo.A, dbo.B; a cycle among dbo.C, dbo.D; dbo.E, dbo.F "
                "reference themselves");
        row("a table that references itself", "+T:E +T:A", "E>E E>A", false, "+A +E",
            moved.arg(2) + loops + "dbo.E references itself. dbo.A is" + refused);
        row("truncation: a cycle's own keys do not refuse it", "+T:A +T:B", "A>B B>A", false,
            "+A +B", none + loops + "a cycle among dbo.A, dbo.B");
        row("truncation: a key from outside the cycle does", "+T:A +T:B", "A>B B>A Z>B", false,
            "+A +B", none + loops + "a cycle among dbo.A, dbo.B. dbo.B is" + refused);
        row("truncation: referenced by an unlisted table; unticked not named", "+T:A T:B",
            "Z>A A>B", false, "+A B", none + ". dbo.A is" + refused);
        row("truncation: three named, the rest counted", "+T:E +T:D +T:C +T:B +T:A",
            "Z>A Z>B Z>C Z>D Z>E", false, "+E +D +C +B +A",
            none + ". dbo.E, dbo.D, dbo.C and 2 more are referenced by foreign keys: deleted "
                   "rather than truncated");
    }

    void ordersTheTickedTables() {
        QFETCH(QString, layout);
        QFETCH(QString, references);
        QFETCH(bool, grouped);
        QFETCH(QString, order);
        QFETCH(QString, status);
        Fixture f(layout);
        f.toolkit.list.setTopIndex(1);
        f.toolkit.list.setCurrentIndex(f.toolkit.list.count() - 1);

        orderByKeys(f.toolkit, f.runState, f.references(references), grouped);
        QCOMPARE(f.order(), order);
        QCOMPARE(f.toolkit.status(), status);
        QCOMPARE(f.toolkit.list.topIndex(), 1);
        QCOMPARE(f.toolkit.list.currentIndex(), f.toolkit.list.count() - 1);
        QVERIFY(!f.runState.SuppressItemCheck);
    }

    // The keys no order satisfies: only between ticked tables, a table's own
    // keys and those within one cycle, by table in list order.
    void keysNoOrderSatisfies_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("references");
        QTest::addColumn<QString>("keys"); // "table:key", key named as its reference
        QTest::newRow("own keys and a cycle's, none to or from outside it")
            << "+T:C +T:B +T:A +T:E T:U"
            << "A>B B>A C>A E>E U>U E>U A>B"
            << "B:B>A A:A>B A:A>B E:E>E";
        QTest::newRow("a cycle through an unticked table is none") << "+T:A T:B +T:C"
                                                                   << "A>B B>C C>A"
                                                                   << "";
        QTest::newRow("a cycle of three") << "+T:A +T:B +T:C +T:D"
                                          << "A>B B>C C>A D>A"
                                          << "A:A>B B:B>C C:C>A";
    }

    void keysNoOrderSatisfies() {
        QFETCH(QString, layout);
        QFETCH(QString, references);
        QFETCH(QString, keys);
        Fixture f(layout);
        QStringList found;
        for (const LoopKey& key : planKeyOrder(f.toolkit.list, f.references(references)).loopKeys)
            found << key.table.name + ":" + key.name;
        QCOMPARE(found.join(' '), keys);
    }
};

QTEST_GUILESS_MAIN(KeyOrderTest)
#include "KeyOrderTest.moc"
