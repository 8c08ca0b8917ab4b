#include "scripting/TableStatements.h"

#include "base/ProcedureError.h"
#include "scripting/ApplyStep.h"
#include "scripting/IdentityCounter.h"
#include "scripting/MergeScript.h"
#include "scripting/SqlIdentifier.h"
#include "scripting/TableColumns.h"
#include "scripting/TableFacts.h"

#include <QTest>

using namespace quarvex;

// The statements and queries as a whole, run against the stand-in:
// tests/scripting/ScriptRunIntegrationTest.
class TableStatementsTest : public QObject {
    Q_OBJECT

private slots:
    void identifiers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sql");
        const auto row = [](const char* name, const char* text, const char* sql) {
            QTest::newRow(name) << text << sql;
        };
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

    // Computed columns are left out before their type is judged; type names
    // are compared as the catalogue spells them; a sql_variant column needs
    // the option and a server from 2005 on, whose nvarchar(max) its values
    // are read through (with both: the round trip's Variants table).
    void oneColumn_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("computed");
        QTest::addColumn<bool>("newerTypes");
        QTest::addColumn<bool>("maxTypes");
        QTest::addColumn<QString>("message"); // empty: left out
        const QString refused = "Cannot generate script for data type ";
        QTest::newRow("computed") << "xml" << true << false << true << "";
        QTest::newRow("type names are case-sensitive")
            << "DateTime" << false << false << true << refused + "DateTime";
        QTest::newRow("sql_variant without the option")
            << "sql_variant" << false << false << true << refused + "sql_variant";
        QTest::newRow("sql_variant before 2005")
            << "sql_variant" << false << true << false << refused + "sql_variant";
    }

    void oneColumn() {
        QFETCH(QString, type);
        QFETCH(bool, computed);
        QFETCH(bool, newerTypes);
        QFETCH(bool, maxTypes);
        QFETCH(QString, message);
        TableColumns columns;
        columns.newerTypes = newerTypes;
        columns.maxTypes = maxTypes;
        QCOMPARE(failureOf([&] {
                     columns.add("C", {type, {}, 0}, false, computed);
                 })
                     .value_or(Failure{""})
                     .description,
                 message);
        QVERIFY(columns.columns.isEmpty());
        QVERIFY(columns.selectList.isEmpty());
    }

    // With the newer types: the class, or the message when the type is still
    // refused. An alias is read as its base type is; what each newer type
    // reads runs in the round trip.
    void newerTypeColumns_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("base");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QString& declared, const QString& base,
                            ColumnClass columnClass, const QString& message = {}) {
            QTest::newRow(name) << declared << base << columnClass << message;
        };
        using enum ColumnClass;
        row("geometry", "geometry", "", Geometry);
        row("sysname stays C", "sysname", "", C);
        row("alias over datetime2", "Moment2", "datetime2", DateTime2);
        row("assembly type without a base", "Money2", "", C,
            "Cannot generate script for data type Money2");
    }

    void newerTypeColumns() {
        QFETCH(QString, declared);
        QFETCH(QString, base);
        QFETCH(ColumnClass, columnClass);
        QFETCH(QString, message);
        TableColumns columns;
        columns.newerTypes = true;
        const auto failure = failureOf([&] {
            columns.add("Col", {declared, base, 7}, false, false);
        });
        QCOMPARE(failure.value_or(Failure{""}).description, message);
        if (failure)
            return;
        QCOMPARE(columns.columns.first().ColumnClass, columnClass);
        TableColumns plain;
        plain.newerTypes = true;
        plain.add("Col", {base.isEmpty() ? declared : base, {}, 7}, false, false);
        QCOMPARE(columns.readList, plain.readList);
    }

    // Where the counter must be set after the load, or -999 where the usual
    // statements already leave it where the source has it. Ordinary, emptied,
    // never filled and falling counters: ServerFilledTablesTest loads them.
    void identityReseed_data() {
        QTest::addColumn<IdentityCounter>("counter");
        QTest::addColumn<bool>("deletes");
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<qint64>("reseed");
        const auto row = [](const char* name, qint64 current, qint64 increment, bool used,
                            std::optional<qint64> highest, bool deletes, qint64 rows,
                            qint64 reseed) {
            QTest::newRow(name) << IdentityCounter{current, increment, used, highest} << deletes
                                << rows << reseed;
        };
        const qint64 none = -999;
        row("last rows deleted at the source, after deletes", 9, 1, true, 7, true, 3, 9);
        row("last rows deleted at the source, truncated", 9, 1, true, 7, false, 3, 9);
        row("rows below 1, after deletes: the pair stops at 1", -5, 1, true, -5, true, 3, -5);
        row("rows below 1, truncated", -5, 1, true, -5, false, 3, none);
        row("emptied, negative increment, truncated", 90, -5, true, std::nullopt, false, 0, 85);
        row("never filled, seed 1, after deletes", 1, 1, false, std::nullopt, true, 0, none);
    }

    void identityReseed() {
        QFETCH(IdentityCounter, counter);
        QFETCH(bool, deletes);
        QFETCH(qint64, rows);
        QFETCH(qint64, reseed);
        QCOMPARE(explicitReseed(counter, deletes, rows).value_or(-999), reseed);
    }

    // The columns of sys.tables each version has; none asked for before 2014.
    // 2014, 2016 and 2022: the loads of ProductionLoadTest and the round trip
    // run their queries.
    void tableFactsQueries() {
        QCOMPARE(tableFactsQuery(11, 5), QString());
        QCOMPARE(tableFactsQuery(14, 5),
                 QStringLiteral("select temporal_type,0 ledger_type,is_node,is_edge,"
                                "is_memory_optimized from sys.tables where object_id=5"));
    }

    // The table's name stands inside a string literal here.
    void reseedDoublesApostrophes() {
        QCOMPARE(reseed("dbo.[O'x]"), QStringLiteral("dbcc checkident('dbo.[O''x]',reseed,1)\r\n"
                                                     "dbcc checkident('dbo.[O''x]',reseed)\r\n"));
    }

    // Where no server can compare a type (text, ntext, image before 2005)
    // every matched row is rewritten; elsewhere text is compared through
    // its bytes, as the Unicode or 8-bit type it is (varchar and float: MergeTest
    // loads rows that differ only by case or in a float's last bit).
    void mergeComparisons_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("sql2005Plus");
        QTest::addColumn<QString>("targetBytes"); // empty: no comparison at all
        QTest::newRow("text before 2005") << "text" << false << "";
        QTest::newRow("image before 2005") << "image" << false << "";
        QTest::newRow("ntext from 2005")
            << "ntext" << true << "convert(varbinary(max),convert(nvarchar(max),t.c))";
    }

    void mergeComparisons() {
        QFETCH(QString, type);
        QFETCH(bool, sql2005Plus);
        QFETCH(QString, targetBytes);
        StagedTable table{.tableName = "dbo.T", .stagingName = stagingName(1), .key = {"id"}};
        table.columns.add("id", "int", false, false);
        table.columns.add("c", type, false, false);
        const QString difference = differenceCondition(table, sql2005Plus);
        QCOMPARE(difference.isEmpty(), targetBytes.isEmpty());
        if (!targetBytes.isEmpty())
            QVERIFY2(difference.contains(targetBytes + "<>"), qPrintable(difference));
        QCOMPARE(mergeUpdate(table, sql2005Plus).contains(" where ("), !targetBytes.isEmpty());
    }

    // A merge matches on the first key its staged rows hold: a key over a
    // computed column is passed over, and named when it is the only one.
    void mergeKeyChoice_data() {
        QTest::addColumn<QList<KeyColumn>>("rows");
        QTest::addColumn<QStringList>("key");
        QTest::addColumn<QString>("computed");
        QTest::newRow("primary key of two columns")
            << QList<KeyColumn>{{"a", 1, false}, {"b", 1, false}, {"c", 2, false}}
            << QStringList{"a", "b"} << QString();
        QTest::newRow("computed primary key, unique key after it")
            << QList<KeyColumn>{{"k", 1, true}, {"a", 2, false}, {"b", 2, false}}
            << QStringList{"a", "b"} << "k";
        QTest::newRow("only a computed key")
            << QList<KeyColumn>{{"a", 1, false}, {"k", 1, true}} << QStringList{} << "k";
        QTest::newRow("no key") << QList<KeyColumn>{} << QStringList{} << QString();
    }

    void mergeKeyChoice() {
        QFETCH(QList<KeyColumn>, rows);
        QFETCH(QStringList, key);
        QFETCH(QString, computed);
        QCOMPARE(firstKey(rows), key);
        QCOMPARE(computedKeyColumn(rows), computed);
    }

    // A name with an apostrophe or a percent sign stays one literal, and
    // raiserror takes no placeholder from it.
    void applyMessagesQuoteTheTableName() {
        StagedTable table{.tableName = "dbo.[it's 100%]",
                          .stagingName = stagingName(2),
                          .key = {"id"},
                          .deleteReason = "why"};
        table.columns.add("id", "int", false, false);
        const QString apply = applyBatches({.tables = {table}});
        QVERIFY(apply.contains("set @m=N'Nothing changed: the rows of dbo.[it''s 100%%] were"));
        QVERIFY(apply.contains("print N'Deleting the rows of dbo.[it''s 100%]: why'"));
        QVERIFY(apply.contains("print N'dbo.[it''s 100%]: '+"));
    }
};

QTEST_GUILESS_MAIN(TableStatementsTest)
#include "TableStatementsTest.moc"
