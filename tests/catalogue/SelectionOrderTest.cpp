#include "catalogue/SelectionOrder.h"

#include "catalogue/CatalogueEntry.h"
#include "model/RunState.h"
#include "support/RecordingToolkit.h"

#include <QTest>

using namespace quarvex;

// The order of ticks, the bulk commands and the scroll position, through the
// window's list: tests/app/WindowTest; through the list the command line
// keeps: the script run's tests.
class SelectionOrderTest : public QObject {
    Q_OBJECT

private slots:
    // A handler that fails reports and lifts its guard, so that later ticks
    // are ordered again.
    void failedHandlerReportsAndReleasesGuard() {
        test::RecordingToolkit toolkit;
        RunState fields;
        toolkit.list.onItemCheck = [&](int item) { lstNames_ItemCheck(toolkit, fields, item); };
        toolkit.list.append(catalogueEntry(ObjectKind::Table, "A", "dbo", 1));
        toolkit.list.append(catalogueEntry(ObjectKind::Table, "B", "dbo", 2));
        lstNames_ItemCheck(toolkit, fields, 99);
        QCOMPARE(toolkit.messages.size(), 1);
        QVERIFY(toolkit.messages.first().text.startsWith("lstNames_ItemCheck: "));
        QVERIFY(!fields.SuppressItemCheck);
        toolkit.list.setChecked(1, true);
        QCOMPARE(toolkit.list.entry(0).object.name, QStringLiteral("B"));
    }
};

QTEST_GUILESS_MAIN(SelectionOrderTest)
#include "SelectionOrderTest.moc"
