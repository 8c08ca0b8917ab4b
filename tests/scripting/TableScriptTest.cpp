#include "scripting/TableScript.h"

#include "base/ProcedureError.h"
#include "scripting/MergeScript.h"
#include "scripting/SqlIdentifier.h"

#include <QTest>

using namespace quarvex;

// The statements and queries as a whole, run against the stand-in:
// tests/scripting/ScriptRunIntegrationTest.
class TableScriptTest : public QObject {
    Q_OBJECT

private slots:
    void identifiers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sql");
        const auto row = [](const char* name, const char* text, const char* sql) {
            QTest::newRow(name) << text << sql;
        };
        row("plain", "Orders", "Orders");
        row("blank", "Customer Name", "[Customer Name]");
        row("reserved word in any case", "Key", "[Key]");
        row("alias of a reserved word is not reserved", "Key__ms", "Key__ms");
        row("domain account", "DOMAIN\\user", "[DOMAIN\\user]");
        row("closing bracket doubled", "a]b", "[a]]b]");
        row("digit first", "1st", "[1st]");
        row("underscore first, specials after", "_a@b#c$1", "_a@b#c$1");
        row("at sign first", "@x", "[@x]");
        row("non-latin letters", "Straße", "Straße");
        row("empty", "", "[]");
    }

    void identifiers() {
        QFETCH(QString, name);
        QFETCH(QString, sql);
        QCOMPARE(sqlIdentifier(name), sql);
    }

    void computedColumnsLeftOutBeforeTheirTypeIsJudged() {
        TableColumns columns;
        columns.add("Total", "xml", false, true);
        QVERIFY(columns.columns.isEmpty());
        QVERIFY(columns.selectList.isEmpty());
    }

    // Type names are compared as the catalogue spells them.
    void typeNamesAreCaseSensitive() {
        TableColumns columns;
        QCOMPARE(failureOf([&] { columns.add("D", "DateTime", false, false); })
                     .value_or(Failure{"<none>"})
                     .description,
                 QStringLiteral("Cannot generate script for data type DateTime"));
    }

    // With the newer types: the class, and what the row query reads (a
    // column named "Col"), or the message when the type is still refused.
    // The round trip covers the other types.
    void newerTypeColumns_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("base");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QString>("read"); // or the message
        const auto row = [](const char* name, const QString& declared, const QString& base,
                            ColumnClass columnClass, const QString& read) {
            QTest::newRow(name) << declared << base << columnClass << read;
        };
        using enum ColumnClass;
        const QString asText = "convert(varchar(40),Col,121) Col";
        row("xml as Unicode text", "xml", "", U, "convert(nvarchar(max),Col) Col");
        row("geometry as bytes", "geometry", "", Geometry, "convert(varbinary(max),Col) Col");
        row("sysname stays C", "sysname", "", C, "Col");
        row("alias over datetime2", "Moment2", "datetime2", DateTime2, asText);
        row("sql_variant refused", "sql_variant", "", C,
            "Cannot generate script for data type sql_variant");
        row("alias over a refused type named by the alias", "Anything", "sql_variant", C,
            "Cannot generate script for data type Anything");
        row("assembly type without a base", "Money2", "", C,
            "Cannot generate script for data type Money2");
    }

    void newerTypeColumns() {
        QFETCH(QString, declared);
        QFETCH(QString, base);
        QFETCH(ColumnClass, columnClass);
        QFETCH(QString, read);
        TableColumns columns;
        columns.newerTypes = true;
        const auto failure = failureOf([&] {
            columns.add("Col", {declared, base, 7}, false, false);
        });
        if (failure) {
            QCOMPARE(failure->description, read);
            return;
        }
        QCOMPARE(columns.columns.first().ColumnClass, columnClass);
        QCOMPARE(columns.readList, read);
        QCOMPARE(columns.selectList, QStringLiteral("Col"));
    }

    // The table's name stands inside a string literal here.
    void reseedDoublesApostrophes() {
        QCOMPARE(reseed("dbo.[O'x]"), QStringLiteral("dbcc checkident('dbo.[O''x]',reseed,1)\r\n"
                                                     "dbcc checkident('dbo.[O''x]',reseed)\r\n"
                                                     "GO\r\n\r\n"));
    }

    // Where no server can compare a type (text, ntext, image before 2005)
    // every matched row is rewritten; elsewhere text is compared through
    // its bytes, as the Unicode or 8-bit type it is.
    void mergeComparisons_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("sql2005Plus");
        QTest::addColumn<QString>("targetBytes"); // empty: no comparison at all
        QTest::newRow("varchar before 2005") << "varchar" << false
                                             << "convert(varbinary(8000),t.c)";
        QTest::newRow("text before 2005") << "text" << false << "";
        QTest::newRow("image before 2005") << "image" << false << "";
        QTest::newRow("ntext from 2005")
            << "ntext" << true << "convert(varbinary(max),convert(nvarchar(max),t.c))";
        QTest::newRow("float from 2005") << "float" << true << "convert(varbinary(max),t.c)";
    }

    void mergeComparisons() {
        QFETCH(QString, type);
        QFETCH(bool, sql2005Plus);
        QFETCH(QString, targetBytes);
        MergeTable table{"dbo.T", stagingName(1), {}, {"id"}, {}, 1};
        table.columns.add("id", "int", false, false);
        table.columns.add("c", type, false, false);
        const QString difference = differenceCondition(table, sql2005Plus);
        QCOMPARE(difference.isEmpty(), targetBytes.isEmpty());
        if (!targetBytes.isEmpty())
            QVERIFY2(difference.contains(targetBytes + "<>"), qPrintable(difference));
        const QString apply = applyStep({table}, sql2005Plus);
        QCOMPARE(apply.contains(" where ("), !targetBytes.isEmpty());
    }

    // A name with an apostrophe or a percent sign stays one literal, and
    // raiserror takes no placeholder from it.
    void mergeMessagesQuoteTheTableName() {
        MergeTable table{"dbo.[it's 100%]", stagingName(2), {}, {"id"}, {}, 0};
        table.columns.add("id", "int", false, false);
        const QString apply = applyStep({table}, true);
        QVERIFY(apply.contains("raiserror(N'Nothing applied: the rows of dbo.[it''s 100%%] were"));
        QVERIFY(apply.contains("print N'Deleting the rows of dbo.[it''s 100%] that"));
    }
};

QTEST_GUILESS_MAIN(TableScriptTest)
#include "TableScriptTest.moc"
