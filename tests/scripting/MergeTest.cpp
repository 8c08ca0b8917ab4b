#include "catalogue/RowFilter.h"
#include "support/Database.h"
#include "support/ScriptRun.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

// The tables a merge handles: a primary key with a rowversion (which shows
// whether a row was written), a unique key only, a composite key, an
// identity key and a key referencing itself; and one without any key.
const char* const tablesScript = R"(create table Regions (RegionId int not null primary key,
  Name varchar(30) null, Rate float null, Seen datetime null, Note nvarchar(20) null, rv timestamp)
GO
create table Codes (Code varchar(10) not null unique, Label nvarchar(30) null)
GO
create table Lines (OrderId int not null, LineNo int not null, Qty int null,
  primary key (OrderId, LineNo))
GO
create table Tags (TagId int identity(1,1) not null primary key, Tag varchar(20) null)
GO
create table Loose (a int null, b int null)
GO
create table Staff (Id int not null primary key, Boss int null references Staff (Id))
GO
)";

const char* const sourceRows = R"(insert into Regions (RegionId,Name,Rate,Seen,Note) values
 (1,'North',1.5,'2020-01-01 10:00:00.000',N'n'), (2,'south',2,'2020-01-01',null),
 (3,'East',3,null,null), (4,'West',0.1,null,null), (5,'Mid',5,'2020-01-01 10:00:00.003',null),
 (6,null,6,null,N'x'), (7,'Y',7,null,null), (8,'New',8,null,null)
insert into Codes values ('a','A'), ('b','B')
insert into Lines values (1,1,5), (1,2,null), (2,1,7)
set identity_insert Tags on
insert into Tags (TagId,Tag) values (1,'one'), (3,'three')
set identity_insert Tags off
insert into Loose values (1,2)
insert into Staff values (6,null)
insert into Staff values (5,6)
GO
)";

// Every way a target row can differ: by case, a trailing blank, a float's
// last digit, 1/300 s, a value against NULL both ways; missing and extra
// rows; a row updated to reference one the same apply step inserts; and
// live rows of an unscripted table that reference kept ones.
const char* const targetRows = R"(insert into Regions (RegionId,Name,Rate,Seen,Note) values
 (1,'North',1.5,'2020-01-01 10:00:00.000',N'n'), (2,'South',2,'2020-01-01',null),
 (3,'East ',3,null,null), (4,'West',0.10000000000000002,null,null),
 (5,'Mid',5,'2020-01-01 10:00:00.000',null), (6,'X',6,null,N'x'), (7,null,7,null,null),
 (9,'Gone',9,null,null)
insert into Codes values ('A','old'), ('c','C')
insert into Lines values (1,1,5), (2,1,8), (3,1,1)
set identity_insert Tags on
insert into Tags (TagId,Tag) values (2,'two'), (3,'THREE')
set identity_insert Tags off
insert into Staff values (5,null)
GO
create table Orders (OrderId int not null primary key,
  RegionId int null references Regions (RegionId))
GO
insert into Orders values (100,1), (101,2), (102,3)
GO
)";

const QStringList mergedTables{"Regions", "Codes", "Lines", "Tags", "Staff"};

// The rows in key order, every value exactly; the rowversion if asked.
QStringList rowsOf(test::Database& database, const QString& table, bool withVersion = false) {
    return database.exactRows("select * from " + table + " order by 1,2",
                              withVersion ? QString() : "rv");
}

QMap<QString, QStringList> rowsOf(test::Database& database, const QStringList& tables,
                                  bool withVersion) {
    QMap<QString, QStringList> rows;
    for (const QString& table : tables)
        rows[table] = rowsOf(database, table, withVersion);
    return rows;
}

struct Databases {
    test::Database source;
    test::Database target;
    test::ScriptRun run;

    Databases(const QString& version, const QString& sourceScript, const QString& targetScript)
        : source({.sample = false, .version = version, .script = sourceScript})
        , target({.sample = false, .version = version, .script = targetScript})
        , run(source.server) {
        run.settings.chkMerge = Checked;
    }
};

} // namespace

class MergeTest : public QObject {
    Q_OBJECT

private slots:
    void targetBecomesTheSource_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000 system tables") << "8.00.2039";
        QTest::newRow("2005 catalogue views") << "9.00.1399";
        QTest::newRow("2008") << "10.00.1600";
    }

    // The merged tables end byte for byte as the source's, the rows already
    // equal and the referencing rows untouched; a second run writes nothing.
    void targetBecomesTheSource() {
        QFETCH(QString, version);
        Databases db(version, QString(tablesScript) + sourceRows,
                     QString(tablesScript) + targetRows);
        db.run.tick(mergedTables + QStringList{"Loose"});
        QCOMPARE(db.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(db.run.toolkit.messageTexts(),
                 QStringList{"Table Loose skipped: has no primary key or unique key to merge on"});

        const QString equalRow = rowsOf(db.target, "Regions", true).first();
        const QString script = db.run.file("Tables.sql");
        QCOMPARE(db.target.load(script), QStringList());
        for (const QString& table : mergedTables)
            QCOMPARE(rowsOf(db.target, table), rowsOf(db.source, table));
        QCOMPARE(rowsOf(db.target, "Regions", true).first(), equalRow);
        QCOMPARE(rowsOf(db.target, "Orders").size(), 3);

        const auto afterFirst = rowsOf(db.target, mergedTables, true);
        QCOMPARE(db.target.load(script), QStringList());
        QCOMPARE(rowsOf(db.target, mergedTables, true), afterFirst);
    }

    // Whatever stops the apply step leaves every table as it was, and the
    // message names the table.
    void refusedApplyChangesNothing_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("extraSource");
        QTest::addColumn<QString>("extraTarget");
        QTest::addColumn<bool>("dropAStagingBatch");
        QTest::addColumn<QString>("message");
        QTest::newRow("a deleted row still referenced, 2000")
            << "8.00.2039" << QString() << "insert into Orders values (103,9)\nGO\n"
            << false << "Orders";
        QTest::newRow("a deleted row still referenced, 2005")
            << "9.00.1399" << QString() << "insert into Orders values (103,9)\nGO\n"
            << false << "Orders";
        // A source of a case-sensitive collation holds both.
        QTest::newRow("keys equal but for case")
            << "9.00.1399"
            << "drop table Codes\nGO\ncreate table Codes (Code varchar(10) collate "
               "Latin1_General_CS_AS not null unique, Label nvarchar(30) null)\nGO\ninsert into "
               "Codes values ('a','A'), ('b','B'), ('B','b')\nGO\n"
            << QString() << false << "rows of dbo.Codes have keys that differ only in case";
        QTest::newRow("a staging batch lost") << "8.00.2039" << QString() << QString() << true
                                              << "the rows of dbo.Regions were not all staged";
    }

    void refusedApplyChangesNothing() {
        QFETCH(QString, version);
        QFETCH(QString, extraSource);
        QFETCH(QString, extraTarget);
        QFETCH(bool, dropAStagingBatch);
        QFETCH(QString, message);
        Databases db(version, QString(tablesScript) + sourceRows + extraSource,
                     QString(tablesScript) + targetRows + extraTarget);
        db.run.tick(mergedTables);
        QCOMPARE(db.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QString script = db.run.file("Tables.sql");
        if (dropAStagingBatch)
            script.remove(QRegularExpression("insert into #quarvex1 [^\\r]*\\r\\n"));

        const auto before = rowsOf(db.target, mergedTables + QStringList{"Orders"}, true);
        const QString failure = db.target.load(script).join('\n');
        QVERIFY2(failure.contains(message), qPrintable(failure));
        QCOMPARE(rowsOf(db.target, mergedTables + QStringList{"Orders"}, true), before);
    }

    // A filtered table keeps every row outside its condition, with a merge
    // and with the grouped deletes and the truncation it replaces.
    void rowsOutsideTheFilterStay_data() {
        QTest::addColumn<int>("merge");
        QTest::addColumn<int>("group");
        QTest::newRow("merge") << 1 << 0;
        QTest::newRow("grouped deletes") << 0 << 1;
        QTest::newRow("truncation becomes a delete") << 0 << 0;
    }

    void rowsOutsideTheFilterStay() {
        QFETCH(int, merge);
        QFETCH(int, group);
        Databases db("9.00.1399", QString(tablesScript) + sourceRows,
                     QString(tablesScript) + targetRows);
        db.run.settings.chkMerge = merge;
        db.run.settings.chkGroup = group;
        db.run.tick({"Lines"});
        for (int i = 0; i < db.run.toolkit.list.count(); ++i)
            if (db.run.toolkit.list.entry(i).object.name == "Lines")
                RowFilter(db.run.toolkit, db.run.runState, i, "OrderId >= 2");
        QCOMPARE(db.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(db.target.load(db.run.file("Tables.sql")), QStringList());
        // The source's (1,2) lies outside the filter; the target's (1,1) stays
        // as it was, equal to the source's.
        const QStringList source = rowsOf(db.source, "Lines");
        QCOMPARE(rowsOf(db.target, "Lines"), QStringList({source[0], source[2]}));
    }
};

QTEST_GUILESS_MAIN(MergeTest)
#include "MergeTest.moc"
