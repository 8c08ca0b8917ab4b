// T-SQL as the stand-in runs it: each translation rule and each SQL Server
// behaviour the program and its scripts rely on.

#include "EngineHarness.h"

using namespace quarvex::standin;
using quarvex::test::EngineHarness;

class TranslationTest : public QObject {
    Q_OBJECT
private slots:
    void errors_data();
    void errors();
    void expressions_data();
    void expressions();
    void syntaxErrorRunsNothing();
    void concatenationCutAt8000Bytes();
    void dateFormatAndLanguage();
    void identityRules();
    void identityInsertRequired();
    void moduleTextKeptAndHidden();
    void namesOfEveryShape();
    void resultColumnsKeepDeclaredTypes();
};

namespace {

const char* const setup = R"(
create schema [DOMAIN\user]
create table dbo.T (Id int identity(1,1) not null, Name varchar(20) null, [Key] int null)
)";

} // namespace

void TranslationTest::errors_data() {
    QTest::addColumn<QString>("batch");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown table")
        << "select * from dbo.Nope" << 208 << "Invalid object name 'dbo.Nope'.";
    QTest::newRow("unknown column")
        << "select Nope from dbo.T" << 207 << "Invalid column name 'Nope'.";
    QTest::newRow("unknown column in a quoted name")
        << "select \"Nope\" from dbo.T" << 207 << "Invalid column name 'Nope'.";
    QTest::newRow("syntax") << "select * from dbo.T where" << 102
                            << "Incorrect syntax near the keyword 'where'.";
    QTest::newRow("keyword") << "select from dbo.T" << 102
                             << "Incorrect syntax near the keyword 'from'.";
    QTest::newRow("unclosed quote")
        << "select 'abc" << 105 << "Unclosed quotation mark after the character string 'abc'.";
    QTest::newRow("comment cuts the query")
        << "select * from (select 1 a) as v where (a = 1 -- x) order by 1" << 102
        << "Incorrect syntax near '1'.";
    QTest::newRow("explicit identity value")
        << "insert into dbo.T (Id, Name) values (5, 'x')" << 544
        << "Cannot insert explicit value for identity column in table 'T' when IDENTITY_INSERT is "
           "set to OFF.";
    QTest::newRow("too many values")
        << "insert into dbo.T (Name) values ('a', 1)" << 110
        << "There are fewer columns in the INSERT statement than values specified in the VALUES "
           "clause. The number of values in the VALUES clause must match the number of columns "
           "specified in the INSERT statement.";
    QTest::newRow("string too long") << "insert into dbo.T (Name) values (replicate('x', 21))"
                                     << 8152 << "String or binary data would be truncated.";
    QTest::newRow("conversion")
        << "insert into dbo.T (Name, [Key]) values ('a', 'b')" << 245
        << "Conversion failed when converting the varchar value 'b' to data type int.";
    QTest::newRow("procedure not first")
        << "select 1\ncreate procedure p as select 1" << 111
        << "'CREATE PROCEDURE' must be the first statement in a query batch.";
    QTest::newRow("unknown function") << "select frobnicate(1)" << 195
                                      << "'frobnicate' is not a recognized built-in function name.";
    QTest::newRow("local variable")
        << "select @x" << 137 << "Must declare the scalar variable \"@x\".";
    QTest::newRow("sys views in a 2005 database only")
        << "select * from sys.nothing" << 208 << "Invalid object name 'sys.nothing'.";
    QTest::newRow("unsupported statement is named")
        << "exec sp_who" << 50000 << "The stand-in does not support EXEC.";
    QTest::newRow("other database")
        << "use master" << 911
        << "Database 'master' does not exist. Make sure that the name is entered correctly.";
}

void TranslationTest::errors() {
    QFETCH(QString, batch);
    QFETCH(int, number);
    QFETCH(QString, message);
    EngineHarness h;
    QCOMPARE(h.error(QString::fromLatin1(setup)).number, 0);
    const SqlError error = h.error(batch);
    QCOMPARE(error.number, number);
    QCOMPARE(error.message, message);
}

void TranslationTest::expressions_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("char(2) compares without trailing blank")
        << "select count(*) from sys.objects where type = 'S'" << QVariant(qint64(4));
    QTest::newRow("comparison case-insensitive")
        << "select case when 'ABC' = 'abc' then 1 else 0 end" << QVariant(qint64(1));
    QTest::newRow("like case-insensitive")
        << "select case when 'spX' like 'SP%' then 1 else 0 end" << QVariant(qint64(1));
    QTest::newRow("plus adds numbers") << "select 1 + 2" << QVariant(qint64(3));
    QTest::newRow("plus concatenates strings")
        << "select 'a' + N'b' + 'c'" << QVariant(QStringLiteral("abc"));
    QTest::newRow("number plus numeric string adds") << "select 1 + '2'" << QVariant(qint64(3));
    QTest::newRow("null concatenation is null") << "select 'a' + null" << QVariant();
    QTest::newRow("integer division") << "select 7 / 2" << QVariant(qint64(3));
    QTest::newRow("convert to tinyint") << "select convert(tinyint, 1)" << QVariant(qint64(1));
    QTest::newRow("datepart ms")
        << "select datepart(ms, convert(datetime, '2008-12-10 14:05:09.997'))"
        << QVariant(qint64(997));
    QTest::newRow("float literal correctly rounded")
        << "select 3.0000000000000004E-1" << QVariant(0.30000000000000004);
    QTest::newRow("negative exact literal keeps digits")
        << "select -1234567890123456789.123456789"
        << QVariant(QStringLiteral("-1234567890123456789.123456789"));
    QTest::newRow("in list") << "select case when 'DBO' in ('dbo', 'x') then 1 else 0 end"
                             << QVariant(qint64(1));
    QTest::newRow("subquery") << "select (select count(*) from sys.schemas where name = 'sys')"
                              << QVariant(qint64(1));
    QTest::newRow("isnull") << "select isnull(null, 'x')" << QVariant(QStringLiteral("x"));
    QTest::newRow("len ignores trailing blanks") << "select len('ab  ')" << QVariant(qint64(2));
    QTest::newRow("empty binary literal") << "select datalength(0x)" << QVariant(qint64(0));
}

void TranslationTest::expressions() {
    QFETCH(QString, query);
    QFETCH(QVariant, value);
    EngineHarness h;
    QCOMPARE(h.scalar(query), value);
}

void TranslationTest::syntaxErrorRunsNothing() {
    EngineHarness h;
    h.run(QString::fromLatin1(setup));
    QCOMPARE(h.error("insert into dbo.T (Name) values ('a')\nselec 1").number, 102);
    QCOMPARE(h.scalar("select count(*) from dbo.T"), QVariant(qint64(0)));
}

void TranslationTest::concatenationCutAt8000Bytes() {
    EngineHarness h;
    QCOMPARE(h.scalar("select len(replicate('a', 8000) + 'b')"), QVariant(qint64(8000)));
    QCOMPARE(h.scalar("select len(convert(varchar(max), replicate('a', 8000)) + 'b')"),
             QVariant(qint64(8001)));
    QCOMPARE(h.scalar("select len(replicate(N'a', 4000) + N'b')"), QVariant(qint64(4000)));
    QCOMPARE(h.scalar("select len(convert(nvarchar(max), N'a') + replicate(N'b', 4000))"),
             QVariant(qint64(4001)));
}

void TranslationTest::dateFormatAndLanguage() {
    EngineHarness h;
    const QString query = QStringLiteral("select datepart(month, convert(datetime, '2008-12-10'))");
    QCOMPARE(h.scalar(query), QVariant(qint64(12)));
    h.run("set dateformat dmy");
    QCOMPARE(h.scalar(query), QVariant(qint64(10)));
    QCOMPARE(h.scalar("select datepart(month, convert(datetime, '20081210'))"),
             QVariant(qint64(12)));
    h.run("set language us_english");
    QCOMPARE(h.scalar(query), QVariant(qint64(12)));
    h.run("set language british");
    QCOMPARE(h.scalar("select datepart(month, convert(datetime, '10/12/2008'))"),
             QVariant(qint64(12)));
    QCOMPARE(h.scalar("select @@language"), QVariant(QStringLiteral("British")));
}

void TranslationTest::identityRules() {
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
    QCOMPARE(h.scalar("select Id from dbo.I"), QVariant(qint64(110))); // DELETE keeps the counter
    h.run("truncate table dbo.I\ninsert into dbo.I (V) values (6)");
    QCOMPARE(h.scalar("select Id from dbo.I"), QVariant(qint64(10))); // TRUNCATE resets it
    h.run("dbcc checkident('dbo.I',reseed,1)\ndbcc checkident('dbo.I',reseed)\ninsert into dbo.I "
          "(V) values (7)");
    QCOMPARE(h.scalar("select max(Id) from dbo.I"), QVariant(qint64(15)));
}

void TranslationTest::identityInsertRequired() {
    EngineHarness h;
    h.run("create table dbo.I (Id int identity not null, V int null)\ncreate table dbo.J (Id int "
          "identity not null)");
    QCOMPARE(h.error("set identity_insert dbo.I on\nset identity_insert dbo.J on").number, 8107);
    QCOMPARE(h.error("insert into dbo.I (V) values (1)").number, 545);
    QCOMPARE(h.error("set identity_insert dbo.I off\nset identity_insert dbo.Nope on").number, 208);
}

void TranslationTest::moduleTextKeptAndHidden() {
    EngineHarness h;
    const QString text =
        QStringLiteral("-- comment first\r\ncreate procedure dbo.spA as select 1\r\n");
    h.run(text);
    QCOMPARE(
        h.scalar("select definition from sys.sql_modules where object_id = object_id('dbo.spA')"),
        QVariant(text));
    h.run("alter procedure dbo.spA as select 2");
    QCOMPARE(
        h.scalar("select definition from sys.sql_modules where object_id = object_id('dbo.spA')"),
        QVariant(QStringLiteral("CREATE procedure dbo.spA as select 2")));
    h.run("create view dbo.vB with encryption as select 1 as one");
    QCOMPARE(h.rows("select definition, case when definition is null then 1 else 0 end from "
                    "sys.sql_modules where object_id = object_id('dbo.vB')"),
             (QList<QVariantList>{{QVariant(), qint64(1)}}));
    QCOMPARE(h.scalar("select one from dbo.vB"), QVariant(qint64(1)));
}

void TranslationTest::namesOfEveryShape() {
    EngineHarness h;
    QCOMPARE(h.error(QString::fromLatin1(setup)).number, 0);
    QCOMPARE(h.error("create schema [a/b]\ncreate table [a/b].[x.y] ([a]]b] int null, [Col With "
                     "Blank] int null)")
                 .number,
             0);
    QCOMPARE(h.error("insert into [a/b].[x.y] ([a]]b], [Col With Blank]) values (1, 2)").number, 0);
    QCOMPARE(h.rows("select [a]]b],[Col With Blank] from [a/b].[x.y]"),
             (QList<QVariantList>{{qint64(1), qint64(2)}}));
    QCOMPARE(
        h.error(
             "create table [DOMAIN\\user].t (a int null)\ninsert into [DOMAIN\\user].t values (3)")
            .number,
        0);
    QCOMPARE(h.scalar("select a from [DOMAIN\\user].t"), QVariant(qint64(3)));
    QCOMPARE(h.error("insert into dbo.T (Name, [Key]) values ('k', 1)").number, 0);
    QCOMPARE(h.scalar("select T.[Key] from T"), QVariant(qint64(1)));
}

void TranslationTest::resultColumnsKeepDeclaredTypes() {
    EngineHarness h;
    h.run("create table dbo.C (A decimal(12,3) null, B nchar(4) null, C datetime null)");
    h.run("insert into dbo.C values (1.5, N'x', '2008-12-10')");
    const QList<Outcome> outcomes =
        h.run("select A, B, C, datepart(ms, C) C__ms, convert(tinyint, 1) t from dbo.C");
    QCOMPARE(outcomes.size(), 1);
    const QList<ResultColumn>& columns = outcomes[0].columns;
    QCOMPARE(columns[0].type.declaration(), QStringLiteral("decimal(12,3)"));
    QCOMPARE(columns[1].type.declaration(), QStringLiteral("nchar(4)"));
    QCOMPARE(columns[2].type.declaration(), QStringLiteral("datetime"));
    QCOMPARE(columns[3].name, QStringLiteral("C__ms"));
    QCOMPARE(columns[3].type.declaration(), QStringLiteral("int"));
    QCOMPARE(columns[4].type.declaration(), QStringLiteral("tinyint"));
    QCOMPARE(outcomes[0].rows[0][1], QVariant(QStringLiteral("x   ")));
}

QTEST_GUILESS_MAIN(TranslationTest)
#include "TranslationTest.moc"
