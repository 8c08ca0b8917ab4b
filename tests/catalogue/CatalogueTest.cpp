#include "base/ProcedureError.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/RowFilter.h"

#include <QTest>

using namespace quarvex;

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
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
        accepted("subquery", "proc", "id in (select object_id from sys.objects where (1=1))");
        accepted("literal holding the dangerous characters", "trigger",
                 "name <> N'it''s ) -- ; /*' and owner <> ')'");
        accepted("bracketed name holding them", "view", "[a]]) --;/*] is null or name = 'x'");
        accepted("double-quoted name holding them", "function", "\"x)--;\" is null");
        accepted("minus signs apart", "table", "id - -1 > 0 and id / 2 * 3 > 0");
        accepted("blanks", "table", "  ");
        refused("closing before opening", "proc", "a) or (b",
                "it closes a parenthesis it did not open");
        refused("statement end", "trigger", "name = 'a'; delete from t", "it holds \";\"");
        refused("line comment", "view", "name like 'a' --", "it holds a comment start");
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

    // An object argument carries its row filter after the word where; the
    // filter is checked as a list filter, and must hold no line break.
    void objectArguments_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("fault"); // empty: a single condition
        QTest::newRow("a filter, blanks trimmed") << "table:dbo.Orders  WHERE  Region = 'EU' "
                                                  << "table:dbo.Orders"
                                                  << "Region = 'EU'"
                                                  << "";
        QTest::newRow("a name holding the letters") << "table:dbo.Nowhere where x=1"
                                                    << "table:dbo.Nowhere"
                                                    << "x=1"
                                                    << "";
        QTest::newRow("the first where splits") << "table:dbo.T where a = 'b where c'"
                                                << "table:dbo.T"
                                                << "a = 'b where c'"
                                                << "";
        QTest::newRow("a second statement") << "table:dbo.T where 1=1; delete from dbo.T"
                                            << "table:dbo.T"
                                            << "1=1; delete from dbo.T"
                                            << "it holds \";\"";
        QTest::newRow("a line break") << "table:dbo.T where a=1\nGO"
                                      << "table:dbo.T"
                                      << "a=1\nGO"
                                      << "it holds a line break or control character";
        // sqlcmd replaces it in the script's delete, quoted or not.
        QTest::newRow("a sqlcmd variable") << "table:dbo.T where a = '$(x)'"
                                           << "table:dbo.T"
                                           << "a = '$(x)'"
                                           << "it holds \"$(\"";
    }

    void objectArguments() {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        QFETCH(QString, condition);
        QFETCH(QString, fault);
        const ObjectArgument split = splitObjectArgument(argument);
        QCOMPARE(split.name, name);
        QCOMPARE(split.rowFilter, condition);
        const auto failure = failureOf([&] { checkRowFilter("dbo.T", split.rowFilter); });
        QCOMPARE(failure.has_value(), !fault.isEmpty());
        if (failure)
            QCOMPARE(failure->description, "The row filter of dbo.T \"" + condition +
                                               "\" is not a single condition: " + fault);
    }

    void unknownTypeCodes_data() {
        QTest::addColumn<QString>("typeCode");
        QTest::newRow("inline function") << "IF";
        QTest::newRow("untrimmed") << "U ";
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
