#include "catalogue/SelectionOrder.h"

#include "catalogue/CatalogueEntry.h"
#include "model/RunState.h"
#include "support/RecordingToolkit.h"

#include <QTest>

using namespace quarvex;

namespace {

// A list of tables A..D between a proc and a view, wired to the handler the
// way the window wires its list.
struct Fixture {
    test::RecordingToolkit toolkit;
    RunState fields;

    Fixture() {
        toolkit.list.onItemCheck = [this](int item) { lstNames_ItemCheck(toolkit, fields, item); };
        qint32 id = 1;
        toolkit.list.append(catalogueEntry(ObjectKind::Proc, "p1", "dbo", id++));
        for (const char* name : {"A", "B", "C", "D"})
            toolkit.list.append(catalogueEntry(ObjectKind::Table, name, "dbo", id++));
        toolkit.list.append(catalogueEntry(ObjectKind::View, "v1", "dbo", id++));
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

// The list kept without widgets, as the command line and the script run's
// tests keep it. The window's list, the bulk commands and the scroll
// position: tests/app/WindowTest.
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
