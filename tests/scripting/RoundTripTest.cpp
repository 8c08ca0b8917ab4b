#include "scripting/BoxPrint.h"
#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

// Texts that a client or a batch runner would take apart if they stood in a
// literal as they are: NULs (a client ends the batch there), lines that tsql
// or sqlcmd take as their own commands, and sqlcmd's "$(".
QStringList hostileTexts() {
    QString nuls = QStringLiteral("@a@b@");
    nuls.replace(u'@', QChar(0));
    return {nuls,
            "x\nexit\ny",
            "x\r\n QUIT \r\ny",
            "x\nbye now\ny",
            "x\nreset\ny",
            "x\nversion\ny",
            "x\nEd\ny",
            "x\n:r nofile\ny",
            "x\n  :setvar V 1\ny",
            "x\n!!ls\ny",
            "cost $(x) $(y"};
}

// The text as an expression whose line breaks and NULs the server makes, so
// that the load file itself holds none of them.
QString builtByServer(const QString& text) {
    QStringList parts;
    QString run;
    for (const QChar c : text) {
        if (c != u'\n' && c != u'\r' && !c.isNull()) {
            run += c;
            continue;
        }
        if (!run.isEmpty())
            parts << "'" + run + "'";
        run.clear();
        parts << QStringLiteral("char(%1)").arg(c.unicode());
    }
    if (!run.isEmpty())
        parts << "'" + run + "'";
    return parts.join('+');
}

// Every text type, the max types too, each holding the same hostile text.
QString hostileTableScript() {
    QString script = "create table Hostile (id int identity(1,1) not null,\n"
                     "  c char(40) null, vc varchar(100) null, t text null,\n"
                     "  nc nchar(40) null, nvc nvarchar(100) null, nt ntext null,\n"
                     "  vcm varchar(max) null, nvcm nvarchar(max) null)\nGO\n";
    for (const QString& text : hostileTexts()) {
        const QString value = builtByServer(text);
        script += "insert into Hostile (c,vc,t,nc,nvc,nt,vcm,nvcm) values (" +
                  QStringList(8, value).join(',') + ")\n";
    }
    return script + "GO\n";
}

// Columns of bounded width only, whose rows are fetched in blocks: the hostile
// texts, an empty one, a backslash before a line break, and the limits of the
// numbers, dates and bytes.
QString boundedTableScript() {
    QString script = "create table Bounded (id int identity(1,1) not null,\n"
                     "  c char(40) null, vc varchar(100) null, nc nchar(40) null,\n"
                     "  nvc nvarchar(100) null, bi bigint null, r real null, f float null,\n"
                     "  d decimal(38,10) null, m money null, b bit null, dt datetime null,\n"
                     "  vb varbinary(8) null)\nGO\n";
    QStringList texts = hostileTexts();
    for (QString& text : texts)
        text = builtByServer(text);
    texts << "''" << builtByServer("C:\\dir\\\r\nnext");
    for (const QString& value : std::as_const(texts))
        script +=
            "insert into Bounded (c,vc,nc,nvc) values (" + QStringList(4, value).join(',') + ")\n";
    return script + R"(insert into Bounded (bi,r,f,d,m,b,dt,vb) values
 (-9223372036854775808,-3.40282347E+38,2.2250738585072014E-308,
  -9999999999999999999999999999.9999999999,-922337203685477.5808,1,'1753-01-01 00:00:00.000',0x)
insert into Bounded (bi,r,f,d,m,b,dt,vb) values
 (9223372036854775807,1.17549435E-38,1.7976931348623157E+308,
  9999999999999999999999999999.9999999999,922337203685477.5807,0,'9999-12-31 23:59:59.997',0x00FF)
GO
)";
}

// Alias types over the types users most often alias, with their limits; and
// columns named as the aliases under which a date's milliseconds are read.
const char* const aliasTableScript = R"(create type Code from varchar(12)
GO
create type Qty from int
GO
create type Flag from bit
GO
create type Moment from datetime
GO
create type Amount from decimal(9,3)
GO
create table Aliased (id int identity(1,1) not null, c Code null, q Qty null, f Flag null,
  m Moment null, a Amount null)
GO
insert into Aliased (c,q,f,m,a) values ('it''s',-2147483648,1,'9999-12-31 23:59:59.997',-999999.999)
insert into Aliased (c,q,f,m,a) values ('',2147483647,0,'1753-01-01 00:00:00.000',0.001)
insert into Aliased (c) values (null)
GO
create table Clash (id int not null primary key, dt datetime null, dt__ms int null,
  [d t] datetime null, [d t__ms] varchar(10) null, later datetime null)
insert into Clash values (1,'2008-12-10 14:05:09.997',7,'2001-02-03 04:05:06.123','x',
  '1999-12-31 23:59:59.003')
insert into Clash values (2,null,null,null,null,null)
GO
)";

// xml with non-Latin text, apostrophes, empty elements and a text node
// holding a line that reads GO (made by the server, as in the load file a
// GO line would end the batch).
const char* const xmlTableScript =
    R"(create table Documents (id int identity(1,1) not null, doc xml null)
GO
insert into Documents (doc) values (N'<r a="it''s"><empty/><t>Ωμέγα 日本語 l''entrepôt</t><g>one'+nchar(13)+nchar(10)+N'GO'+nchar(13)+nchar(10)+N'after</g></r>')
insert into Documents (doc) values (N'<e/>')
insert into Documents (doc) values (null)
GO
)";

QString lastTimeOfDay(int scale) {
    return "23:59:59" + (scale > 0 ? "." + QString(scale, u'9') : QString());
}

// The date and time types of 2008 at both ends of their ranges, offsets of
// +14:00, -14:00, +05:45 and +00:00, hierarchyid and geography, and NULLs.
QString newerTableScript() {
    QStringList columns{"d date null", "t0 time(0) null", "t3 time(3) null", "t7 time(7) null"};
    for (int scale = 0; scale <= 7; ++scale)
        columns << QStringLiteral("d%1 datetime2(%1) null").arg(scale);
    columns << "o0 datetimeoffset(0) null"
            << "o7 datetimeoffset(7) null"
            << "h hierarchyid null"
            << "g geography null";
    QStringList lowest{"'0001-01-01'", "'00:00:00'", "'00:00:00'", "'00:00:00'"};
    QStringList highest{"'9999-12-31'", "'" + lastTimeOfDay(0) + "'", "'" + lastTimeOfDay(3) + "'",
                        "'" + lastTimeOfDay(7) + "'"};
    for (int scale = 0; scale <= 7; ++scale) {
        lowest << "'0001-01-01 00:00:00'";
        highest << "'9999-12-31 " + lastTimeOfDay(scale) + "'";
    }
    lowest << "'0001-01-01 14:00:00 +14:00'"
           << "'0001-01-01 14:00:00.0000000 +14:00'"
           << "0x"
           << "0xE6100000010CD734EF3845DF4A400C93A9825149D5BF";
    highest << "'9999-12-31 09:59:59 -14:00'"
            << "'9999-12-31 09:59:59.9999999 -14:00'"
            << "0x5AC0"
            << "0xE6100000010CAE47E17A14F6494009F9A067B3EA1140";
    const QString insert =
        "insert into Newer (" +
        QStringList(columns).replaceInStrings(QRegularExpression(" .*"), "").join(',') +
        ") values (";
    return "create table Newer (id int identity(1,1) not null, " + columns.join(", ") + ")\nGO\n" +
           insert + lowest.join(',') + ")\n" + insert + highest.join(',') +
           ")\n"
           "insert into Newer (t3,d7,o0,o7,h) values ('12:34:56.789','2009-03-02 16:45:12.1',"
           "'2009-03-06 23:59:59 +05:45','2009-03-06 23:59:59.9999999 +05:45',0x58)\n"
           "insert into Newer (o0,o7) values ('2009-03-02 10:00:00 +00:00',"
           "'2009-03-02 10:00:00.1234567 +00:00')\n"
           "insert into Newer (d) values (null)\nGO\n";
}

int majorVersion(const QString& version) {
    return version.section('.', 0, 0).toInt();
}

// sql_variant values of every base type the scripter writes, each with its
// own length, precision and scale, among a date column (whose milliseconds
// field comes between the variants' helper fields) and a second variant.
QString variantTableScript(int major) {
    QStringList values{"convert(int,-2147483648)",
                       "convert(bigint,9223372036854775807)",
                       "convert(smallint,-32768)",
                       "convert(tinyint,255)",
                       "convert(bit,1)",
                       "convert(decimal(38,10),-1234567890123456789012345678.0123456789)",
                       "convert(decimal(38,10),1.5)",
                       "convert(numeric(10,3),0.001)",
                       "convert(float,0.30000000000000004)",
                       "convert(float,1.7976931348623157E+308)",
                       "convert(float,2.2250738585072014E-308)",
                       "convert(real,1.17549435E-38)",
                       "convert(money,-922337203685477.5808)",
                       "convert(smallmoney,214748.3647)",
                       "convert(datetime,'2008-12-10 14:05:09.997')",
                       "convert(smalldatetime,'2079-06-06 23:59:00')",
                       "convert(nvarchar(20),N'Ωμéγα ''q''')",
                       "convert(nvarchar(40),N'x'+nchar(10)+N'GO'+nchar(10)+N'y')",
                       "N''",
                       "convert(varchar(20),'abc')",
                       "convert(char(5),'ab')",
                       "convert(nchar(3),N'z')",
                       "convert(varbinary(10),0x0AFF)",
                       "convert(binary(4),0x01)",
                       "convert(uniqueidentifier,'6F9619FF-8B86-D011-B42D-00C04FC964FF')",
                       "null"};
    if (major >= 10)
        values << "convert(datetime2(7),'2009-03-02 16:45:12.1234567')"
               << "convert(datetime2(3),'9999-12-31 23:59:59.999')"
               << "convert(date,'0001-01-01')"
               << "convert(time(3),'12:34:56.789')"
               << "convert(datetimeoffset(7),'2009-03-06 23:59:59.9999999 +05:45')";
    QString script = "create table Variants (id int identity(1,1) not null, v sql_variant null, "
                     "dt datetime null, w sql_variant null)\nGO\n";
    for (const QString& value : values)
        script += "insert into Variants (v) values (convert(sql_variant," + value + "))\n";
    return script +
           "insert into Variants (v,dt,w) values (convert(sql_variant,N'x'),"
           "'2008-12-10 14:05:09.997',convert(sql_variant,convert(decimal(5,2),-1.5)))\nGO\n";
}

QString variantProperties(const QString& column) {
    return QStringLiteral("convert(sysname,sql_variant_property(%1,'BaseType'))+' '+"
                          "convert(varchar(11),sql_variant_property(%1,'Precision'))+' '+"
                          "convert(varchar(11),sql_variant_property(%1,'Scale'))+' '+"
                          "convert(varchar(11),sql_variant_property(%1,'MaxLength')) %1_props")
        .arg(column);
}

// The tables of the run: the classic types (unless a server before 2005,
// which cannot load their longest values, is to show the alias types),
// then what the newer-types option adds on that server.
QStringList tablesFor(const QString& version, bool newTypes) {
    const int major = majorVersion(version);
    QStringList tables;
    if (major >= 9)
        tables << "Everything"
               << "Hostile";
    tables << "Bounded"
           << "Clash";
    if (newTypes)
        tables << "Aliased";
    if (newTypes && major >= 9)
        tables << "Documents";
    if (newTypes && major >= 10)
        tables << "Newer";
    if (newTypes && major >= 9)
        tables << "Variants";
    return tables;
}

// Every column type the scripter writes, with values that have broken
// scripts before: quotes, line breaks, a backslash before a line break, a
// line reading GO, text beyond 8000 bytes, the limits of every number and
// date type.
QString databaseScript(const QString& version = "9.00.1399") {
    const QString longText = QString(100000, u'x');
    // Built by the server: a load file cannot hold a line reading GO inside
    // a literal.
    const QString longWithBreaks = "convert(varchar(max),'" + QString(9000, u'y') +
                                   "\\')+char(13)+char(10)+'GO'+char(13)+char(10)+'" +
                                   QString(9000, u'z') + "'";
    const QString longUnicode = "convert(nvarchar(max),N'" + QString(5000, QChar(0x03A9)) +
                                "\\')+nchar(10)+N'GO'+nchar(10)";
    QString script = R"(create table Everything (
  id int identity(1,1) not null,
  c char(12) null, vc varchar(200) null, t text null, sn sysname null,
  nc nchar(10) null, nvc nvarchar(200) null, nt ntext null,
  i int null, si smallint null, ti tinyint null, bi bigint null,
  r real null, f float null, d decimal(38,10) null, n numeric(10,3) null,
  m money null, sm smallmoney null, b bit null,
  dt datetime null, sdt smalldatetime null, g uniqueidentifier null,
  bin binary(4) null, vb varbinary(8000) null, img image null, ts timestamp)
GO
insert into Everything (c,vc,t,sn,nc,nvc,nt,i,si,ti,bi,r,f,d,n,m,sm,b,dt,sdt,g,bin,vb,img) values
 ('O''Brien','a''''b'+char(13)+char(10)+'line two'+char(10)+'lone LF','C:\dir\'+char(13)+char(10)+'next','it''s',
  N'Ωμέγα',N'日本語 😀'+nchar(10)+N'GO'+nchar(10)+N'after',N'ntext é',
  -2147483648,-32768,0,-9223372036854775808,
  10.0000105,0.30000000000000004,-1234567890123456789012345678.0123456789,-9999999.999,
  -922337203685477.5808,-214748.3648,1,
  '1753-01-01 00:00:00.000','1900-01-01 00:00:00','6F9619FF-8B86-D011-B42D-00C04FC964FF',
  0x00000000,0x,0x0AFF)
insert into Everything (c,vc,t,sn,nc,nvc,nt,i,si,ti,bi,r,f,d,n,m,sm,b,dt,sdt,g,bin,vb,img) values
 ('','é','','',N'',N'',N'',2147483647,32767,255,9223372036854775807,
  -3.40282347E+38,1.7976931348623157E+308,9999999999999999999999999999.9999999999,0.001,
  922337203685477.5807,214748.3647,0,'9999-12-31 23:59:59.997','2079-06-06 23:59:00',
  '00000000-0000-0000-0000-000000000000',0xFFFFFFFF,0x@VB@,0x@IMG@)
insert into Everything (c) values (null)
insert into Everything (vc,t,nt) values ('GO','@LONG@',@LONGBREAKS@)
insert into Everything (nvc,nt,f,r,dt) values (N'\'+nchar(13)+nchar(10),@LONGUNICODE@,2.2250738585072014E-308,1.17549435E-38,'2008-12-10 14:05:09.997')
GO
)";
    script.replace("@VB@", QByteArray(8000, '\xA5').toHex());
    script.replace("@IMG@", QByteArray(70000, '\x5A').toHex());
    script.replace("@LONG@", longText);
    script.replace("@LONGBREAKS@", longWithBreaks);
    script.replace("@LONGUNICODE@", longUnicode);
    script += hostileTableScript() + boundedTableScript() + aliasTableScript;
    if (majorVersion(version) >= 9)
        script += xmlTableScript;
    if (majorVersion(version) >= 10)
        script += newerTableScript();
    if (majorVersion(version) >= 9)
        script += variantTableScript(majorVersion(version));
    return script;
}

// The stored values of a table, the newer types as the server's own text
// or bytes so that no driver rounds them.
QString snapshotColumns(const QString& table) {
    if (table == "Documents")
        return "id,convert(nvarchar(max),doc) doc";
    // The stand-in sends a variant as its base value's text, every digit
    // and every byte of it.
    if (table == "Variants")
        return "id,v,dt,w," + variantProperties("v") + "," + variantProperties("w");
    if (table != "Newer")
        return "*";
    QStringList columns{"id"};
    for (const char* name :
         {"d", "t0", "t3", "t7", "d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "o0", "o7"})
        columns << QStringLiteral("convert(varchar(40),%1,121) %1").arg(name);
    columns << "convert(varbinary(max),h) h"
            << "convert(varbinary(max),g) g";
    return columns.join(',');
}

QStringList snapshot(test::Database& database, const QString& table) {
    return database.exactRows(
        "select " + snapshotColumns(table) + " from " + table + " order by id", "ts");
}

// Where a control character stands other than in a CR LF; -1 if nowhere.
qsizetype strayControlCharacter(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() >= 0x20)
            continue;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

const QString unsafeNameSkip =
    " skipped: has a line break or control character in its name, which a script cannot carry "
    "safely";

} // namespace

class RoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void everyValueLoadsBackUnchanged_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("unicode");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("newTypes");
        QTest::newRow("2005, ansi, truncation") << "9.00.1399" << 0 << 0 << 0;
        QTest::newRow("2005, unicode, grouped deletes") << "9.00.1399" << 1 << 1 << 0;
        QTest::newRow("2000, newer types: alias types") << "8.00.2039" << 0 << 0 << 1;
        QTest::newRow("2005, newer types: xml and alias types") << "9.00.1399" << 1 << 0 << 1;
        QTest::newRow("2008, ansi, newer types") << "10.00.1600" << 0 << 1 << 1;
        QTest::newRow("2016, ansi, newer types") << "13.00.4001" << 0 << 0 << 1;
        QTest::newRow("2022, unicode, newer types") << "16.00.4135" << 1 << 1 << 1;
    }

    void everyValueLoadsBackUnchanged() {
        QFETCH(QString, version);
        QFETCH(int, unicode);
        QFETCH(int, group);
        QFETCH(int, newTypes);
        test::Database source(
            {.sample = false, .version = version, .script = databaseScript(version)});
        test::ScriptRun run(source.server);
        run.settings.chkUnicode = unicode;
        run.settings.chkGroup = group;
        run.settings.chkNewTypes = newTypes;
        const QStringList tables = tablesFor(version, newTypes);
        run.tick(tables);
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QVERIFY2(run.toolkit.messages.isEmpty(), qPrintable(run.toolkit.messageTexts().join('\n')));

        const QMap<QString, qsizetype> rowCounts{
            {"Everything", 5},
            {"Hostile", hostileTexts().size()},
            {"Bounded", hostileTexts().size() + 4},
            {"Aliased", 3},
            {"Clash", 2},
            {"Documents", 3},
            {"Newer", 5},
            {"Variants", majorVersion(version) >= 10 ? 32 : 27}};
        QList<QStringList> before;
        for (const QString& table : tables) {
            before << snapshot(source, table);
            QCOMPARE(before.last().size(), rowCounts.value(table));
        }

        // Loaded by a login that reads dates day first.
        source.execute("set language british");
        QCOMPARE(source.load(run.file("Tables.sql")), QStringList());
        for (int table = 0; table < tables.size(); ++table)
            QCOMPARE(snapshot(source, tables[table]), before[table]);
        if (unicode || group || newTypes)
            return;
        // Through tsql too, which quits, drops the batch or reads a file at its
        // command lines, and ends a line at a NUL; the NULs reach it.
        for (const char* column : {"vc", "t", "nvc", "nt", "vcm", "nvcm"})
            QVERIFY(before[tables.indexOf("Hostile")].first().contains(
                column + ("=QString:" + hostileTexts().first())));
        const QString output = source.loadThroughTsql(run.folder.path("Tables.sql"));
        for (int table = 0; table < tables.size(); ++table)
            QVERIFY2(snapshot(source, tables[table]) == before[table], qPrintable(output));
    }

    // With the option clear a table of the newer types is skipped as it
    // always was; a server before 2005 cannot load the longest values.
    void skipsWhatCannotLoadBack_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("message");
        QTest::newRow("2008, newer types clear")
            << "10.00.1600"
            << "Newer"
            << "Table Newer skipped: Cannot generate script for data type date";
        QTest::newRow("2000, long text")
            << "8.00.2039"
            << "Everything"
            << "Table Everything skipped: A text value of 18007 characters";
    }

    void skipsWhatCannotLoadBack() {
        QFETCH(QString, version);
        QFETCH(QString, table);
        QFETCH(QString, message);
        test::StandIn server(
            {.sample = false, .version = version, .script = databaseScript(version)});
        test::ScriptRun run(server);
        run.tick({table});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messages.size(), 1);
        QVERIFY2(run.toolkit.messages.first().text.startsWith(message),
                 qPrintable(run.toolkit.messages.first().text));
    }

    // A name with line breaks (a line reading GO ends a batch, brackets or
    // not) is skipped, and reaches no script but escaped, on one line.
    void unsafeNamesAreSkippedWhole_data() {
        QTest::addColumn<QStringList>("create");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        const QString injected = "x\r\nGO\r\ndelete from dbo.Important\r\nGO\r\n--";
        QTest::newRow("table name with a batch of its own")
            << QStringList{"create table [" + injected + "] (id int not null)",
                           "insert into [" + injected + "] values (1)"}
            << injected << "Tables.sql"
            << "Table [x\\r\\nGO\\r\\ndelete from dbo.Important\\r\\nGO\\r\\n--]" + unsafeNameSkip;
        QTest::newRow("TAB in the owner")
            << QStringList{"create schema [a\tb]", "create table [a\tb].T (id int not null)"} << "T"
            << "Tables.sql"
            << "Table T" + unsafeNameSkip;
        QTest::newRow("procedure name with a line feed")
            << QStringList{"create procedure [sp\nGO\ndelete from dbo.Important] as select 1"}
            << "sp\nGO\ndelete from dbo.Important"
            << "Procs.sql"
            << "Proc [sp\\nGO\\ndelete from dbo.Important]" + unsafeNameSkip;
        QTest::newRow("column name with a batch and sqlcmd commands")
            << QStringList{"create table Notes (id int not null, [note" + injected +
                               "\r\n!! touch owned\r\n:r /etc/hostname\r\n] int null)",
                           "insert into Notes (id) values (1)"}
            << "Notes"
            << "Tables.sql"
            << "Table Notes skipped: has a line break or control character in column "
               "[notex\\r\\nGO\\r\\ndelete from dbo.Important\\r\\nGO\\r\\n--\\r\\n!! touch "
               "owned\\r\\n:r /etc/hostname\\r\\n], which a script cannot carry safely";

        // A module's text stands in its script as it is, and batch runners
        // take their lines wherever they stand, in comments and strings too.
        const auto module = [](const char* row, const QString& create, const QString& name,
                               const QString& file, const QString& message) {
            QTest::newRow(row) << QStringList{create} << name << file
                               << message + ", which a script cannot carry safely";
        };
        const QString batch = "GO\r\ndelete from dbo.Important\r\nGO\r\n";
        module("GO in a block comment",
               "create procedure spComment as select 1\r\n/*\r\n" + batch + "*/", "spComment",
               "Procs.sql",
               "Proc spComment skipped: line 3 of its text is a command to tsql and sqlcmd (GO)");
        module("GO with a count in a string",
               "create procedure spString as select '\r\n  go 2\r\ndelete from dbo.Important\r\n'",
               "spString", "Procs.sql",
               "Proc spString skipped: line 2 of its text is a command to tsql and sqlcmd (GO)");
        module(
            "sqlcmd shell and file in a comment",
            "create view vShell as select 1 as one /*\r\n!! touch owned\r\n:r /etc/hostname\r\n" +
                batch + "*/",
            "vShell", "Views.sql",
            "View vShell skipped: line 2 of its text is a command to sqlcmd (!!)");
        module("sqlcmd :setvar in a trigger",
               "create trigger trSet on Important for insert as select 1 /*\n:setvar X 1\n" +
                   batch + "*/",
               "trSet", "Trigs.sql",
               "Trigger trSet skipped: line 2 of its text is a command to sqlcmd (:setvar)");
        module(
            "exit in a function's string",
            "create function fnExit() returns int as begin return len('\r\n exit\r\n" + batch +
                "') end",
            "fnExit", "Funcs.sql",
            "Function fnExit skipped: line 2 of its text is a command to tsql and sqlcmd (EXIT)");
        module("sqlcmd variable", "create procedure spVar as select '$(SQLCMDUSER)'", "spVar",
               "Procs.sql",
               "Proc spVar skipped: line 1 of its text holds a variable of sqlcmd (\"$\" before "
               "\"(\")");
    }

    void unsafeNamesAreSkippedWhole() {
        QFETCH(QStringList, create);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, message);
        test::Database database({.sample = false,
                                 .script = "create table Important (id int not null)\n"
                                           "insert into Important values (1)\n"
                                           "insert into Important values (2)\nGO\n"});
        for (const QString& statement : create)
            database.execute(statement);
        test::ScriptRun run(database.server);
        run.settings.chkGroup = 1;
        run.tick({name});
        QCOMPARE(run.ticked(), QStringList{name});
        QCOMPARE(run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(run.toolkit.messageTexts(), QStringList{message});
        QCOMPARE(run.ticked(), QStringList{name});
        for (const char* script :
             {"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"})
            QCOMPARE(strayControlCharacter(run.file(script)), qsizetype(-1));
        QVERIFY(run.file(file).contains(BoxPrint(message)));

        for (const char* script :
             {"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"})
            for (const QString& line : run.file(script).split("\r\n"))
                QVERIFY2(!line.startsWith(':') && !line.startsWith("!!") &&
                             !line.startsWith("delete from dbo.Important"),
                         qPrintable(script + (": " + line)));

        const QString output = database.loadThroughTsql(run.folder.path("Tables.sql")) +
                               database.loadThroughTsql(run.folder.path(file));
        QVERIFY2(database.rows("select count(*) from Important") == QStringList{"2"},
                 qPrintable(output));
        for (const QString& received : database.server.receivedBatches())
            QVERIFY2(!received.trimmed().startsWith("delete from dbo.Important"),
                     qPrintable(received));
    }
};

QTEST_GUILESS_MAIN(RoundTripTest)
#include "RoundTripTest.moc"
