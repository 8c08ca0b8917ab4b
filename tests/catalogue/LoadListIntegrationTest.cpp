#include "model/Settings.h"
#include "model/RunState.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/LoadList.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "support/RecordingToolkit.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace quarvex;

namespace {

// A database of our own: every kind, names that need care, two schemas.
const char* const objects = R"(create table Customers (id int not null)
GO
create table [Cust Orders] (id int not null)
GO
create table Products (id int not null)
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
create trigger trCustomers on Customers for insert as select 3
GO
create function fnTwice (@x int) returns int as begin return @x * 2 end
GO
create function fnRows () returns table as return (select 1 one)
GO
)";

// What the server itself lists, in its own order, for comparison.
QStringList expectedEntries(OdbcConnection& connection, const QString& query) {
    QStringList entries;
    for (RecordSet records(connection, query); !records.atEnd(); records.moveNext())
        entries << entryText(kindOfTypeCode(records.value(2).toString().trimmed()),
                             records.value(0).toString(), records.value(1).toString(),
                             qint32(records.value(3).toLongLong()));
    return entries;
}

QStringList listed(test::RecordingToolkit& toolkit) {
    QStringList entries;
    for (int i = 0; i < toolkit.list.count(); ++i)
        entries << toolkit.list.text(i);
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
    void listsEachGeneration_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000") << "8.00.2039";
        QTest::newRow("2005") << "9.00.1399";
        QTest::newRow("current") << "16.00.4135";
    }

    // The query goes out byte for byte, and every row becomes its entry in
    // the server's order.
    void listsEachGeneration() {
        QFETCH(QString, version);
        test::StandIn server({.sample = false, .version = version, .loadFiles = {objectsFile()}});
        const ConnectionSettings connection{server.serverText(), "Northwind", "sa", "pw"};
        const CatalogueFilters filters{"name like 'Cust%'", {}, {}, {}, {}};
        const QString query =
            catalogueQuery(version.startsWith("16") || version.startsWith("9"), filters);

        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, connection, filters);
        QVERIFY2(toolkit.messages.isEmpty(), qPrintable(toolkit.messageTexts().join('\n')));
        QVERIFY(server.receivedBatches().contains(query));

        OdbcConnection direct;
        OpenConnection(direct, connection);
        const QStringList expected = expectedEntries(direct, query);
        QCOMPARE(listed(toolkit), expected);
        QCOMPARE(expected.size(), 8);
        QVERIFY(expected.first().startsWith("Func: \tfnTwice (dbo) \t\t\t\t\t"));
        QCOMPARE(listed(toolkit).filter("Table:\tCustomers (sales team) \t").size(), 1);
        QCOMPARE(toolkit.status(),
                 QStringLiteral("8 tables/procs/triggers/views/functions listed"));
        QCOMPARE(toolkit.busyHistory, (QList<bool>{true, false}));
    }

    void defaultFiltersNarrowEachKind() {
        test::StandIn server({.sample = false, .loadFiles = {objectsFile()}});
        test::RecordingToolkit toolkit;
        RunState fields;
        const Settings defaults;
        LoadList(toolkit, fields, {server.serverText(), "Northwind", "sa", "pw"}, defaults.filters);
        QStringList names;
        for (int i = 0; i < toolkit.list.count(); ++i)
            names << toolkit.list.entry(i).object.name;
        QCOMPARE(names, (QStringList{"fnTwice", "spCustomers", "trCustomers", "Cust Orders",
                                     "Customers", "Customers", "Products", "vwCustomers"}));
    }

    void failuresKeepThePreviousList_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("sent");
        QTest::newRow("bad column") << "nosuch = 1"
                                    << "Invalid column name 'nosuch'." << true;
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
        const ConnectionSettings connection{server.serverText(), "Northwind", "sa", "pw"};
        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, connection, {});
        const QStringList before = listed(toolkit);
        QVERIFY(!before.isEmpty());
        const qsizetype batches = server.receivedBatches().size();

        const CatalogueFilters broken{filter, {}, {}, {}, {}};
        LoadList(toolkit, fields, connection, broken);
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
        QCOMPARE(fields.LastError, shown);
        QCOMPARE(listed(toolkit), before);
        QCOMPARE(toolkit.busyHistory.last(), false);
    }

    void manyObjectsAreAllListed() {
        test::StandIn server({.sample = false, .loadFiles = {manyProceduresFile()}});
        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, {server.serverText(), "Northwind", "sa", "pw"}, {});
        QCOMPARE(toolkit.list.count(), 400);
        QSet<qint32> ids;
        for (int i = 0; i < toolkit.list.count(); ++i)
            ids.insert(toolkit.list.entry(i).object.id);
        QCOMPARE(ids.size(), 400);
        QVERIFY(*std::min_element(ids.begin(), ids.end()) > 0);
    }

    // A listing cut short must not pass for the whole catalogue.
    void connectionLostHalfwayLeavesTheListEmpty() {
        test::StandIn server(
            {.sample = false, .loadFiles = {manyProceduresFile()}, .dropAfterRows = 150});
        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, {server.serverText(), "Northwind", "sa", "pw"}, {});
        QCOMPARE(toolkit.messages.size(), 1);
        QVERIFY2(toolkit.messages.first().text.startsWith("LoadList: "),
                 qPrintable(toolkit.messages.first().text));
        QCOMPARE(toolkit.list.count(), 0);
        QCOMPARE(toolkit.status(), QStringLiteral("150 - sp149"));
    }

    void noRowsAtAll() {
        test::StandIn server({.sample = false});
        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, {server.serverText(), "Northwind", "sa", "pw"}, {});
        QCOMPARE(toolkit.list.count(), 0);
        QCOMPARE(toolkit.status(),
                 QStringLiteral("0 tables/procs/triggers/views/functions listed"));
    }

    void unreachableServerIsReported() {
        test::RecordingToolkit toolkit;
        RunState fields;
        LoadList(toolkit, fields, {"127.0.0.1,1", "Northwind", "sa", "pw"}, {});
        QCOMPARE(toolkit.messages.size(), 1);
        QVERIFY2(toolkit.messages.first().text.startsWith("LoadList: OpenConnection: "),
                 qPrintable(toolkit.messages.first().text));
        QVERIFY(!toolkit.messages.first().text.contains("\r\n\r\n["));
    }
};

QTEST_GUILESS_MAIN(LoadListIntegrationTest)
#include "LoadListIntegrationTest.moc"
