// T-SQL as the stand-in runs it: each translation rule and each SQL Server
// behaviour the program and its scripts rely on.

#include "EngineHarness.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

namespace {

const char* const setup = R"(
create table dbo.T (Id int identity(1,1) not null, Name varchar(20) null, [Key] int null)
)";

} // namespace

class TranslationTest : public QObject {
    Q_OBJECT

private slots:
    void errors_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* batch, int number, const char* message) {
            QTest::newRow(name) << batch << number << message;
        };
        row("unknown table", "select * from dbo.Nope", 208, "Invalid object name 'dbo.Nope'.");
        row("unknown column", "select Nope from dbo.T", 207, "Invalid column name 'Nope'.");
        row("syntax", "select * from dbo.T where", 102,
            "Incorrect syntax near the keyword 'where'.");
        row("unclosed quote", "select 'abc", 105,
            "Unclosed quotation mark after the character string 'abc'.");
        row("comment cuts the query",
            "select * from (select 1 a) as v where (a = 1 -- x) order by 1", 102,
            "Incorrect syntax near '1'.");
        row("explicit identity value", "insert into dbo.T (Id, Name) values (5, 'x')", 544,
            "Cannot insert explicit value for identity column in table 'T' when IDENTITY_INSERT is "
            "set to OFF.");
        row("string too long", "insert into dbo.T (Name) values (replicate('x', 21))", 8152,
            "String or binary data would be truncated.");
        row("conversion", "insert into dbo.T (Name, [Key]) values ('a', 'b')", 245,
            "Conversion failed when converting the varchar value 'b' to data type int.");
        row("procedure not first", "select 1\ncreate procedure p as select 1", 111,
            "'CREATE PROCEDURE' must be the first statement in a query batch.");
        row("a second module in a module's batch",
            "create procedure g;1 as select 1\ncreate procedure g;2 as select 2", 111,
            "'CREATE PROCEDURE' must be the first statement in a query batch.");
        row("unsupported statement is named", "exec sp_who", 50000,
            "The stand-in does not support EXEC.");
        row("CREATE OR ALTER before 2016 SP1", "create or alter procedure p as select 1", 102,
            "Incorrect syntax near the keyword 'or'.");
        row("renaming what is not there", "exec sp_rename 'dbo.Nope', 'Other'", 15248,
            "Either the parameter @objname is ambiguous or the claimed @objtype (OBJECT) is "
            "wrong.");
        row("renaming a column is not supported", "exec sp_rename 'T.Name', 'N', 'COLUMN'", 50000,
            "The stand-in does not support sp_rename of a COLUMN.");
    }

    void errors() {
        QFETCH(QString, batch);
        QFETCH(int, number);
        QFETCH(QString, message);
        EngineHarness h;
        QCOMPARE(h.error(QString::fromLatin1(setup)).number, 0);
        const SqlError error = h.error(batch);
        QCOMPARE(error.number, number);
        QCOMPARE(error.message, message);
    }

    void expressions_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("char(2) compares without trailing blank")
            << "select count(*) from sys.objects where type = 'S'" << QVariant(qint64(4));
        QTest::newRow("plus concatenates strings") << "select 'a' + N'b' + 'c'" << QVariant("abc");
        QTest::newRow("null concatenation is null") << "select 'a' + null" << QVariant();
        QTest::newRow("float literal correctly rounded")
            << "select 3.0000000000000004E-1" << QVariant(0.30000000000000004);
        QTest::newRow("negative exact literal keeps digits")
            << "select -1234567890123456789.123456789"
            << QVariant("-1234567890123456789.123456789");
        QTest::newRow("empty binary literal") << "select datalength(0x)" << QVariant(qint64(0));
    }

    void expressions() {
        QFETCH(QString, query);
        QFETCH(QVariant, value);
        EngineHarness h;
        QCOMPARE(h.scalar(query), value);
    }

    void syntaxErrorRunsNothing() {
        EngineHarness h;
        h.run(QString::fromLatin1(setup));
        QCOMPARE(h.error("insert into dbo.T (Name) values ('a')\nselec 1").number, 102);
        QCOMPARE(h.scalar("select count(*) from dbo.T"), QVariant(qint64(0)));
    }

    void concatenationCutAt8000Bytes() {
        EngineHarness h;
        QCOMPARE(h.scalar("select len(replicate('a', 8000) + 'b')"), QVariant(qint64(8000)));
        QCOMPARE(h.scalar("select len(convert(varchar(max), replicate('a', 8000)) + 'b')"),
                 QVariant(qint64(8001)));
        QCOMPARE(h.scalar("select len(replicate(N'a', 4000) + N'b')"), QVariant(qint64(4000)));
        QCOMPARE(h.scalar("select len(convert(nvarchar(max), N'a') + replicate(N'b', 4000))"),
                 QVariant(qint64(4001)));
    }

    void dateFormatAndLanguage() {
        EngineHarness h;
        const QString month = QStringLiteral("select datepart(month, convert(datetime, '%1'))");
        QCOMPARE(h.scalar(month.arg("2008-12-10")), QVariant(qint64(12)));
        h.run("set dateformat dmy");
        QCOMPARE(h.scalar(month.arg("2008-12-10")), QVariant(qint64(10)));
        QCOMPARE(h.scalar(month.arg("20081210")), QVariant(qint64(12)));
        h.run("set language us_english\nset language british");
        QCOMPARE(h.scalar(month.arg("10/12/2008")), QVariant(qint64(12)));
    }

    void identityRules() {
        EngineHarness h;
        h.run("create table dbo.I (Id int identity(10,5) not null, V int null)");
        h.run("insert into dbo.I (V) values (1)\ninsert into dbo.I (V) values (2)");
        QCOMPARE(h.rows("select Id from dbo.I order by Id"),
                 (QList<QVariantList>{{qint64(10)}, {qint64(15)}}));
        h.run("set identity_insert dbo.I on\ninsert into dbo.I (Id, V) values (100, 3)\nset "
              "identity_insert dbo.I off");
        h.run("insert into dbo.I (V) values (4)");
        QCOMPARE(h.scalar("select max(Id) from dbo.I"), QVariant(qint64(105)));
        h.run("delete from dbo.I\ninsert into dbo.I (V) values (5)");
        QCOMPARE(h.scalar("select Id from dbo.I"),
                 QVariant(qint64(110))); // DELETE keeps the counter
        h.run("truncate table dbo.I\ninsert into dbo.I (V) values (6)");
        QCOMPARE(h.scalar("select Id from dbo.I"), QVariant(qint64(10))); // TRUNCATE resets it
        h.run(
            "dbcc checkident('dbo.I',reseed,1)\ndbcc checkident('dbo.I',reseed)\ninsert into dbo.I "
            "(V) values (7)");
        QCOMPARE(h.scalar("select max(Id) from dbo.I"), QVariant(qint64(15)));
    }

    void identityInsertRequired() {
        EngineHarness h;
        h.run(
            "create table dbo.I (Id int identity not null, V int null)\ncreate table dbo.J (Id int "
            "identity not null)");
        QCOMPARE(h.error("set identity_insert dbo.I on\nset identity_insert dbo.J on").number,
                 8107);
        QCOMPARE(h.error("insert into dbo.I (V) values (1)").number, 545);
    }

    void moduleTextKeptAndHidden() {
        EngineHarness h;
        const auto definition = [&](const char* name) {
            return h
                .rows(QStringLiteral("select definition, case when definition is null then 1 "
                                     "else 0 end from sys.sql_modules where object_id = "
                                     "object_id('%1')")
                          .arg(name))
                .value(0);
        };
        const QString text =
            QStringLiteral("-- comment first\r\ncreate procedure dbo.spA as select 1\r\n");
        h.run(text);
        QCOMPARE(definition("dbo.spA"), (QVariantList{text, qint64(0)}));
        h.run("alter procedure dbo.spA as select 2");
        QCOMPARE(definition("dbo.spA").value(0), QVariant("CREATE procedure dbo.spA as select 2"));
        h.run("create view dbo.vB with encryption as select 1 as one");
        QCOMPARE(definition("dbo.vB"), (QVariantList{QVariant(), qint64(1)}));
        QCOMPARE(h.scalar("select one from dbo.vB"), QVariant(qint64(1)));
    }

    void namesOfEveryShape() {
        EngineHarness h;
        for (const char* batch :
             {setup,
              "create schema [a/b]\ncreate table [a/b].[x.y] ([a]]b] int null, [Col With Blank] "
              "int "
              "null)",
              "create schema [DOMAIN\\user]\ncreate table [DOMAIN\\user].t (a int null)",
              "insert into [a/b].[x.y] ([a]]b], [Col With Blank]) values (1, 2)\ninsert into "
              "[DOMAIN\\user].t values (3)\ninsert into dbo.T (Name, [Key]) values ('k', 4)"})
            QCOMPARE(h.error(batch).number, 0);
        QCOMPARE(h.rows("select [a]]b], [Col With Blank], (select a from [DOMAIN\\user].t), "
                        "(select T.[Key] from T) from [a/b].[x.y]"),
                 (QList<QVariantList>{{qint64(1), qint64(2), qint64(3), qint64(4)}}));
    }

    void resultColumnsKeepDeclaredTypes() {
        EngineHarness h;
        h.run("create table dbo.C (A decimal(12,3) null, B nchar(4) null, C datetime null)");
        h.run("insert into dbo.C values (1.5, N'x', '2008-12-10')");
        const QList<Outcome> outcomes =
            h.run("select A, B, C, datepart(ms, C) C__ms, convert(tinyint, 1) t from dbo.C");
        QCOMPARE(outcomes.size(), 1);
        QStringList declared;
        for (const ResultColumn& column : outcomes[0].columns)
            declared << column.name + u' ' + column.type.declaration();
        QCOMPARE(declared, (QStringList{"A decimal(12,3)", "B nchar(4)", "C datetime", "C__ms int",
                                        "t tinyint"}));
        QCOMPARE(outcomes[0].rows[0][1], QVariant("x   "));
    }
};

QTEST_GUILESS_MAIN(TranslationTest)
#include "TranslationTest.moc"
