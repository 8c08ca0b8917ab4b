// The catalogue of both server generations, read with the program's own
// queries over the sample database.

#include "EngineHarness.h"
#include "standin/SampleDatabase.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void sampleLoads();
    void catalogueQueryWithDefaultFilters_data();
    void catalogueQueryWithDefaultFilters();
    void filterErrorNamesTheColumn();
    void columnQueries_data();
    void columnQueries();
    void rowQueryWithMillisecondColumns();
    void definitionsInPieces();
    void encryptedDefinitions_data();
    void encryptedDefinitions();
    void modernViewsAbsentBefore2005();
};

namespace {

// The catalogue query exactly as the program assembles it.
QString catalogueQuery(bool modern, const QStringList& filters) {
    const QString inner =
        modern ? QStringLiteral("select name,schema_name(schema_id) owner,type,object_id id "
                                "from sys.objects where type in ('U','P','TR','V','FN')")
               : QStringLiteral("select name,user_name(uid) owner,xtype type,id "
                                "from sysobjects where xtype in ('U','P','TR','V','FN')");
    const QStringList codes{"U", "P", "TR", "V", "FN"};
    QStringList blocks;
    for (int i = 0; i < 5; ++i) {
        QString block = QStringLiteral("select * from (") + inner +
                        QStringLiteral(") as v where type='") + codes[i] + QStringLiteral("' ");
        if (!filters[i].isEmpty())
            block += QStringLiteral("and (") + filters[i] + QStringLiteral(") ");
        blocks.append(block);
    }
    return blocks.join(QStringLiteral("union ")) + QStringLiteral("order by 3,1,2 ");
}

const QStringList defaultFilters{"name not like 'pbcat%' and name not like 'dtprop%'",
                                 "name like 'sp%'", "owner in ('dbo','specialUserID')",
                                 "name not like 'sys%'", "name like 'fn%'"};

EngineHarness* withSample(EngineHarness* h) {
    const QString error =
        h->engine.runScript(h->session, sampleDatabaseScript(h->engine.majorVersion()));
    if (!error.isEmpty())
        qWarning("sample: %s", qPrintable(error));
    return h;
}

} // namespace

void CatalogueTest::sampleLoads() {
    for (const char* version : {"9.00.1399", "8.00.2039", "10.00.1600"}) {
        EngineHarness h(version);
        QCOMPARE(h.engine.runScript(h.session, sampleDatabaseScript(h.engine.majorVersion())),
                 QString());
        QCOMPARE(h.scalar("select count(*) from dbo.StockMovements"), QVariant(qint64(300)));
        // Its tables in the types of 2008 come with 2008 only.
        QCOMPARE(h.scalar("select count(*) from sysobjects where name in ('Shipments', "
                          "'Warehouses')"),
                 QVariant(qint64(QByteArray(version).startsWith("10") ? 2 : 0)));
    }
}

void CatalogueTest::catalogueQueryWithDefaultFilters_data() {
    QTest::addColumn<QString>("version");
    QTest::newRow("2005 catalogue views") << "9.00.1399";
    QTest::newRow("2000 system tables") << "8.00.2039";
}

void CatalogueTest::catalogueQueryWithDefaultFilters() {
    QFETCH(QString, version);
    EngineHarness h(version);
    withSample(&h);
    const QList<QVariantList> rows =
        h.rows(catalogueQuery(version.startsWith(u'9'), defaultFilters));
    QStringList listed;
    for (const QVariantList& row : rows) {
        QCOMPARE(row[2].toString().size(), 2); // padded like char(2)
        listed.append(row[2].toString().trimmed() + u' ' + row[1].toString() + u'.' +
                      row[0].toString());
        QVERIFY(row[3].toLongLong() > 0);
    }
    const QStringList expected{"FN dbo.fnOrderTotal",
                               "P dbo.spArchiveOrders",
                               "P dbo.spCustomerOrders",
                               "P dbo.spListProducts",
                               "P dbo.spPricingRules",
                               "P sales.spRegionTotals",
                               "P dbo.spStockReport",
                               "TR dbo.trOrdersAudit",
                               "TR dbo.trProductsStock",
                               "U Back Office.Cost Centres",
                               "U dbo.Customers",
                               "U dbo.Departments",
                               "U dbo.Digits",
                               "U dbo.Employees",
                               "U dbo.Order Details",
                               "U dbo.Orders",
                               "U dbo.Products",
                               "U dbo.ProductSpecs",
                               "U sales.Regions",
                               "U east/west.Routes",
                               "U dbo.StockMovements",
                               "U dbo.SupplierContacts",
                               "U dbo.TypeSamples",
                               "U CORP\\buyer.Wishlist",
                               "V Back Office.vwCostCentres",
                               "V dbo.vwProductList"};
    QCOMPARE(listed, expected);
    // Without filters every kind is complete, the unlisted function kinds still left out.
    const QList<QVariantList> all =
        h.rows(catalogueQuery(version.startsWith(u'9'), {"", "", "", "", ""}));
    QCOMPARE(all.size(), 32);
}

void CatalogueTest::filterErrorNamesTheColumn() {
    EngineHarness h;
    withSample(&h);
    QStringList filters = defaultFilters;
    filters[1] = QStringLiteral("nmae like 'sp%'");
    const SqlError error = h.error(catalogueQuery(true, filters));
    QCOMPARE(error.number, 207);
    QCOMPARE(error.message, QStringLiteral("Invalid column name 'nmae'."));
}

void CatalogueTest::columnQueries_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("columns");
    const QString orders =
        "OrderId int 1 1 0|CustomerCode nchar 0 2 0|Order Date datetime 0 3 0|"
        "ShippedDate smalldatetime 0 4 0|Freight money 0 5 0|RowStamp timestamp 0 6 0";
    QTest::newRow("2005 identity and timestamp") << "9.00.1399"
                                                 << "dbo.Orders" << orders;
    QTest::newRow("2000 identity and timestamp") << "8.00.2039"
                                                 << "dbo.Orders" << orders;
    QTest::newRow("2005 computed column")
        << "9.00.1399"
        << "dbo.[Order Details]"
        << "OrderId int 0 1 0|ProductId int 0 2 0|UnitPrice money 0 3 0|"
           "Quantity smallint 0 4 0|Discount real 0 5 0|LineTotal money 0 6 1";
    QTest::newRow("2000 computed column")
        << "8.00.2039"
        << "dbo.[Order Details]"
        << "OrderId int 0 1 0|ProductId int 0 2 0|UnitPrice money 0 3 0|"
           "Quantity smallint 0 4 0|Discount real 0 5 0|LineTotal money 0 6 1";
    QTest::newRow("alias type by its own name")
        << "9.00.1399"
        << "dbo.SupplierContacts"
        << "ContactId int 1 1 0|SupplierName nvarchar 0 2 0|Phone PhoneNumber 0 3 0";
    QTest::newRow("xml") << "9.00.1399"
                         << "dbo.ProductSpecs"
                         << "ProductId int 0 1 0|Sheet xml 0 2 0";
}

void CatalogueTest::columnQueries() {
    QFETCH(QString, version);
    QFETCH(QString, table);
    QFETCH(QString, columns);
    EngineHarness h(version);
    withSample(&h);
    const QString id = h.scalar(QStringLiteral("select object_id('%1')").arg(table)).toString();
    const QString query =
        version.startsWith(u'9')
            ? QStringLiteral(
                  "select a.name,b.name type,convert(tinyint,a.is_identity) ident,a.column_id "
                  "colid,"
                  "convert(tinyint,a.is_computed) computed from sys.columns a join sys.types b "
                  "on a.user_type_id=b.user_type_id where a.object_id=%1 order by 4 ")
                  .arg(id)
            : QStringLiteral(
                  "select a.name,b.name type,(a.status&128)/128 ident,a.colid,a.iscomputed "
                  "from syscolumns a join systypes b on a.xusertype=b.xusertype "
                  "where a.id=%1 order by 4 ")
                  .arg(id);
    QStringList got;
    for (const QVariantList& row : h.rows(query)) {
        QStringList parts;
        for (const QVariant& v : row)
            parts.append(v.toString());
        got.append(parts.join(u' '));
    }
    QCOMPARE(got.join(u'|'), columns);
}

void CatalogueTest::rowQueryWithMillisecondColumns() {
    EngineHarness h;
    withSample(&h);
    const QList<QVariantList> rows =
        h.rows("select OrderId,CustomerCode,[Order Date],ShippedDate,Freight,datepart(ms,[Order "
               "Date]) [Order Date__ms] "
               "from dbo.Orders order by OrderId");
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0][0], QVariant(qint64(1000)));
    QCOMPARE(rows[0][2], QVariant(QStringLiteral("2008-12-10T14:05:09.007")));
    QCOMPARE(rows[0][5], QVariant(qint64(7)));
    QCOMPARE(rows[2][5], QVariant(qint64(997)));
    QCOMPARE(rows[2][3], QVariant(QStringLiteral("2009-01-02T16:45:00.000")));
}

void CatalogueTest::definitionsInPieces() {
    EngineHarness h("8.00.2039");
    withSample(&h);
    const QString id =
        h.scalar("select id from sysobjects where name = 'spStockReport'").toString();
    const QList<QVariantList> pieces =
        h.rows(QStringLiteral("select text,convert(tinyint,encrypted),number,colid from "
                              "syscomments where id=%1 order by 3,4 ")
                   .arg(id));
    QVERIFY(pieces.size() >= 3);
    QString joined;
    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(pieces[i][0].toString().size() <= 4000);
        if (i + 1 < pieces.size())
            QCOMPARE(pieces[i][0].toString().size(), 4000);
        QCOMPARE(pieces[i][1], QVariant(qint64(0)));
        QCOMPARE(pieces[i][3], QVariant(qint64(i + 1)));
        joined += pieces[i][0].toString();
    }
    // The batch text is kept as sent, with the blank line after GO.
    QVERIFY(joined.startsWith(QStringLiteral("\ncreate procedure dbo.spStockReport")));
    QVERIFY(joined.endsWith(QStringLiteral("group by p.ProductName\n")));
    const QString archive =
        h.scalar("select id from sysobjects where name = 'spArchiveOrders'").toString();
    const QList<QVariantList> numbered =
        h.rows(QStringLiteral("select text,convert(tinyint,encrypted),number,colid from "
                              "syscomments where id=%1 order by 3,4 ")
                   .arg(archive));
    QCOMPARE(numbered.size(), 2);
    QCOMPARE(numbered[1][2], QVariant(qint64(2)));
    QVERIFY(numbered[1][0].toString().contains(QStringLiteral("spArchiveOrders;2")));
}

void CatalogueTest::encryptedDefinitions_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("query");
    QTest::newRow("2005") << "9.00.1399"
                          << "select definition,case when definition is null then 1 else 0 end "
                             "from sys.sql_modules where object_id=%1 ";
    QTest::newRow("2000") << "8.00.2039"
                          << "select text,convert(tinyint,encrypted),number,colid from syscomments "
                             "where id=%1 order by 3,4 ";
}

void CatalogueTest::encryptedDefinitions() {
    QFETCH(QString, version);
    QFETCH(QString, query);
    EngineHarness h(version);
    withSample(&h);
    const QString id = h.scalar("select object_id('dbo.spPricingRules')").toString();
    const QList<QVariantList> rows = h.rows(query.arg(id));
    QCOMPARE(rows.size(), 1);
    QVERIFY(rows[0][0].isNull());
    QCOMPARE(rows[0][1], QVariant(qint64(1)));
    const QString plain = h.scalar("select object_id('dbo.spCustomerOrders')").toString();
    const QString text = h.rows(query.arg(plain)).value(0).value(0).toString();
    QVERIFY(text.startsWith(QStringLiteral("\n-- Orders of one customer, newest first.\n")));
}

void CatalogueTest::modernViewsAbsentBefore2005() {
    EngineHarness h("8.00.2039");
    const SqlError error = h.error(catalogueQuery(true, {"", "", "", "", ""}));
    QCOMPARE(error.number, 208);
    QCOMPARE(error.message, QStringLiteral("Invalid object name 'sys.objects'."));
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "CatalogueTest.moc"
