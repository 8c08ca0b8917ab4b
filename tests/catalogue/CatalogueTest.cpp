#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/CatalogueQuery.h"
#include "base/ProcedureError.h"

#include <QTest>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::CatalogueFilters)

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void queryOf2005AndLater() {
        const QString inner = "(select name,schema_name(schema_id) owner,type,object_id id from "
                              "sys.objects where type in ('U','P','TR','V','FN')) as v ";
        const QString expected =
            "select * from " + inner + "where type='U' and (name like 'Cust%') union " +
            "select * from " + inner + "where type='P' union " + "select * from " + inner +
            "where type='TR' union " + "select * from " + inner + "where type='V' union " +
            "select * from " + inner + "where type='FN' order by 3,1,2 ";
        QCOMPARE(catalogueQuery(true, {"name like 'Cust%'", {}, {}, {}, {}}), expected);
    }

    void queryOfOlderServersUsesSystemTables() {
        const QString query = catalogueQuery(false, {});
        QCOMPARE(query.count("(select name,user_name(uid) owner,xtype type,id from sysobjects "
                             "where xtype in ('U','P','TR','V','FN')) as v "),
                 5);
        QVERIFY(!query.contains("sys."));
    }

    void filtersGoToTheirOwnKind_data() {
        QTest::addColumn<CatalogueFilters>("filters");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("procs") << CatalogueFilters{{}, "name like 'sp%'", {}, {}, {}}
                               << "where type='P' and (name like 'sp%') union ";
        QTest::newRow("triggers") << CatalogueFilters{{}, {}, "owner in ('dbo')", {}, {}}
                                  << "where type='TR' and (owner in ('dbo')) union ";
        QTest::newRow("views") << CatalogueFilters{{}, {}, {}, "a or b", {}}
                               << "where type='V' and (a or b) union ";
        QTest::newRow("functions last, before the order")
            << CatalogueFilters{{}, {}, {}, {}, "name like 'fn%'"}
            << "where type='FN' and (name like 'fn%') order by 3,1,2 ";
        QTest::newRow("blanks are a filter too")
            << CatalogueFilters{"  ", {}, {}, {}, {}} << "where type='U' and (  ) union ";
    }

    void filtersGoToTheirOwnKind() {
        QFETCH(CatalogueFilters, filters);
        QFETCH(QString, fragment);
        const QString query = catalogueQuery(true, filters);
        QVERIFY2(query.contains(fragment), qPrintable(query));
        QCOMPARE(query.count(" and ("), 1);
    }

    // A filter is one condition: nothing in it may end the query's
    // parenthesis, end the statement or comment out the rest, while quoted
    // text and bracketed names may hold anything.
    void filterChecks_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("fault"); // empty: accepted
        const auto accepted = [](const char* name, const char* kind, const QString& condition) {
            QTest::newRow(name) << kind << condition << QString();
        };
        const auto refused = [](const char* name, const char* kind, const QString& condition,
                                const char* fault) {
            QTest::newRow(name) << kind << condition << fault;
        };
        accepted("plain", "table", "name like 'Cust%'");
        accepted("subquery", "proc", "id in (select object_id from sys.objects where (1=1))");
        accepted("literal holding the dangerous characters", "trigger",
                 "name <> N'it''s ) -- ; /*' and owner <> ')'");
        accepted("bracketed name holding them", "view", "[a]]) --;/*] is null or name = 'x'");
        accepted("double-quoted name holding them", "function", "\"x)--;\" is null");
        accepted("minus signs apart", "table", "id - -1 > 0 and id / 2 * 3 > 0");
        accepted("blanks", "table", "  ");
        refused("closing the query's parenthesis", "table", "1=1) delete from dbo.Customers --",
                "it closes a parenthesis it did not open");
        refused("closing before opening", "proc", "a) or (b",
                "it closes a parenthesis it did not open");
        refused("statement end", "trigger", "name = 'a'; delete from t", "it holds \";\"");
        refused("line comment", "view", "name like 'a' --", "it holds a comment start");
        refused("line comment between numbers", "view", "id = 1--1", "it holds a comment start");
        refused("block comment", "function", "name /* x */ = 'a'", "it holds a comment start");
        refused("open quote", "proc", "name = 'x",
                "its quoted text or bracketed name is not closed");
        refused("doubled quote at the end", "proc", "name = 'x''",
                "its quoted text or bracketed name is not closed");
        refused("open bracket", "trigger", "[x]] = 1",
                "its quoted text or bracketed name is not closed");
    }

    void filterChecks() {
        QFETCH(QString, kind);
        QFETCH(QString, condition);
        QFETCH(QString, fault);
        CatalogueFilters filters{"a = 1", "b = 1", "c = 1", "d = 1", "e = 1"};
        const QHash<QString, QString*> filterOf{{"table", &filters.tables},
                                                {"proc", &filters.procs},
                                                {"trigger", &filters.triggers},
                                                {"view", &filters.views},
                                                {"function", &filters.functions}};
        *filterOf.value(kind) = condition;
        const auto failure = failureOf([&] { checkCatalogueFilters(filters); });
        QCOMPARE(failure.value_or(Failure{}).description,
                 fault.isEmpty() ? QString()
                                 : "The " + kind + " filter \"" + condition +
                                       "\" is not a single condition: " + fault);
    }

    void entries_data() {
        QTest::addColumn<QString>("typeCode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("table has no blank after its colon")
            << "U"
            << "Orders"
            << "dbo" << 117 << "Table:\tOrders (dbo) \t\t\t\t\t117";
        QTest::newRow("proc") << "P"
                              << "spGet"
                              << "dbo" << 5 << "Proc: \tspGet (dbo) \t\t\t\t\t5";
        QTest::newRow("trigger") << "TR"
                                 << "trX"
                                 << "a b" << 6 << "Trig: \ttrX (a b) \t\t\t\t\t6";
        QTest::newRow("view") << "V"
                              << "vw"
                              << "x" << 7 << "View: \tvw (x) \t\t\t\t\t7";
        QTest::newRow("negative id")
            << "FN"
            << "fnA"
            << "dbo" << -1073741823 << "Func: \tfnA (dbo) \t\t\t\t\t-1073741823";
        QTest::newRow("name with parenthesis unescaped")
            << "U"
            << "a (b)"
            << "c)d" << 1 << "Table:\ta (b) (c)d) \t\t\t\t\t1";
        QTest::newRow("no owner") << "U"
                                  << "t"
                                  << "" << 2 << "Table:\tt () \t\t\t\t\t2";
    }

    void entries() {
        QFETCH(QString, typeCode);
        QFETCH(QString, name);
        QFETCH(QString, owner);
        QFETCH(int, id);
        QFETCH(QString, text);
        const ListEntry entry = catalogueEntry(kindOfTypeCode(typeCode), name, owner, id);
        QCOMPARE(entry.text, text);
        QCOMPARE(entry.object.name, name);
        QCOMPARE(entry.object.owner, owner);
        QCOMPARE(entry.object.id, id);
    }

    void unknownTypeCodes_data() {
        QTest::addColumn<QString>("typeCode");
        QTest::newRow("inline function") << "IF";
        QTest::newRow("lower case") << "u";
        QTest::newRow("untrimmed") << "U ";
        QTest::newRow("empty") << "";
    }

    void unknownTypeCodes() {
        QFETCH(QString, typeCode);
        QCOMPARE(
            failureOf([&] { kindOfTypeCode(typeCode); }).value_or(Failure{"<none>"}).description,
            QStringLiteral("Unexpected fall to Case Else"));
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "CatalogueTest.moc"
