// The stand-in through the program's own database layer: the catalogue
// query and typed values as the scripters will read them.

#include "db/ExactNumber.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "support/StandIn.h"

#include <QDateTime>
#include <QTest>

using namespace quarvex;
using namespace quarvex::test;

class ProgramLayerTest : public QObject {
    Q_OBJECT
private slots:
    void versionReadsAsTheLoginReports_data();
    void versionReadsAsTheLoginReports();
    void catalogueQueryListsFunctionsFirst();
    void typedValuesOfTheSample();
};

void ProgramLayerTest::versionReadsAsTheLoginReports_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("dbmsVersion");
    QTest::newRow("2005") << "9.00.1399"
                          << "09.00.1399";
    QTest::newRow("2000") << "8.00.2039"
                          << "08.00.2039";
}

void ProgramLayerTest::versionReadsAsTheLoginReports() {
    QFETCH(QString, version);
    QFETCH(QString, dbmsVersion);
    StandInOptions options;
    options.sample = false;
    options.version = version;
    StandIn server(options);
    OdbcConnection connection;
    connection.open({server.serverText(), "Northwind", "sa", "pw"});
    QCOMPARE(connection.dbmsVersion(), dbmsVersion);
}

void ProgramLayerTest::catalogueQueryListsFunctionsFirst() {
    StandIn server;
    OdbcConnection connection;
    connection.open({server.serverText(), "Northwind", "sa", "pw"});
    const QString inner =
        "(select name,schema_name(schema_id) owner,type,object_id id from sys.objects "
        "where type in ('U','P','TR','V','FN')) as v ";
    const QString query = "select * from " + inner + "where type='U' union select * from " + inner +
                          "where type='P' and (name like 'sp%') union select * from " + inner +
                          "where type='TR' union select * from " + inner +
                          "where type='V' union select * from " + inner +
                          "where type='FN' and (name like 'fn%') order by 3,1,2 ";
    RecordSet records(connection, query);
    QStringList kinds;
    QVERIFY(!records.atEnd());
    QCOMPARE(records.value(0).toString(), QStringLiteral("fnOrderTotal"));
    QCOMPARE(records.value("owner").toString(), QStringLiteral("dbo"));
    while (!records.atEnd()) {
        const QString kind = records.value(2).toString();
        QCOMPARE(kind.size(), 2);
        if (kinds.isEmpty() || kinds.last() != kind.trimmed())
            kinds.append(kind.trimmed());
        records.moveNext();
    }
    QCOMPARE(kinds, (QStringList{"FN", "P", "TR", "U", "V"}));
}

void ProgramLayerTest::typedValuesOfTheSample() {
    StandIn server;
    OdbcConnection connection;
    connection.open({server.serverText(), "Northwind", "sa", "pw"});
    RecordSet records(
        connection,
        "select Label,UWord,Exact,Price,Moment,datepart(ms,Moment) Moment__ms,Bytes,Flag "
        "from dbo.TypeSamples order by SampleId");
    QVERIFY(!records.atEnd());
    QCOMPARE(records.value("UWord").toString(), QStringLiteral("Ünïcødé Ελληνικά 中文"));
    QCOMPARE(records.value("Exact").value<ExactNumber>().text, QStringLiteral("1234.5678900000"));
    QCOMPARE(records.value("Price").value<ExactNumber>().text, QStringLiteral("12.3456"));
    QCOMPARE(records.value("Moment").toDateTime().date(), QDate(2008, 12, 10));
    QCOMPARE(records.value("Moment__ms").toInt(), 7);
    QCOMPARE(records.value("Bytes").toByteArray(), QByteArray("\x0A\xFF", 2));
    records.moveNext();
    QCOMPARE(records.value("Bytes").toByteArray(), QByteArray());
    QVERIFY(!records.value("Bytes").isNull());
    records.moveNext();
    records.moveNext();
    QVERIFY(records.value("UWord").isNull());
}

QTEST_GUILESS_MAIN(ProgramLayerTest)
#include "ProgramLayerTest.moc"
