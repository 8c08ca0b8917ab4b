#include "support/ProductionCopy.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;
using Runner = test::ProductionCopy::Runner;
Q_DECLARE_METATYPE(Runner)

namespace {

enum Mode { Truncate, Grouped, Merge };
const char* const modeNames[] = {"truncation", "grouped deletes", "merge"};

void setMode(Settings& settings, int mode) {
    settings.chkGroup = mode == Grouped ? Checked : Unchecked;
    settings.chkMerge = mode == Merge ? Checked : Unchecked;
}

const QStringList versions{"8.00.2039", "9.00.1399"};

const char* const shippers =
    "create table Shippers (ShipperID int not null primary key, Name varchar(30) null)\nGO\n";
const char* const sourceShippers = "insert into Shippers values (1,'Speedy'), (2,'United')\nGO\n";
const char* const targetShippers =
    "insert into Shippers values (1,'Speedy old'), (2,'United'), (3,'Federal')\nGO\n";

// A table nobody ticks, referencing the shippers by a key with the given
// delete action; on the target its live rows reference a shipper the source
// has and one it lacks.
QString shipments(const QString& action) {
    return "create table Shipments (Id int not null primary key, ShipperID int null "
           "references Shippers (ShipperID)" +
           action + ")\nGO\n";
}

QString liveShipments(const QString& action) {
    return shipments(action) + "insert into Shipments values (10,3), (11,1)\nGO\n";
}

QString regions(const QString& columns, const QString& rows) {
    return "create table Regions (RegionId int not null primary key, " + columns +
           ")\nGO\ninsert into Regions values " + rows + "\nGO\n";
}

// 150 rows, so that the second staging batch meets the one name too long.
QString manyRegions() {
    QStringList rows;
    for (int i = 1; i <= 150; ++i)
        rows << QString("(%1,'%2')").arg(i).arg(i == 120 ? "Northern" : "ab");
    return rows.join(',');
}

const char* const staff = "create table Staff (Id int not null primary key, Boss int null "
                          "references Staff (Id), Dept varchar(10) null)\nGO\n";
const char* const sales = "create table Sales (SaleId int not null primary key, Region "
                          "varchar(10) not null, Amount int null)\nGO\n";
const char* const codes = "create table Codes (Id int not null primary key, Code varchar(5) not "
                          "null unique)\nGO\n";
const char* const customers = "create table Customers (Id int not null primary key, RegionId "
                              "int null references Regions (RegionId))\nGO\n";
// Keyed first by a computed column, then by plain ones; keyed by a computed
// column only.
const char* const meters = "create table Meters (Site int not null, Dial int not null, Code as "
                           "(Site*100+Dial) persisted primary key, Reading int null, "
                           "unique (Site, Dial))\nGO\n";
const char* const dials = "create table Dials (Site int not null, Code as (Site*10) persisted "
                          "constraint PK_Dials primary key, Reading int null)\nGO\n";
const char* const sessions = "create table Sessions (Id int not null primary key nonclustered, "
                             "Token varchar(10) null) with (memory_optimized = on, durability = "
                             "schema_and_data)\nGO\n";

// 2000 knows no PERSISTED; a key over a computed column needs none there.
QString forVersion(QString script, const QString& version) {
    return version.startsWith("8.") ? script.remove(" persisted") : script;
}

// The report lines of a load's output: "owner.table: N deleted, ...".
QStringList reportLines(const QString& output) {
    QStringList lines;
    static const QRegularExpression line(R"(dbo\.\w+: \d+ deleted, \d+ updated, \d+ inserted)");
    for (auto match = line.globalMatch(output); match.hasNext();)
        lines << match.next().captured();
    return lines;
}

} // namespace

class ProductionLoadTest : public QObject {
    Q_OBJECT

private slots:
    // Whatever stops a load, in every mode and on old and new servers, every
    // table and key of the target is as it was, and one line says why; a
    // failure in each of the load's steps (staging, checks, applying) does
    // so whichever way the script is run.
    void refusedLoadChangesNothing_data() {
        QTest::addColumn<Runner>("runner");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("serverCause");
        struct Case {
            const char* name;
            QString source;
            QString target;
            QStringList ticks;
            QStringList tables;
            QString message;
            QList<int> modes = {Truncate, Grouped, Merge};
            bool sql2005Only = false;
            bool everyRunner = false;
            // What the server says where it stops a step itself: all a
            // runner that keeps each batch's first error shows of it.
            QString serverCause = {};
        };
        const QString regionRows = "(1,'North'), (2,'South')";
        const QList<Case> cases{
            {"a column the target lacks",
             regions("Name varchar(10) null, Extra int null", "(1,'N',5), (2,'S',6)"),
             regions("Name varchar(10) null", "(1,'old'), (3,'x')"),
             {"Regions"},
             {"Regions"},
             "the rows of dbo.Regions were not all staged"},
            {"an extra NOT NULL column",
             regions("Name varchar(10) null", regionRows),
             regions("Name varchar(10) null, Must int not null", "(1,'old',1)"),
             {"Regions"},
             {"Regions"},
             "dbo.Regions: inserting rows failed with error 515",
             {Truncate, Grouped, Merge},
             false,
             true,
             "column does not allow nulls"},
            {"a narrower column",
             regions("Name varchar(10) null", "(1,'Northern')"),
             regions("Name varchar(3) null", "(1,'old'), (3,'x')"),
             {"Regions"},
             {"Regions"},
             "the rows of dbo.Regions were not all staged"},
            {"a failure in the middle of the last table's rows",
             QString(shippers) + sourceShippers + regions("Name varchar(10) null", manyRegions()),
             QString(shippers) + targetShippers +
                 regions("Name varchar(3) null", "(1,'old'), (300,'x')"),
             {"Shippers", "Regions"},
             {"Shippers", "Regions"},
             "the rows of dbo.Regions were not all staged",
             {Truncate, Grouped, Merge},
             false,
             true,
             "would be truncated"},
            {"a live plain key",
             QString(shippers) + sourceShippers + shipments(""),
             QString(shippers) + targetShippers + liveShipments(""),
             {"Shippers"},
             {"Shippers", "Shipments"},
             "dbo.Shipments (not in this script) reference rows of "
             "dbo.Shippers"},
            {"a live cascading key",
             QString(shippers) + sourceShippers + shipments(" on delete cascade"),
             QString(shippers) + targetShippers + liveShipments(" on delete cascade"),
             {"Shippers"},
             {"Shippers", "Shipments"},
             "(ON DELETE CASCADE)",
             {Truncate, Grouped, Merge},
             false,
             true},
            {"a key only the target has",
             QString(shippers) + sourceShippers,
             QString(shippers) + targetShippers + liveShipments(" on delete cascade"),
             {"Shippers"},
             {"Shippers", "Shipments"},
             "a key the source does not have"},
            {"a live SET NULL key",
             QString(shippers) + sourceShippers + shipments(" on delete set null"),
             QString(shippers) + targetShippers + liveShipments(" on delete set null"),
             {"Shippers"},
             {"Shippers", "Shipments"},
             "(ON DELETE SET NULL)",
             {Truncate, Grouped, Merge},
             true},
            {"a filtered self-reference",
             QString(staff) + "insert into Staff values (1,null,'A'), (3,1,'A')\nGO\n",
             QString(staff) + "insert into Staff values (1,null,'A'), (2,1,'B'), (4,1,'A')\nGO\n",
             {"Staff where Dept = 'A'"},
             {"Staff"},
             "rows of dbo.Staff outside its row filter reference rows of dbo.Staff",
             {Truncate, Grouped}},
            {"a key held outside the row filter",
             QString(sales) + "insert into Sales values (7,'EU',1), (8,'EU',2)\nGO\n",
             QString(sales) + "insert into Sales values (7,'US',5), (9,'EU',3)\nGO\n",
             {"Sales where Region = 'EU'"},
             {"Sales"},
             "dbo.Sales holds the row with key (SaleId=7) outside its row filter"},
        };
        const QList<std::pair<Runner, const char*>> runners{
            {Runner::Tsql, ""},
            {Runner::Batches, ", batch by batch"},
            {Runner::BatchesStoppingAtError, ", stopping at the first error"}};
        for (const Case& c : cases)
            for (const auto& [runner, runnerName] : runners)
                for (const QString& version : versions)
                    for (int mode : c.modes) {
                        if ((c.sql2005Only && version.startsWith("8.")) ||
                            (runner != Runner::Tsql && !c.everyRunner))
                            continue;
                        QTest::addRow("%s, %s, %s%s", c.name, modeNames[mode], qPrintable(version),
                                      runnerName)
                            << runner << version << mode << c.source << c.target << c.ticks
                            << c.tables << c.message << c.serverCause;
                    }
    }

    void refusedLoadChangesNothing() {
        QFETCH(Runner, runner);
        QFETCH(QString, version);
        QFETCH(int, mode);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QStringList, ticks);
        QFETCH(QStringList, tables);
        QFETCH(QString, message);
        QFETCH(QString, serverCause);
        test::ProductionCopy copy(version, source, target);
        setMode(copy.run.settings, mode);
        copy.tick(ticks);
        QCOMPARE(copy.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QStringList before = copy.state(tables);
        const QString output = copy.load(runner);
        QCOMPARE(copy.state(tables), before);
        QVERIFY2(reportLines(output).isEmpty(), qPrintable(output));
        if (runner != Runner::Tsql && !serverCause.isEmpty()) {
            QVERIFY2(output.contains(serverCause), qPrintable(output));
            return;
        }
        QVERIFY2(output.contains("Nothing changed: "), qPrintable(output));
        QVERIFY2(output.contains(message), qPrintable(output));
    }

    // Where the target can take the rows, the ticked tables end as the
    // source's in every mode: a unique value moving between rows, a table
    // that another ticked table references, a table the server refuses to
    // truncate. A table the run skips stays as it was, and the load says why.
    void loadKeepsItsPromise_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QString>("printed");
        struct Case {
            const char* name;
            QString source;
            QString target;
            QStringList tables;
            QStringList skipped = {};
            QString printed = {}; // a line the load prints
            QList<int> modes = {Truncate, Grouped, Merge};
            QStringList on = versions;
        };
        const QList<Case> cases{
            {"a unique value moving to another row",
             QString(codes) + "insert into Codes values (1,'x')\nGO\n",
             QString(codes) + "insert into Codes values (2,'x'), (3,'y')\nGO\n",
             {"Codes"}},
            {"a table another ticked table references",
             regions("Name varchar(10) null", "(1,'N'), (2,'S')") + customers +
                 "insert into Customers values (10,1), (11,2)\nGO\n",
             regions("Name varchar(10) null", "(1,'old'), (5,'x')") + customers +
                 "insert into Customers values (12,5)\nGO\n",
             {"Regions", "Customers"}},
            {"a key over a computed column before the plain one",
             QString(meters) +
                 "insert into Meters (Site,Dial,Reading) values (1,1,5), (2,1,6)\nGO\n",
             QString(meters) +
                 "insert into Meters (Site,Dial,Reading) values (1,1,9), (3,2,7)\nGO\n",
             {"Meters"}},
            {.name = "only a key over a computed column",
             .source = QString(codes) + dials +
                       "insert into Codes values (1,'x')\ninsert into Dials (Site,Reading) "
                       "values (1,5)\nGO\n",
             .target = QString(codes) + dials +
                       "insert into Codes values (2,'x')\ninsert into Dials (Site,Reading) "
                       "values (1,9), (2,7)\nGO\n",
             .tables = {"Codes"},
             .skipped = {"Dials"},
             .printed = "Table Dials skipped: has no key to merge on but one over the computed "
                        "column Code, which the staged rows do not hold",
             .modes = {Merge}},
            {.name = "a memory-optimized table",
             .source = QString(sessions) + "insert into Sessions values (1,'a'), (2,'b')\nGO\n",
             .target = QString(sessions) + "insert into Sessions values (2,'old'), (3,'c')\nGO\n",
             .tables = {"Sessions"},
             .printed = "Deleting the rows of dbo.Sessions: a memory-optimized table cannot be "
                        "truncated",
             .modes = {Truncate},
             .on = {"12.00.2000", "16.00.4135"}},
        };
        for (const Case& c : cases)
            for (const QString& version : c.on)
                for (int mode : c.modes)
                    QTest::addRow("%s, %s, %s", c.name, modeNames[mode], qPrintable(version))
                        << version << mode << forVersion(c.source, version)
                        << forVersion(c.target, version) << c.tables << c.skipped << c.printed;
    }

    void loadKeepsItsPromise() {
        QFETCH(QString, version);
        QFETCH(int, mode);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QStringList, tables);
        QFETCH(QStringList, skipped);
        QFETCH(QString, printed);
        test::ProductionCopy copy(version, source, target);
        setMode(copy.run.settings, mode);
        copy.tick(tables + skipped);
        QCOMPARE(copy.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QStringList before = copy.state(skipped);
        const QString output = copy.load();
        QVERIFY2(!output.contains("Nothing changed"), qPrintable(output));
        QVERIFY2(output.contains("All changes committed"), qPrintable(output));
        QVERIFY2(output.contains(printed), qPrintable(output));
        for (const QString& table : tables) {
            const QString query = "select * from " + table + " order by 1";
            QCOMPARE(copy.target.exactRows(query), copy.source.exactRows(query));
        }
        QCOMPARE(copy.state(skipped), before);
        QCOMPARE(reportLines(output).size(), tables.size());
    }

    // The preview prints what the load would do and leaves the target as it
    // was; the load prints the same; a merge run again changes nothing.
    void previewReportsAndRerunChangesNothing() {
        test::ProductionCopy copy(
            "9.00.1399", QString(codes) + "insert into Codes values (1,'x'), (4,'z')\nGO\n",
            QString(codes) + "insert into Codes values (2,'x'), (4,'w'), (5,'v')\nGO\n");
        setMode(copy.run.settings, Merge);
        copy.tick({"Codes"});
        copy.run.settings.chkPreview = Checked;
        QCOMPARE(copy.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        const QStringList before = copy.state({"Codes"});
        const QString preview = copy.load();
        QCOMPARE(copy.state({"Codes"}), before);
        QVERIFY2(preview.contains("Preview only: nothing was changed"), qPrintable(preview));
        QCOMPARE(reportLines(preview), QStringList{"dbo.Codes: 2 deleted, 1 updated, 1 inserted"});

        copy.run.settings.chkPreview = Unchecked;
        copy.tick({"Codes"});
        QCOMPARE(copy.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QCOMPARE(reportLines(copy.load()), reportLines(preview));
        QCOMPARE(reportLines(copy.load()),
                 QStringList{"dbo.Codes: 0 deleted, 0 updated, 0 inserted"});
    }

    // A merge leaves an identity column outside the key to the target, and
    // sets the counter of an identity key where the other modes set it.
    void mergeAndIdentity() {
        const QString tags = "create table Tags (TagId int identity(1,1) not null unique, Code "
                             "varchar(5) not null primary key, Label varchar(10) null)\nGO\n"
                             "create table Items (Id int identity(1,1) not null primary key, "
                             "Name varchar(10) null)\nGO\n";
        const QString sourceRows = "set identity_insert Tags on\ninsert into Tags (TagId,Code,"
                                   "Label) values (1,'a','A'), (2,'b','B')\nset identity_insert "
                                   "Tags off\ninsert into Items (Name) values ('i'),('j'),('k')\n"
                                   "GO\n";
        const QString targetRows = "set identity_insert Tags on\ninsert into Tags (TagId,Code,"
                                   "Label) values (5,'a','old'), (6,'c','C')\nset "
                                   "identity_insert Tags off\ninsert into Items (Name) values "
                                   "('i'),('j'),('k'),('l'),('m')\nGO\n";
        test::ProductionCopy copy("9.00.1399", tags + sourceRows, tags + targetRows);
        setMode(copy.run.settings, Merge);
        copy.tick({"Tags", "Items"});
        QCOMPARE(copy.run.create().value_or("<ok>"), QStringLiteral("<ok>"));
        QVERIFY(copy.run.file("Tables.sql")
                    .contains("its identity column TagId is left to the target"));
        const QString output = copy.load();
        QVERIFY2(output.contains("All changes committed"), qPrintable(output));
        QCOMPARE(copy.target.rows("select TagId,Code,Label from Tags order by Code"),
                 QStringList({"5|a|A", "7|b|B"}));
        QCOMPARE(copy.target.rows("select ident_current('dbo.Items')"), QStringList{"3"});
        QCOMPARE(reportLines(copy.load()),
                 QStringList({"dbo.Tags: 0 deleted, 0 updated, 0 inserted",
                              "dbo.Items: 0 deleted, 0 updated, 0 inserted"}));
    }
};

QTEST_GUILESS_MAIN(ProductionLoadTest)
#include "ProductionLoadTest.moc"
