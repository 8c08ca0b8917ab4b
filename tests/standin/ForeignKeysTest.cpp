// Foreign keys in the stand-in: declared every way SQL Server allows, listed
// by the catalogue of both generations, and enforced with SQL Server's errors.

#include "EngineHarness.h"

#include <QRegularExpression>

using namespace quarvex;
using quarvex::test::EngineHarness;

namespace {

// One key of each declaration form: column constraint named and unnamed
// (the primary key implied), table constraint of two columns, a table's key
// to itself, and one added by ALTER TABLE.
const char* const declarations = R"(
create table dbo.Region (Country char(2) not null, Code int not null, Name varchar(20) null,
    constraint PK_Region primary key (Country, Code))
create table dbo.Parent (Id int not null primary key, Label varchar(10) null)
create table dbo.Child (
    ChildId int not null primary key,
    ParentId int null constraint FK_Child_Parent references dbo.Parent (Id),
    SecondParentId int null references dbo.Parent,
    Country char(2) null,
    RegionCode int null,
    LeadId int null,
    constraint FK_Child_Region foreign key (Country, RegionCode) references dbo.Region (Country, Code))
alter table dbo.Child add foreign key (LeadId) references dbo.Child (ChildId)
)";

// Each key column: key, referencing table and column, referenced table and
// column, its place in the key, the key's columns, and 1 when the key's own
// row (type F, parent the referencing table) and, before 2005, its
// sysreferences row agree.
const char* const modernQuery = R"(
select f.name, object_name(f.parent_object_id), pc.name, object_name(f.referenced_object_id),
    rc.name, k.constraint_column_id,
    (select count(*) from sys.foreign_key_columns c where c.constraint_object_id = f.object_id),
    case when o.type = 'F' and o.parent_object_id = f.parent_object_id then 1 else 0 end
from sys.foreign_keys f
join sys.foreign_key_columns k on k.constraint_object_id = f.object_id
join sys.columns pc on pc.object_id = k.parent_object_id and pc.column_id = k.parent_column_id
join sys.columns rc on rc.object_id = k.referenced_object_id and rc.column_id = k.referenced_column_id
join sys.objects o on o.object_id = f.object_id
order by f.name, k.constraint_column_id
)";

const char* const legacyQuery = R"(
select o.name, object_name(k.fkeyid), fc.name, object_name(k.rkeyid), rc.name, k.keyno, r.keycnt,
    case when o.xtype = 'F' and o.parent_obj = k.fkeyid and r.fkeyid = k.fkeyid
        and r.rkeyid = k.rkeyid
        and (case k.keyno when 1 then r.fkey1 when 2 then r.fkey2 end) = k.fkey
        and (case k.keyno when 1 then r.rkey1 when 2 then r.rkey2 end) = k.rkey
    then 1 else 0 end
from sysforeignkeys k
join sysobjects o on o.id = k.constid
join syscolumns fc on fc.id = k.fkeyid and fc.colid = k.fkey
join syscolumns rc on rc.id = k.rkeyid and rc.colid = k.rkey
join sysreferences r on r.constid = k.constid
order by o.name, k.keyno
)";

// Tables and keys every enforcement case starts from.
const char* const enforced = R"(
create table dbo.Parent (Id int not null primary key, Name varchar(10) null)
create table dbo.Child (ChildId int not null primary key,
    ParentId int null constraint FK_Child_Parent references dbo.Parent (Id))
create table dbo.Node (NodeId int not null primary key,
    Above int null constraint FK_Node_Node references dbo.Node (NodeId))
create table dbo.Pair (A int not null, B int not null, constraint PK_Pair primary key (A, B))
create table dbo.PairUse (A int null, B int null,
    constraint FK_PairUse_Pair foreign key (A, B) references dbo.Pair (A, B))
insert into dbo.Parent values (1, 'one')
insert into dbo.Parent values (2, 'two')
insert into dbo.Child values (10, 1)
insert into dbo.Pair values (1, 1)
)";

// The rows of Parent, Child, Node and PairUse.
const char* const stateQuery = R"(
select (select count(*) from dbo.Parent), (select count(*) from dbo.Child),
    (select count(*) from dbo.Node), (select count(*) from dbo.PairUse)
)";

// Keys with actions: Shipper's rows reach Parcel through two cascades,
// Invoice by SET NULL, Note by SET DEFAULT (and a cascade of key changes);
// Label's plain key refers to Parcel.
const char* const actions = R"(
create table dbo.Shipper (Id int not null primary key, Name varchar(10) null)
create table dbo.Shipment (Id int not null primary key, ShipperId int null
    constraint FK_Shipment_Shipper references dbo.Shipper (Id) on delete cascade on update cascade)
create table dbo.Parcel (Id int not null primary key, ShipmentId int not null
    constraint FK_Parcel_Shipment references dbo.Shipment on delete cascade)
create table dbo.Invoice (Id int not null primary key, ShipperId int null)
create table dbo.Note (Id int not null primary key, ShipperId int not null default 1)
create table dbo.Label (ParcelId int null references dbo.Parcel (Id))
insert into dbo.Shipper values (1, 'one'), (2, 'two'), (3, 'three')
insert into dbo.Shipment values (10, 1), (11, 2), (12, 3)
insert into dbo.Parcel values (100, 10), (101, 11), (102, 11)
insert into dbo.Invoice values (20, 1), (21, 2)
insert into dbo.Note values (30, 2), (31, 3)
go
alter table dbo.Invoice add constraint FK_Invoice_Shipper foreign key (ShipperId)
    references dbo.Shipper (Id) on delete set null on update no action
go
alter table dbo.Note add constraint FK_Note_Shipper foreign key (ShipperId)
    references dbo.Shipper (Id) on update cascade on delete set default
)";

// Rows of Shipper, Shipment and Parcel, invoices without a shipper, and the
// sums of the shipper ids of Shipment and Note.
const char* const actionsState = R"(
select (select count(*) from dbo.Shipper), (select count(*) from dbo.Shipment),
    (select count(*) from dbo.Parcel), (select count(*) from dbo.Invoice where ShipperId is null),
    (select sum(ShipperId) from dbo.Shipment), (select sum(ShipperId) from dbo.Note)
)";

} // namespace

class ForeignKeysTest : public QObject {
    Q_OBJECT

private slots:
    void catalogueViews_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("query");
        QTest::newRow("2005 catalogue views") << "9.00.1399" << modernQuery;
        QTest::newRow("2005 compatibility views") << "9.00.1399" << legacyQuery;
        QTest::newRow("2000 system tables") << "8.00.2039" << legacyQuery;
    }

    void catalogueViews() {
        QFETCH(QString, version);
        QFETCH(QString, query);
        EngineHarness h(version);
        QCOMPARE(h.error(declarations).message, QString());
        QStringList listed = h.lines(query);
        // Made-up names end in the key's id in hex.
        listed.replaceInStrings(QRegularExpression("__[0-9A-F]{8} "), "__<id> ");
        const QStringList expected{
            "FK__Child__Child__<id> Child LeadId Child ChildId 1 1 1",
            "FK__Child__Paren__<id> Child SecondParentId Parent Id 1 1 1",
            "FK_Child_Parent Child ParentId Parent Id 1 1 1",
            "FK_Child_Region Child Country Region Country 1 2 1",
            "FK_Child_Region Child RegionCode Region Code 2 2 1",
        };
        QCOMPARE(listed, expected);
    }

    void enforcement_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("state"); // stateQuery afterwards
        const auto row = [](const char* name, const char* batch, int number, const QString& message,
                            const char* state) {
            QTest::newRow(name) << batch << number << message << state;
        };
        const QString conflict =
            "statement conflicted with the %1 constraint \"%2\". The conflict "
            "occurred in database \"Northwind\", table \"dbo.%3\", column '%4'.";
        row("insert without its referenced row ends the statement, not the batch",
            "insert into dbo.Child values (11, 3)\ninsert into dbo.Child values (12, 2)", 547,
            "The INSERT " + conflict.arg("FOREIGN KEY", "FK_Child_Parent", "Parent", "Id"),
            "2 2 0 0");
        row("delete of a referenced row", "delete from dbo.Parent", 547,
            "The DELETE " + conflict.arg("REFERENCE", "FK_Child_Parent", "Child", "ParentId"),
            "2 1 0 0");
        row("a key with a null is not checked",
            "insert into dbo.Child values (11, null)\ninsert into dbo.PairUse values (5, null)", 0,
            "", "2 2 0 1");
        row("rows of one statement refer to each other",
            "insert into dbo.Node values (1, 2), (2, 1)\ndelete from dbo.Node where NodeId = 1",
            547,
            "The DELETE " + conflict.arg("SAME TABLE REFERENCE", "FK_Node_Node", "Node", "Above"),
            "2 1 2 0");
        row("a table referring to itself deleted whole",
            "insert into dbo.Node values (1, null)\ninsert into dbo.Node values (2, 1)\n"
            "insert into dbo.Node values (3, 2)\ndelete from dbo.Node",
            0, "", "2 1 0 0");
        row("a failed statement leaves none of its rows",
            "insert into dbo.Node values (1, null), (2, 1), (3, 9)", 547,
            "The INSERT " +
                conflict.arg("FOREIGN KEY SAME TABLE", "FK_Node_Node", "Node", "NodeId"),
            "2 1 0 0");
        row("truncate refused while no row refers", "truncate table dbo.Pair", 4712,
            "Cannot truncate table 'dbo.Pair' because it is being referenced by a FOREIGN KEY "
            "constraint.",
            "2 1 0 0");
        row("truncate refused with the referring key off",
            "alter table dbo.Child nocheck constraint FK_Child_Parent\n"
            "truncate table dbo.Parent",
            4712,
            "Cannot truncate table 'dbo.Parent' because it is being referenced by a FOREIGN KEY "
            "constraint.",
            "2 1 0 0");
        row("truncate of a table that refers to itself",
            "insert into dbo.Node values (1, null), (2, 1)\ntruncate table dbo.Node", 0, "",
            "2 1 0 0");
        row("a key turned off checks no insert and no delete",
            "alter table dbo.Child nocheck constraint FK_Child_Parent\n"
            "insert into dbo.Child values (11, 3)\ndelete from dbo.Parent where Id = 1",
            0, "", "1 2 0 0");
        row("turned on with a check, a row without its referenced row fails it",
            "alter table dbo.Child nocheck constraint FK_Child_Parent\n"
            "insert into dbo.Child values (11, 3)\n"
            "alter table dbo.Child with check check constraint FK_Child_Parent\n"
            "insert into dbo.Child values (12, 4)",
            547,
            "The ALTER TABLE " + conflict.arg("FOREIGN KEY", "FK_Child_Parent", "Parent", "Id"),
            "2 3 0 0");
        row("turned on without a check, old rows stay and new ones are checked",
            "alter table dbo.Child nocheck constraint FK_Child_Parent\n"
            "insert into dbo.Child values (11, 3)\n"
            "alter table dbo.Child check constraint FK_Child_Parent\n"
            "insert into dbo.Child values (12, 4)",
            547, "The INSERT " + conflict.arg("FOREIGN KEY", "FK_Child_Parent", "Parent", "Id"),
            "2 2 0 0");
        row("a key to itself off loads children first, then checks again",
            "alter table dbo.Node nocheck constraint FK_Node_Node\n"
            "insert into dbo.Node values (1, 2)\ninsert into dbo.Node values (2, null)\n"
            "alter table dbo.Node with check check constraint FK_Node_Node\n"
            "delete from dbo.Node where NodeId = 2",
            547,
            "The DELETE " + conflict.arg("SAME TABLE REFERENCE", "FK_Node_Node", "Node", "Above"),
            "2 1 2 0");
        row("all of a table's keys off",
            "alter table dbo.PairUse nocheck constraint all\ninsert into dbo.PairUse values (7, 7)",
            0, "", "2 1 0 1");
        row("an unknown key changes none",
            "alter table dbo.Child nocheck constraint FK_Child_Parent, FK_Nothing\n"
            "insert into dbo.Child values (11, 3)",
            4917, "Constraint 'FK_Nothing' does not exist.", "2 1 0 0");
    }

    void enforcement() {
        QFETCH(QString, batch);
        QFETCH(int, number);
        QFETCH(QString, message);
        QFETCH(QString, state);
        EngineHarness h;
        QCOMPARE(h.error(enforced).message, QString());
        const standin::SqlError error = h.error(batch);
        QCOMPARE(error.message, message);
        QCOMPARE(error.number, number);
        if (number == 547)
            QCOMPARE(error.severity, 16);
        QCOMPARE(h.lines(stateQuery).value(0), state);
    }

    // A delete or key change carries out every enabled key's action within
    // the statement, then checks the plain keys; it counts its own rows.
    void referentialActions_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("state"); // actionsState afterwards
        const QString unchanged = "3 3 3 0 6 5";
        QTest::newRow("cascade two levels, set null and set default")
            << "delete from dbo.Shipper where Id = 2\nprint @@rowcount" << QStringList{"1"}
            << "2 2 1 1 4 4";
        QTest::newRow("a key turned off neither checks nor cascades")
            << "alter table dbo.Shipment nocheck constraint FK_Shipment_Shipper\n"
               "delete from dbo.Shipper where Id = 3"
            << QStringList{} << "2 3 3 0 6 3";
        QTest::newRow("a default without its referenced row fails the whole delete")
            << "delete from dbo.Shipper where Id in (1, 2)"
            << QStringList{"Msg 547: The DELETE statement conflicted with the FOREIGN KEY "
                           "constraint \"FK_Note_Shipper\". The conflict occurred in database "
                           "\"Northwind\", table \"dbo.Shipper\", column 'Id'."}
            << unchanged;
        QTest::newRow("a plain key below the cascades fails the whole delete")
            << "insert into dbo.Label values (100)\ndelete from dbo.Shipper where Id = 1"
            << QStringList{"Msg 547: The DELETE statement conflicted with the REFERENCE "
                           "constraint \"FK__Label__Parce__%1\". The conflict occurred in "
                           "database \"Northwind\", table \"dbo.Label\", column 'ParcelId'."}
            << unchanged;
        QTest::newRow("a rolled back transaction brings the cascaded rows back")
            << "begin tran\ndelete from dbo.Shipper where Id = 2\nrollback tran" << QStringList{}
            << unchanged;
        QTest::newRow("a changed key cascades")
            << "update dbo.Shipper set Id = 5 where Id = 3" << QStringList{} << "3 3 3 0 8 7";
        QTest::newRow("truncate refused whatever the action")
            << "truncate table dbo.Shipper"
            << QStringList{"Msg 4712: Cannot truncate table 'dbo.Shipper' because it is being "
                           "referenced by a FOREIGN KEY constraint."}
            << unchanged;
    }

    void referentialActions() {
        QFETCH(QString, batch);
        QFETCH(QStringList, messages);
        QFETCH(QString, state);
        EngineHarness h;
        QCOMPARE(h.messages(actions), QStringList{});
        const QString labelKey =
            h.scalar("select name from sys.foreign_keys where parent_object_id = "
                     "object_id('dbo.Label')")
                .toString()
                .right(8);
        QCOMPARE(h.messages(batch), messages.replaceInStrings("%1", labelKey));
        QCOMPARE(h.lines(actionsState).value(0), state);
    }

    // What each catalogue tells of the actions: 2005 names them all, 2000
    // knows cascades only and refuses the others as SQL it does not know.
    void actionsInTheCatalogue_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("2005")
            << "9.00.1399"
            << "select name, delete_referential_action, delete_referential_action_desc, "
               "update_referential_action, update_referential_action_desc from sys.foreign_keys "
               "where name not like 'FK[_][_]%' order by name"
            << QStringList{"FK_Invoice_Shipper 2 SET_NULL 0 NO_ACTION",
                           "FK_Note_Shipper 3 SET_DEFAULT 1 CASCADE",
                           "FK_Parcel_Shipment 1 CASCADE 0 NO_ACTION",
                           "FK_Shipment_Shipper 1 CASCADE 1 CASCADE"};
        QTest::newRow("2000")
            << "8.00.2039"
            << "select name, objectproperty(id, 'CnstIsDeleteCascade'), "
               "objectproperty(id, 'CnstIsUpdateCascade') from sysobjects where xtype = 'F' "
               "and name not like 'FK[_][_]%' order by name"
            << QStringList{"FK_Parcel_Shipment 1 0", "FK_Shipment_Shipper 1 1"};
    }

    void actionsInTheCatalogue() {
        QFETCH(QString, version);
        QFETCH(QString, query);
        QFETCH(QStringList, listed);
        EngineHarness h(version);
        const QString refused = "Msg 102: Incorrect syntax near the keyword 'set'.";
        const QStringList errors =
            version.startsWith('8') ? QStringList{refused, refused} : QStringList{};
        QCOMPARE(h.messages(actions), errors);
        QCOMPARE(h.lines(query), listed);
    }

    // Keys SQL Server refuses to make for their actions.
    void refusedActions_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("number");
        QTest::newRow("a cascade to its own table")
            << "create table dbo.Node (Id int not null primary key, Up int null "
               "references dbo.Node (Id) on delete cascade)"
            << 1785;
        QTest::newRow("a second path to a table")
            << "create table dbo.Tag (Id int not null primary key,\n"
               "ShipperId int null references dbo.Shipper (Id) on delete set null,\n"
               "ParcelId int null references dbo.Parcel (Id) on delete cascade)"
            << 1785;
        QTest::newRow("set null of a column that takes no null")
            << "create table dbo.Tag (Id int not null primary key,\n"
               "ShipperId int not null references dbo.Shipper (Id) on delete set null)"
            << 1761;
    }

    void refusedActions() {
        QFETCH(QString, batch);
        QFETCH(int, number);
        EngineHarness h;
        QCOMPARE(h.messages(actions), QStringList{});
        QCOMPARE(h.error(batch).number, number);
    }

    // Turned off, a key is no longer trusted; only a check of every row when
    // it is turned on again trusts it.
    void disabledAndTrusted_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("flags"); // disabled, not trusted
        const QString off = "alter table dbo.Child nocheck constraint FK_Child_Parent\n";
        const std::pair<const char*, const char*> generations[] = {{"2000", "8.00.2039"},
                                                                   {"2005", "9.00.1399"}};
        for (const auto& [generation, version] : generations) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", generation, name) << QString(version);
            };
            row("as created") << ""
                              << "0 0";
            row("turned off") << off << "1 1";
            row("turned on") << off + "alter table dbo.Child check constraint FK_Child_Parent"
                             << "0 1";
            row("turned on with a check")
                << off + "alter table dbo.Child with check check constraint all"
                << "0 0";
            row("a failed check leaves it off")
                << off + "insert into dbo.Child values (11, 3)\n"
                         "alter table dbo.Child with check check constraint FK_Child_Parent"
                << "1 1";
        }
    }

    void disabledAndTrusted() {
        QFETCH(QString, version);
        QFETCH(QString, batch);
        QFETCH(QString, flags);
        EngineHarness h(version);
        QCOMPARE(h.error(enforced).message, QString());
        h.run(batch);
        const QString query = version.startsWith('9')
                                  ? "select is_disabled, is_not_trusted from sys.foreign_keys "
                                    "where name = 'FK_Child_Parent'"
                                  : "select objectproperty(id, 'CnstIsDisabled'), "
                                    "objectproperty(id, 'CnstIsNotTrusted') from sysobjects "
                                    "where name = 'FK_Child_Parent'";
        QCOMPARE(h.lines(query), QStringList{flags});
    }
};

QTEST_GUILESS_MAIN(ForeignKeysTest)
#include "ForeignKeysTest.moc"
