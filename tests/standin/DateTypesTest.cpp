// The types SQL Server 2008 brought, as the stand-in's catalogue lists them
// (which versions know them: CatalogueTest; their literals and styles:
// ValuesTest; their wire forms: DateTypesClientsTest).

#include "EngineHarness.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

class DateTypesTest : public QObject {
    Q_OBJECT

private slots:
    void catalogueRows_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("query");
        const QString modern = QStringLiteral(
            "select c.name, t.name, c.system_type_id, c.user_type_id, c.max_length, c.precision, "
            "c.scale from sys.columns c join sys.types t on t.user_type_id = c.user_type_id "
            "where c.object_id = object_id('dbo.N') order by c.column_id");
        const QString legacy = QStringLiteral(
            "select c.name, t.name, c.xtype, c.xusertype, c.length, c.xprec, c.xscale "
            "from syscolumns c join systypes t on t.xusertype = c.xusertype "
            "where c.id = object_id('dbo.N') order by c.colid");
        QTest::newRow("2008 catalogue views") << "10.00.1600" << modern;
        QTest::newRow("2022 system tables") << "16.00.1000" << legacy;
    }

    void catalogueRows() {
        QFETCH(QString, version);
        QFETCH(QString, query);
        EngineHarness h(version);
        QCOMPARE(h.error("create type dbo.Code from varchar(12) not null\n"
                         "create type dbo.Amount from decimal(9,3) null\n"
                         "create type dbo.Moment from datetime2(3) null\n"
                         "create table dbo.N (D date null, T0 time(0) null, T time null, "
                         "A3 datetime2(3) null, O0 datetimeoffset(0) null, O datetimeoffset null, "
                         "H hierarchyid null, G geography null, C dbo.Code not null, "
                         "M dbo.Amount null, W dbo.Moment null)")
                     .number,
                 0);
        const QStringList expected{"D date 40 40 3 10 0",
                                   "T0 time 41 41 3 8 0",
                                   "T time 41 41 5 16 7",
                                   "A3 datetime2 42 42 7 23 3",
                                   "O0 datetimeoffset 43 43 8 26 0",
                                   "O datetimeoffset 43 43 10 34 7",
                                   "H hierarchyid 240 128 892 0 0",
                                   "G geography 240 130 -1 0 0",
                                   "C Code 167 257 12 0 0",
                                   "M Amount 106 258 5 9 3",
                                   "W Moment 42 259 7 23 3"};
        QCOMPARE(h.lines(query), expected);
    }
};

QTEST_GUILESS_MAIN(DateTypesTest)
#include "DateTypesTest.moc"
