#include "catalogue/SelectionOrder.h"

#include "model/RunState.h"
#include "catalogue/CatalogueEntry.h"
#include "support/RecordingToolkit.h"

#include <QTest>

using namespace quarvex;

namespace {

// A list of tables A..D between a proc and a view, wired to the handler the
// way the window wires its list.
struct Fixture {
    test::RecordingToolkit toolkit;
    RunState fields;

    explicit Fixture(const QString& layout = "P:p1 T:A T:B T:C T:D V:v1") {
        toolkit.list.onItemCheck = [this](int item) { lstNames_ItemCheck(toolkit, fields, item); };
        qint32 id = 1;
        for (const QString& token : layout.split(' ')) {
            const ObjectKind kind = token.startsWith("P:")   ? ObjectKind::Proc
                                    : token.startsWith("T:") ? ObjectKind::Table
                                                             : ObjectKind::View;
            toolkit.list.append(catalogueEntry(kind, token.mid(2), "dbo", id++));
        }
    }

    int indexOf(const QString& name) const {
        for (int i = 0; i < toolkit.list.count(); ++i)
            if (toolkit.list.entry(i).object.name == name)
                return i;
        return -1;
    }

    // The user clicks the check box of the named entry.
    void click(const QString& name) {
        const int i = indexOf(name);
        toolkit.list.setCurrentIndex(i);
        toolkit.list.setChecked(i, !toolkit.list.isChecked(i));
    }

    // Names in list order, ticked ones marked with "+".
    QString order() const {
        QStringList names;
        for (int i = 0; i < toolkit.list.count(); ++i)
            names << (toolkit.list.isChecked(i) ? "+" : "") + toolkit.list.entry(i).object.name;
        return names.join(' ');
    }
};

} // namespace

class SelectionOrderTest : public QObject {
    Q_OBJECT

private slots:
    void ticksKeepTheirOrder_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("order");
        QTest::newRow("ticked C, A, D") << QStringList{"C", "A", "D"} << "p1 +C +A +D B v1";
        QTest::newRow("unticking A goes to the head of the unticked")
            << QStringList{"C", "A", "D", "A"} << "p1 +C +D A B v1";
        QTest::newRow("last of last group when the rest is ticked")
            << QStringList{"v1"} << "p1 A B C D +v1";
        QTest::newRow("first entry stays") << QStringList{"A"} << "p1 +A B C D v1";
        QTest::newRow("ticking every table in reverse")
            << QStringList{"D", "C", "B", "A"} << "p1 +D +C +B +A v1";
        QTest::newRow("untick the only tick") << QStringList{"B", "B"} << "p1 B A C D v1";
    }

    void ticksKeepTheirOrder() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, order);
        Fixture f;
        for (const QString& name : clicks)
            f.click(name);
        QCOMPARE(f.order(), order);
        QVERIFY(!f.fields.SuppressItemCheck);
    }

    void itemDataMovesWithItsEntry() {
        Fixture f;
        f.click("C");
        const ListEntry moved = f.toolkit.list.entry(1);
        QCOMPARE(moved.object.name, QStringLiteral("C"));
        QCOMPARE(moved.text, entryText(ObjectKind::Table, "C", "dbo", 4));
    }

    void currentRowAndScrollStay() {
        Fixture f;
        f.toolkit.list.setTopIndex(2);
        f.click("D"); // at row 4, moves to row 1
        QCOMPARE(f.toolkit.list.currentIndex(), 4);
        QCOMPARE(f.toolkit.list.topIndex(), 2);
    }

    void selectTypeTicksOnlyTheCurrentKind() {
        Fixture f;
        f.click("C");
        f.toolkit.list.setCurrentIndex(f.indexOf("B"));
        SelectType(f.toolkit, f.fields);
        QCOMPARE(f.order(), QStringLiteral("p1 +C +A +B +D v1"));
        QCOMPARE(f.toolkit.list.topIndex(), f.indexOf("D"));
    }

    void selectTypeWithoutCurrentEntryTicksNothing() {
        Fixture f;
        f.toolkit.list.setCurrentIndex(-1);
        SelectType(f.toolkit, f.fields);
        QCOMPARE(f.order(), QStringLiteral("p1 A B C D v1"));
    }

    void selectAllThenDeselectAllMovesNothing() {
        Fixture f;
        f.click("C");
        SelectAll(f.toolkit, f.fields);
        QCOMPARE(f.order(), QStringLiteral("+p1 +C +A +B +D +v1"));
        QCOMPARE(f.toolkit.list.topIndex(), 5);
        f.toolkit.list.setTopIndex(1);
        DeselectAll(f.toolkit, f.fields);
        QCOMPARE(f.order(), QStringLiteral("p1 C A B D v1"));
        QCOMPARE(f.toolkit.list.topIndex(), 1);
        QVERIFY(!f.fields.SuppressItemCheck);
    }

    void failedHandlerReportsAndReleasesGuard() {
        Fixture f;
        lstNames_ItemCheck(f.toolkit, f.fields, 99);
        QCOMPARE(f.toolkit.messages.size(), 1);
        QVERIFY(f.toolkit.messages.first().text.startsWith("lstNames_ItemCheck: "));
        QVERIFY(!f.fields.SuppressItemCheck);
        f.click("B");
        QCOMPARE(f.order(), QStringLiteral("p1 +B A C D v1"));
    }
};

QTEST_GUILESS_MAIN(SelectionOrderTest)
#include "SelectionOrderTest.moc"
