// The types SQL Server 2008 brought, as the stand-in declares, lists, stores,
// converts and orders them (their wire forms: DateTypesClientsTest).

#include "EngineHarness.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

class DateTypesTest : public QObject {
    Q_OBJECT
private slots:
    void onlyFrom2008_data();
    void onlyFrom2008();
    void catalogueRows_data();
    void catalogueRows();
    void convertedUnderBritish();
    void comparedAndOrderedByValue();
};

namespace {

QStringList joinedRows(const QList<QVariantList>& rows) {
    QStringList lines;
    for (const QVariantList& row : rows) {
        QStringList parts;
        for (const QVariant& v : row)
            parts << v.toString();
        lines << parts.join(u' ');
    }
    return lines;
}

} // namespace

void DateTypesTest::onlyFrom2008_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("batch");
    QTest::addColumn<int>("number");
    QTest::newRow("date column on 2005") << "9.00.1399"
                                         << "create table dbo.N (D date null)" << 2715;
    QTest::newRow("cast to hierarchyid on 2005") << "9.00.1399"
                                                 << "select cast(0x58 as hierarchyid)" << 243;
    QTest::newRow("every type on 2008")
        << "10.00.1600"
        << "create table dbo.N (D date null, T time(0) null, A datetime2 null, O "
           "datetimeoffset(3) null, H hierarchyid null, G geography null, M geometry null)"
        << 0;
    QTest::newRow("scale 8") << "16.00.1000"
                             << "create table dbo.N (T time(8) null)" << 2715;
}

void DateTypesTest::onlyFrom2008() {
    QFETCH(QString, version);
    QFETCH(QString, batch);
    QFETCH(int, number);
    EngineHarness h(version);
    QCOMPARE(h.error(batch).number, number);
}

void DateTypesTest::catalogueRows_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("query");
    const QString modern = QStringLiteral(
        "select c.name, t.name, c.system_type_id, c.user_type_id, c.max_length, c.precision, "
        "c.scale from sys.columns c join sys.types t on t.user_type_id = c.user_type_id "
        "where c.object_id = object_id('dbo.N') order by c.column_id");
    const QString legacy =
        QStringLiteral("select c.name, t.name, c.xtype, c.xusertype, c.length, c.xprec, c.xscale "
                       "from syscolumns c join systypes t on t.xusertype = c.xusertype "
                       "where c.id = object_id('dbo.N') order by c.colid");
    QTest::newRow("2008 catalogue views") << "10.00.1600" << modern;
    QTest::newRow("2022 system tables") << "16.00.1000" << legacy;
}

void DateTypesTest::catalogueRows() {
    QFETCH(QString, version);
    QFETCH(QString, query);
    EngineHarness h(version);
    QCOMPARE(h.error("create type dbo.Code from varchar(12) not null\n"
                     "create type dbo.Qty from int null\n"
                     "create type dbo.Flag from bit null\n"
                     "create type dbo.Stamp from datetime null\n"
                     "create type dbo.Amount from decimal(9,3) null\n"
                     "create type dbo.Moment from datetime2(3) null\n"
                     "create table dbo.N (D date null, T0 time(0) null, T time null, "
                     "A3 datetime2(3) null, O0 datetimeoffset(0) null, O datetimeoffset null, "
                     "H hierarchyid null, G geography null, C dbo.Code not null, Q dbo.Qty null, "
                     "F dbo.Flag null, S dbo.Stamp null, M dbo.Amount null, W dbo.Moment null)")
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
                               "Q Qty 56 258 4 10 0",
                               "F Flag 104 259 1 1 0",
                               "S Stamp 61 260 8 23 3",
                               "M Amount 106 261 5 9 3",
                               "W Moment 42 262 7 23 3"};
    QCOMPARE(joinedRows(h.rows(query)), expected);
}

void DateTypesTest::convertedUnderBritish() {
    EngineHarness h("16.00.1000");
    h.run("set language british");
    QCOMPARE(
        h.error("create table dbo.V (T time(3) null, O datetimeoffset null)\n"
                "insert into dbo.V values ('12:34:54.1235', '2024-01-02 03:04:05.1234567 +05:45')")
            .number,
        0);
    // No style writes what style 121 writes, with the column's fraction digits.
    QCOMPARE(h.rows("select cast(T as varchar(20)), convert(nvarchar(40), O, 121), "
                    "convert(varchar(40), O, 127) from dbo.V"),
             (QList<QVariantList>{{"12:34:54.124", "2024-01-02 03:04:05.1234567 +05:45",
                                   "2024-01-01T21:19:05.1234567Z"}}));
}

void DateTypesTest::comparedAndOrderedByValue() {
    EngineHarness h("16.00.1000");
    h.run("create table dbo.O (Id int not null, At datetimeoffset(0) null, Due datetime2(3) null)\n"
          "insert into dbo.O values (1, '2024-01-02 10:00:00 +05:00', '2024-01-02 10:00:00')\n"
          "insert into dbo.O values (2, '2024-01-02 06:00:00 +00:00', '2024-01-02 09:59:59.999')\n"
          "insert into dbo.O values (3, '2024-01-01 23:00:00 -14:00', '0001-01-01 00:00:00')");
    // By the instant, not the local time: 05:00, 06:00 and 13:00 UTC.
    QCOMPARE(h.rows("select Id from dbo.O order by At"),
             (QList<QVariantList>{{qint64(1)}, {qint64(2)}, {qint64(3)}}));
    // The same moment written at another scale is equal.
    QCOMPARE(h.scalar("select Id from dbo.O where Due = '2024-01-02 10:00:00.0000000'"),
             QVariant(qint64(1)));
    QCOMPARE(h.scalar("select count(*) from dbo.O where At <= '2024-01-02 07:00:00 +01:00'"),
             QVariant(qint64(2)));
}

QTEST_GUILESS_MAIN(DateTypesTest)
#include "DateTypesTest.moc"
