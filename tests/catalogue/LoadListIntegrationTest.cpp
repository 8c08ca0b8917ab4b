#include "catalogue/CatalogueQuery.h"
#include "catalogue/LoadList.h"
#include "model/RunState.h"
#include "model/Settings.h"
#include "support/RecordingToolkit.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::CatalogueFilters)

namespace {

// A database of our own: every kind, names that need care, two schemas, and
// for each kind an object that its default filter leaves out, which the
// status line then counts.
const char* const objects = R"(create table Customers (id int not null)
create table [Cust Orders] (id int not null)
create table Products (id int not null)
create table pbcatTable (id int not null)
GO
create schema [sales team]
GO
create table [sales team].Customers (id int not null)
GO
create procedure spCustomers as select 1
GO
create procedure dbo.NotListed as select 2
GO
create view vwCustomers as select id from Customers
GO
create view sysView as select 1 one
GO
create trigger trCustomers on Customers for insert as select 3
GO
create trigger [sales team].trSales on [sales team].Customers for insert as select 4
GO
create function fnTwice (@x int) returns int as begin return @x * 2 end
GO
create function Twice (@x int) returns int as begin return @x * 2 end
GO
create function fnRows () returns table as return (select 1 one)
GO
)";

// The list's entries without the blank, the five TABs and the object id
// that end each; the server makes the ids up, and each must be the one its
// entry carries.
QStringList listed(const test::RecordingToolkit& toolkit) {
    QStringList entries;
    for (int i = 0; i < toolkit.list.count(); ++i) {
        const QString text = toolkit.list.text(i);
        const QString end = " \t\t\t\t\t" + QString::number(toolkit.list.entry(i).object.id);
        entries << (text.endsWith(end) ? text.chopped(end.size()) : text);
    }
    return entries;
}

} // namespace

class LoadListIntegrationTest : public QObject {
    Q_OBJECT

    test::TempFolder m_folder;

    QString objectsFile() {
        m_folder.write("objects.sql", objects);
        return m_folder.path("objects.sql");
    }

    // Hundreds of objects, each with an id of its own.
    QString manyProceduresFile() {
        QString script;
        for (int i = 0; i < 400; ++i)
            script += QString("create procedure sp%1 as select %1\nGO\n").arg(i, 3, 10, QChar('0'));
        m_folder.write("many.sql", script.toUtf8());
        return m_folder.path("many.sql");
    }

private slots:
    // Each kind's filter narrows that kind alone, as one condition; every row
    // becomes its entry in the server's order.
    void listsEachGeneration_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<CatalogueFilters>("filters");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("hidden"); // what the status says the filters hide
        // Without its parentheses the table filter's "or" would let other
        // kinds' objects in.
        const CatalogueFilters narrow{
            "name = 'Products' or name like '%Customers'", "name = 'NotListed'", {}, {}, {}};
        const QStringList narrowed{"Func: \tfnTwice (dbo)",          "Func: \tTwice (dbo)",
                                   "Proc: \tNotListed (dbo)",        "Trig: \ttrCustomers (dbo)",
                                   "Trig: \ttrSales (sales team)",   "Table:\tCustomers (dbo)",
                                   "Table:\tCustomers (sales team)", "Table:\tProducts (dbo)",
                                   "View: \tsysView (dbo)",          "View: \tvwCustomers (dbo)"};
        // The table function fnRows is of no listed kind, hidden or not.
        const QString hidden = "; the filters hide 2 tables and 1 procedure";
        QTest::newRow("2000") << "8.00.2039" << narrow << narrowed << hidden;
        QTest::newRow("2005") << "9.00.1399" << narrow << narrowed << hidden;
        QTest::newRow("current") << "16.00.4135" << narrow << narrowed << hidden;
        QTest::newRow("the default filters")
            << "9.00.1399" << Settings().filters
            << QStringList{"Func: \tfnTwice (dbo)",     "Proc: \tspCustomers (dbo)",
                           "Trig: \ttrCustomers (dbo)", "Table:\tCust Orders (dbo)",
                           "Table:\tCustomers (dbo)",   "Table:\tCustomers (sales team)",
                           "Table:\tProducts (dbo)",    "View: \tvwCustomers (dbo)"}
            << "; the filters hide 1 table, 1 procedure, 1 trigger, 1 view and 1 function";
        QTest::newRow("no filters hide nothing")
            << "8.00.2039" << CatalogueFilters{}
            << QStringList{"Func: \tfnTwice (dbo)",          "Func: \tTwice (dbo)",
                           "Proc: \tNotListed (dbo)",        "Proc: \tspCustomers (dbo)",
                           "Trig: \ttrCustomers (dbo)",      "Trig: \ttrSales (sales team)",
                           "Table:\tCust Orders (dbo)",      "Table:\tCustomers (dbo)",
                           "Table:\tCustomers (sales team)", "Table:\tpbcatTable (dbo)",
                           "Table:\tProducts (dbo)",         "View: \tsysView (dbo)",
                           "View: \tvwCustomers (dbo)"}
            << "";
    }

    void listsEachGeneration() {
        QFETCH(QString, version);
        QFETCH(CatalogueFilters, filters);
        QFETCH(QStringList, entries);
        QFETCH(QString, hidden);
        test::StandIn server({.sample = false, .version = version, .loadFiles = {objectsFile()}});
        test::RecordingToolkit toolkit;
        RunState runState;
        LoadList(toolkit, runState, server.login(), filters);
        QVERIFY2(toolkit.messages.isEmpty(), qPrintable(toolkit.messageTexts().join('\n')));
        QCOMPARE(listed(toolkit), entries);
        QCOMPARE(toolkit.status(), QString::number(entries.size()) +
                                       " tables/procs/triggers/views/functions listed" + hidden);
        QCOMPARE(toolkit.busyHistory, (QList<bool>{true, false}));
    }

    void failuresKeepThePreviousList_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("sent");
        QTest::newRow("bad column") << "nosuch = 1"
                                    << "Invalid column name 'nosuch'." << true;
        QTest::newRow("blanks are a filter too") << "  "
                                                 << "Incorrect syntax near ')'." << true;
        QTest::newRow("more than a condition, refused before sending")
            << "1=1) delete from dbo.Customers --"
            << "LoadList: The table filter \"1=1) delete from dbo.Customers --\" is not a single "
               "condition: it closes a parenthesis it did not open"
            << false;
    }

    void failuresKeepThePreviousList() {
        QFETCH(QString, filter);
        QFETCH(QString, message);
        QFETCH(bool, sent);
        test::StandIn server({.sample = false, .loadFiles = {objectsFile()}});
        const ConnectionSettings connection = server.login();
        test::RecordingToolkit toolkit;
        RunState runState;
        LoadList(toolkit, runState, connection, {});
        const QStringList before = listed(toolkit);
        QVERIFY(!before.isEmpty());
        const qsizetype batches = server.receivedBatches().size();

        const CatalogueFilters broken{filter, {}, {}, {}, {}};
        LoadList(toolkit, runState, connection, broken);
        QCOMPARE(toolkit.messages.size(), 1);
        const QString shown = toolkit.messages.first().text;
        if (sent) {
            QVERIFY2(shown.startsWith("LoadList: "), qPrintable(shown));
            QVERIFY2(shown.contains("[SQL Server]" + message), qPrintable(shown));
            QVERIFY2(shown.endsWith("\r\n\r\n[" + catalogueQuery(true, broken) + "]"),
                     qPrintable(shown));
        } else {
            QCOMPARE(shown, message);
            QCOMPARE(server.receivedBatches().size(), batches);
        }
        QCOMPARE(runState.LastError, shown);
        QCOMPARE(listed(toolkit), before);
        QCOMPARE(toolkit.busyHistory.last(), false);
    }

    // A listing cut short must not pass for the whole catalogue.
    void manyObjects_data() {
        QTest::addColumn<int>("dropAfterRows");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("status");
        QTest::newRow("all listed")
            << -1 << 400 << "400 tables/procs/triggers/views/functions listed";
        QTest::newRow("connection lost halfway leaves the list empty") << 150 << 0 << "150 - sp149";
    }

    void manyObjects() {
        QFETCH(int, dropAfterRows);
        QFETCH(int, count);
        QFETCH(QString, status);
        test::StandIn server(
            {.sample = false, .loadFiles = {manyProceduresFile()}, .dropAfterRows = dropAfterRows});
        test::RecordingToolkit toolkit;
        RunState runState;
        LoadList(toolkit, runState, server.login(), {});
        QCOMPARE(toolkit.list.count(), count);
        QCOMPARE(toolkit.status(), status);
        QCOMPARE(toolkit.messages.size(), count ? 0 : 1);
        QSet<qint32> ids;
        for (int i = 0; i < toolkit.list.count(); ++i)
            ids.insert(toolkit.list.entry(i).object.id);
        QCOMPARE(ids.size(), count);
    }
};

QTEST_GUILESS_MAIN(LoadListIntegrationTest)
#include "LoadListIntegrationTest.moc"
