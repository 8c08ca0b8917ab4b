#include "catalogue/SelectionOrder.h"

#include "base/ProcedureError.h"
#include "catalogue/CatalogueEntry.h"
#include "model/RunState.h"
#include "support/RecordingToolkit.h"

#include <QTest>
#include <utility>

using namespace quarvex;

// The order of ticks, the bulk commands and the scroll position, through the
// window's list: tests/app/WindowTest; through the list the command line
// keeps: the script run's tests.
class SelectionOrderTest : public QObject {
    Q_OBJECT

private slots:
    // A handler that fails part way reports and lifts its guard, so that
    // later ticks are ordered again.
    void failedHandlerReportsAndReleasesGuard() {
        test::RecordingToolkit toolkit;
        RunState runState;
        bool failing = true;
        toolkit.list.onItemCheck = [&](int item) {
            // The list fails once, in the middle of the handler's own move.
            if (runState.SuppressItemCheck && std::exchange(failing, false))
                raise(QStringLiteral("the list failed"));
            lstNames_ItemCheck(toolkit, runState, item);
        };
        for (const char* name : {"A", "B", "C"})
            toolkit.list.append(catalogueEntry(ObjectKind::Table, name, "dbo", name[0]));
        toolkit.list.setChecked(1, true);
        QCOMPARE(toolkit.messageTexts(), QStringList{"lstNames_ItemCheck: the list failed"});
        QVERIFY(!runState.SuppressItemCheck);
        toolkit.list.setChecked(toolkit.list.count() - 1, true);
        QCOMPARE(toolkit.list.entry(1).object.name, QStringLiteral("C"));
    }
};

QTEST_GUILESS_MAIN(SelectionOrderTest)
#include "SelectionOrderTest.moc"
