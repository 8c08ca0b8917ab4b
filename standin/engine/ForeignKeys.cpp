#include "standin/engine/ForeignKeys.h"

#include "standin/store/Sqlite.h"

#include <QSet>
#include <sqlite3.h>

namespace quarvex::standin {

namespace {

// SQL Server allows no more columns in a key.
constexpr int maximumKeyColumns = 16;

// The keys, and the key values the running statement wrote (side 0: a
// referencing row) or took away (side 1: a referenced row).
const char* const tablesSql = R"(
create table qx_foreign_keys (object_id integer primary key, parent_object_id int,
    referenced_object_id int, is_not_trusted bit, is_system_named bit, is_disabled bit default 0,
    delete_referential_action int default 0, update_referential_action int default 0);
create table qx_foreign_key_columns (constraint_object_id int, constraint_column_id int,
    parent_object_id int, parent_column_id int, referenced_object_id int,
    referenced_column_id int);
create table qx_key_writes (key_id int, side int, v1, v2, v3, v4, v5, v6, v7, v8, v9, v10, v11,
    v12, v13, v14, v15, v16);
)";

const char* const modernViewsSql = R"(
create view "sys.foreign_keys" as select o.name, o.object_id, null as principal_id, o.schema_id,
    o.parent_object_id, o.type, 'FOREIGN_KEY_CONSTRAINT' as type_desc, o.create_date,
    o.create_date as modify_date, o.is_ms_shipped, 0 as is_published, 0 as is_schema_published,
    f.referenced_object_id, 1 as key_index_id, f.is_disabled, 0 as is_not_for_replication,
    f.is_not_trusted, f.delete_referential_action,
    case f.delete_referential_action when 1 then 'CASCADE' when 2 then 'SET_NULL'
        when 3 then 'SET_DEFAULT' else 'NO_ACTION' end as delete_referential_action_desc,
    f.update_referential_action,
    case f.update_referential_action when 1 then 'CASCADE' when 2 then 'SET_NULL'
        when 3 then 'SET_DEFAULT' else 'NO_ACTION' end as update_referential_action_desc,
    f.is_system_named
    from qx_foreign_keys f join qx_objects o on o.object_id = f.object_id;
create view "sys.foreign_key_columns" as select * from qx_foreign_key_columns;
)";

// sysreferences spreads a key's columns over fkey1..fkey16 and rkey1..rkey16.
QString legacyViewsSql() {
    QStringList spread;
    for (const char* side : {"parent", "referenced"})
        for (int i = 1; i <= maximumKeyColumns; ++i)
            spread.append(
                QStringLiteral("coalesce((select %1_column_id from qx_foreign_key_columns "
                               "c where c.constraint_object_id = f.object_id and "
                               "c.constraint_column_id = %2), 0) as %3key%2")
                    .arg(QLatin1String(side))
                    .arg(i)
                    .arg(QLatin1Char(side[0] == 'p' ? 'f' : 'r')));
    return QStringLiteral(
               "create view sysforeignkeys as select constraint_object_id as constid, "
               "parent_object_id as fkeyid, referenced_object_id as rkeyid, parent_column_id as "
               "fkey, referenced_column_id as rkey, constraint_column_id as keyno from "
               "qx_foreign_key_columns;\n"
               "create view sysreferences as select f.object_id as constid, f.parent_object_id as "
               "fkeyid, f.referenced_object_id as rkeyid, 1 as rkeyindid, (select count(*) from "
               "qx_foreign_key_columns c where c.constraint_object_id = f.object_id) as keycnt, "
               "0 as fkeydbid, 0 as rkeydbid, %1 from qx_foreign_keys f;\n")
        .arg(spread.join(QStringLiteral(", ")));
}

QStringList quoted(const QString& prefix, const QStringList& names) {
    QStringList result;
    for (const QString& name : names)
        result.append(prefix + quoteName(name));
    return result;
}

// "l1 = r1 and l2 = r2 ...".
QString equal(const QStringList& left, const QStringList& right) {
    QStringList terms;
    for (int i = 0; i < left.size(); ++i)
        terms.append(left[i] + QStringLiteral(" = ") + right[i]);
    return terms.join(QStringLiteral(" and "));
}

// The value columns of qx_key_writes a key of count columns fills.
QStringList noteColumns(int count, const QString& prefix = {}) {
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names.append(prefix + QStringLiteral("v%1").arg(i));
    return names;
}

QString noteSql(int keyId, int side, const QStringList& values) {
    return QStringLiteral("insert into qx_key_writes (key_id, side, %1) values (%2, %3, %4);")
        .arg(noteColumns(int(values.size())).join(QStringLiteral(", ")), QString::number(keyId),
             QString::number(side), values.join(QStringLiteral(", ")));
}

// A referenced row with the values of the referencing columns given.
QString referencedRowExists(const ForeignKey& key, const QStringList& values) {
    return QStringLiteral("exists (select 1 from %1 r where %2)")
        .arg(quoteName(key.referenced.sqliteName),
             equal(quoted(QStringLiteral("r."), key.referencedColumns), values));
}

QString referencingRowExists(const ForeignKey& key, const QStringList& values) {
    return QStringLiteral("exists (select 1 from %1 d where %2)")
        .arg(quoteName(key.referencing.sqliteName),
             equal(quoted(QStringLiteral("d."), key.referencingColumns), values));
}

// Triggers that note what each statement does to the key, and an index for
// finding the rows that refer to a referenced row.
QString triggersSql(const ForeignKey& key) {
    const QStringList written = quoted(QStringLiteral("new."), key.referencingColumns);
    const QStringList removed = quoted(QStringLiteral("old."), key.referencedColumns);
    QStringList present;
    for (const QString& value : written)
        present.append(value + QStringLiteral(" is not null"));
    return QStringLiteral(
               "create trigger \"fk%1_insert\" after insert on %2 when %3 begin %4 end;\n"
               "create trigger \"fk%1_update\" after update of %5 on %2 when %3 begin %4 end;\n"
               "create trigger \"fk%1_delete\" after delete on %6 begin %7 end;\n"
               "create trigger \"fk%1_rekey\" after update of %8 on %6 begin %7 end;\n"
               "create index \"fk%1_index\" on %2 (%5);\n")
        .arg(QString::number(key.id), quoteName(key.referencing.sqliteName),
             present.join(QStringLiteral(" and ")), noteSql(key.id, 0, written),
             quoted({}, key.referencingColumns).join(QStringLiteral(", ")),
             quoteName(key.referenced.sqliteName), noteSql(key.id, 1, removed),
             quoted({}, key.referencedColumns).join(QStringLiteral(", ")));
}

QString dropTriggersSql(int keyId) {
    QString sql;
    for (const char* trigger : {"insert", "update", "delete", "rekey", "on_delete", "on_update"})
        sql += QStringLiteral("drop trigger if exists \"fk%1_%2\";\n")
                   .arg(keyId)
                   .arg(QLatin1String(trigger));
    return sql + QStringLiteral("drop index if exists \"fk%1_index\";\n").arg(keyId);
}

// As SQL Server makes names up: both tables' names cut short, the key's id.
QString generatedName(const QString& table, const QString& referenced, int keyId) {
    return QStringLiteral("FK__%1__%2__%3")
        .arg(table.left(9), referenced.left(5),
             QStringLiteral("%1").arg(uint(keyId), 8, 16, QLatin1Char('0')).toUpper());
}

} // namespace

ForeignKeys::ForeignKeys(sqlite3* db, Catalogue& catalogue, const QString& database)
    : m_db(db)
    , m_catalogue(catalogue)
    , m_database(database) {}

QString ForeignKeys::create() {
    QString error = sqliteExec(m_db, QString::fromLatin1(tablesSql));
    if (error.isEmpty() && m_catalogue.majorVersion() >= 9)
        error = sqliteExec(m_db, QString::fromLatin1(modernViewsSql));
    if (error.isEmpty())
        error = sqliteExec(m_db, legacyViewsSql());
    return error;
}

void ForeignKeys::add(int tableId, const ForeignKeyDefinition& d, bool checkExisting) {
    const auto table = m_catalogue.table(tableId);
    const int schemaId = table->object.schemaId;
    if (!d.name.isEmpty() &&
        sqliteScalar(m_db,
                     QStringLiteral("select 1 from qx_objects where name = ? and schema_id = ?"),
                     {d.name, schemaId})
            .isValid())
        throw SqlError{
            2714,
            QStringLiteral("There is already an object named '%1' in the database.").arg(d.name),
            16, 5, false};
    if (d.columns.size() > maximumKeyColumns)
        throw unsupported(QStringLiteral("foreign keys of more than 16 columns"));
    const int id = m_catalogue.createObject(d.name, schemaId, QStringLiteral("F"), tableId);
    if (d.name.isEmpty())
        sqliteExec(m_db, QStringLiteral("update qx_objects set name = ? where object_id = ?"),
                   {generatedName(table->object.name, d.referencedTable.last(), id), id});
    try {
        const ForeignKey key = resolve(id, *table, d);
        checkActions(key);
        if (checkExisting)
            checkRows(key);
        record(key, d.name.isEmpty(), checkExisting);
    } catch (const SqlError&) {
        m_catalogue.dropObject(id);
        throw;
    }
}

// The key's tables and columns as SQL Server checks them, with its errors.
ForeignKey ForeignKeys::resolve(int keyId, const TableInfo& table,
                                const ForeignKeyDefinition& d) const {
    ForeignKey key;
    key.id = keyId;
    key.name = m_catalogue.object(keyId)->name;
    key.referencing = table.object;
    QStringList shown = d.referencedTable;
    shown.removeAll(QString());
    const auto referenced = m_catalogue.find(d.referencedTable);
    if (!referenced || referenced->type != QLatin1String("U"))
        throw SqlError{1767,
                       QStringLiteral("Foreign key '%1' references invalid table '%2'.")
                           .arg(key.name, shown.join(u'.')),
                       16, 0, false};
    key.referenced = *referenced;
    key.onDelete = d.onDelete;
    key.onUpdate = d.onUpdate;
    for (const QString& name : d.columns) {
        const ColumnInfo* column = table.column(name);
        if (!column)
            throw SqlError{1769,
                           QStringLiteral("Foreign key '%1' references invalid column '%2' in "
                                          "referencing table '%3'.")
                               .arg(key.name, name, table.object.name),
                           16, 0, false};
        key.referencingColumns.append(column->name);
    }
    const QStringList names =
        d.referencedColumns.isEmpty() ? primaryKeyColumns(*referenced) : d.referencedColumns;
    if (names.isEmpty())
        throw SqlError{1776,
                       QStringLiteral("There are no primary or candidate keys in the referenced "
                                      "table '%1' that match the referencing column list in the "
                                      "foreign key '%2'.")
                           .arg(referenced->schema + u'.' + referenced->name, key.name),
                       16, 0, false};
    const auto referencedTable = m_catalogue.table(referenced->objectId);
    for (const QString& name : names) {
        const ColumnInfo* column = referencedTable->column(name);
        if (!column)
            throw SqlError{1770,
                           QStringLiteral("Foreign key '%1' references invalid column '%2' in "
                                          "referenced table '%3'.")
                               .arg(key.name, name, shown.join(u'.')),
                           16, 0, false};
        key.referencedColumns.append(column->name);
    }
    if (key.referencingColumns.size() != key.referencedColumns.size())
        throw SqlError{8139,
                       QStringLiteral("Number of referencing columns in foreign key differs from "
                                      "number of referenced columns, table '%1'.")
                           .arg(table.object.name),
                       16, 0, false};
    return key;
}

// The stand-in gives a table's primary key, and nothing else, a unique
// constraint in SQLite; UNIQUE constraints are unique indexes.
QStringList ForeignKeys::primaryKeyColumns(const ObjectInfo& table) const {
    SqliteStatement statement(m_db, QStringLiteral("select i.name from pragma_index_list(?1) l "
                                                   "join pragma_index_info(l.name) i "
                                                   "where l.origin = 'u' order by l.seq, i.seqno"));
    statement.bind(1, table.sqliteName);
    QStringList columns;
    while (statement.step() == SQLITE_ROW)
        columns.append(statement.value(0).toString());
    return columns;
}

// What SQL Server refuses of a key's actions when the key is made: SET NULL
// on a column that takes no null, SET DEFAULT on one that has neither a
// default nor null, and actions that could reach a table twice or in a
// cycle.
void ForeignKeys::checkActions(const ForeignKey& key) const {
    const auto table = m_catalogue.table(key.referencing.objectId);
    for (const ReferentialAction action : {key.onDelete, key.onUpdate}) {
        for (const QString& name : key.referencingColumns) {
            const bool nullable = table->column(name)->nullable;
            if (action == ReferentialAction::SetNull && !nullable)
                throw SqlError{1761,
                               QStringLiteral("Cannot create the foreign key \"%1\" with the SET "
                                              "NULL referential action, because one or more "
                                              "referencing columns are not nullable.")
                                   .arg(key.name),
                               16, 0, false};
            if (action == ReferentialAction::SetDefault && !nullable &&
                columnDefault(key.referencing, name).isEmpty())
                throw SqlError{1762,
                               QStringLiteral("Cannot create the foreign key \"%1\" with the SET "
                                              "DEFAULT referential action, because one or more "
                                              "referencing not-nullable columns lack a default "
                                              "constraint.")
                                   .arg(key.name),
                               16, 0, false};
        }
    }
    if ((key.onDelete != ReferentialAction::NoAction &&
         cascadePathsCross(key, "delete_referential_action")) ||
        (key.onUpdate != ReferentialAction::NoAction &&
         cascadePathsCross(key, "update_referential_action")))
        throw SqlError{1785,
                       QStringLiteral("Introducing FOREIGN KEY constraint '%1' on table '%2' may "
                                      "cause cycles or multiple cascade paths. Specify ON DELETE "
                                      "NO ACTION or ON UPDATE NO ACTION, or modify other FOREIGN "
                                      "KEY constraints.")
                           .arg(key.name, key.referencing.name),
                       16, 0, false};
}

// The keys with an action (of the column given) lead from the referenced
// table to the referencing one. The new key crosses another path when a
// table that reaches its referenced table already reaches its referencing
// table or one that table reaches; a key to its own table is a cycle.
bool ForeignKeys::cascadePathsCross(const ForeignKey& key, const char* actionColumn) const {
    QMultiHash<int, int> down;
    QMultiHash<int, int> up;
    SqliteStatement edges(m_db, QStringLiteral("select referenced_object_id, parent_object_id "
                                               "from qx_foreign_keys where %1 <> 0")
                                    .arg(QLatin1String(actionColumn)));
    while (edges.step() == SQLITE_ROW) {
        down.insert(edges.value(0).toInt(), edges.value(1).toInt());
        up.insert(edges.value(1).toInt(), edges.value(0).toInt());
    }
    const auto reached = [](const QMultiHash<int, int>& links, int from) {
        QSet<int> seen{from};
        QList<int> waiting{from};
        while (!waiting.isEmpty())
            for (const int next : links.values(waiting.takeLast()))
                if (!seen.contains(next)) {
                    seen.insert(next);
                    waiting.append(next);
                }
        return seen;
    };
    const QSet<int> below = reached(down, key.referencing.objectId);
    for (const int above : reached(up, key.referenced.objectId))
        if (reached(down, above).intersects(below))
            return true;
    return false;
}

// A column's default as SQLite keeps it in the table's definition; empty
// when it has none.
QString ForeignKeys::columnDefault(const ObjectInfo& table, const QString& column) const {
    return sqliteScalar(
               m_db, QStringLiteral("select dflt_value from pragma_table_info(?) where name = ?"),
               {table.sqliteName, column})
        .toString();
}

void ForeignKeys::record(const ForeignKey& key, bool systemNamed, bool trusted) {
    sqliteExec(m_db,
               QStringLiteral("insert into qx_foreign_keys (object_id, parent_object_id, "
                              "referenced_object_id, is_not_trusted, is_system_named, "
                              "delete_referential_action, update_referential_action) "
                              "values (?, ?, ?, ?, ?, ?, ?)"),
               {key.id, key.referencing.objectId, key.referenced.objectId, !trusted, systemNamed,
                int(key.onDelete), int(key.onUpdate)});
    const auto referencing = m_catalogue.table(key.referencing.objectId);
    const auto referenced = m_catalogue.table(key.referenced.objectId);
    for (int i = 0; i < key.referencingColumns.size(); ++i)
        sqliteExec(
            m_db, QStringLiteral("insert into qx_foreign_key_columns values (?, ?, ?, ?, ?, ?)"),
            {key.id, i + 1, key.referencing.objectId,
             referencing->column(key.referencingColumns[i])->columnId, key.referenced.objectId,
             referenced->column(key.referencedColumns[i])->columnId});
    const QString error = sqliteExec(m_db, triggersSql(key) + actionTriggersSql(key));
    if (!error.isEmpty())
        throw SqlError{50000, QStringLiteral("The stand-in could not make the key: ") + error, 16,
                       1, false};
}

// Every row of the referencing table with all its key columns filled has its
// referenced row, or the ALTER TABLE fails with 547.
void ForeignKeys::checkRows(const ForeignKey& key) const {
    const QStringList values = quoted(QStringLiteral("w."), key.referencingColumns);
    const QString orphans =
        QStringLiteral("select 1 from %1 w where %2 is not null and not %3 limit 1")
            .arg(quoteName(key.referencing.sqliteName),
                 values.join(QStringLiteral(" is not null and ")),
                 referencedRowExists(key, values));
    if (sqliteScalar(m_db, orphans).isValid())
        throw conflict(QStringLiteral("ALTER TABLE"), key, true);
}

ForeignKey ForeignKeys::load(int keyId) const {
    ForeignKey key;
    key.id = keyId;
    key.name = m_catalogue.object(keyId)->name;
    SqliteStatement actions(m_db, QStringLiteral("select delete_referential_action, "
                                                 "update_referential_action from "
                                                 "qx_foreign_keys where object_id = ?"));
    actions.bind(1, keyId);
    if (actions.step() == SQLITE_ROW) {
        key.onDelete = ReferentialAction(actions.value(0).toInt());
        key.onUpdate = ReferentialAction(actions.value(1).toInt());
    }
    SqliteStatement columns(
        m_db, QStringLiteral("select k.parent_object_id, k.referenced_object_id, pc.name, rc.name "
                             "from qx_foreign_key_columns k "
                             "join qx_columns pc on pc.object_id = k.parent_object_id and "
                             "pc.column_id = k.parent_column_id "
                             "join qx_columns rc on rc.object_id = k.referenced_object_id and "
                             "rc.column_id = k.referenced_column_id "
                             "where k.constraint_object_id = ? order by k.constraint_column_id"));
    columns.bind(1, keyId);
    while (columns.step() == SQLITE_ROW) {
        if (key.referencingColumns.isEmpty()) {
            key.referencing = *m_catalogue.object(columns.value(0).toInt());
            key.referenced = *m_catalogue.object(columns.value(1).toInt());
        }
        key.referencingColumns.append(columns.value(2).toString());
        key.referencedColumns.append(columns.value(3).toString());
    }
    return key;
}

// The triggers of a key's actions: when a referenced row goes, or its key
// changes, the rows that refer to it go too, take its new key, lose the
// reference or take their columns' defaults.
QString ForeignKeys::actionTriggersSql(const ForeignKey& key) const {
    const QString referencing = quoteName(key.referencing.sqliteName);
    const QString referring = equal(quoted({}, key.referencingColumns),
                                    quoted(QStringLiteral("old."), key.referencedColumns));
    QString sql;
    if (key.onDelete == ReferentialAction::Cascade)
        sql += QStringLiteral("create trigger \"fk%1_on_delete\" after delete on %2 begin delete "
                              "from %3 where %4; end;\n")
                   .arg(QString::number(key.id), quoteName(key.referenced.sqliteName), referencing,
                        referring);
    else if (key.onDelete != ReferentialAction::NoAction)
        sql += QStringLiteral("create trigger \"fk%1_on_delete\" after delete on %2 begin update "
                              "%3 set %4 where %5; end;\n")
                   .arg(QString::number(key.id), quoteName(key.referenced.sqliteName), referencing,
                        referencingValues(key, key.onDelete), referring);
    if (key.onUpdate == ReferentialAction::NoAction)
        return sql;
    QStringList changed;
    for (const QString& column : quoted({}, key.referencedColumns))
        changed.append(QStringLiteral("old.%1 is not new.%1").arg(column));
    return sql + QStringLiteral("create trigger \"fk%1_on_update\" after update of %2 on %3 when "
                                "%4 begin update %5 set %6 where %7; end;\n")
                     .arg(QString::number(key.id),
                          quoted({}, key.referencedColumns).join(QStringLiteral(", ")),
                          quoteName(key.referenced.sqliteName),
                          changed.join(QStringLiteral(" or ")), referencing,
                          referencingValues(key, key.onUpdate), referring);
}

// The SET list an action gives the referencing columns.
QString ForeignKeys::referencingValues(const ForeignKey& key, ReferentialAction action) const {
    QStringList sets;
    for (int i = 0; i < key.referencingColumns.size(); ++i) {
        const QString& column = key.referencingColumns[i];
        QString value = QStringLiteral("null");
        if (action == ReferentialAction::Cascade)
            value = QStringLiteral("new.") + quoteName(key.referencedColumns[i]);
        else if (action == ReferentialAction::SetDefault)
            value = columnDefault(key.referencing, column);
        sets.append(quoteName(column) + QStringLiteral(" = ") +
                    (value.isEmpty() ? QStringLiteral("null") : value));
    }
    return sets.join(QStringLiteral(", "));
}

void ForeignKeys::drop(int keyId) {
    sqliteExec(m_db, dropTriggersSql(keyId));
    sqliteExec(m_db, QStringLiteral("delete from qx_foreign_keys where object_id = ?"), {keyId});
    sqliteExec(m_db,
               QStringLiteral("delete from qx_foreign_key_columns where constraint_object_id = ?"),
               {keyId});
    m_catalogue.dropObject(keyId);
}

void ForeignKeys::dropConstraint(int tableId, const QString& name) {
    SqliteStatement statement(m_db, QStringLiteral("select object_id, trim(type) from qx_objects "
                                                   "where parent_object_id = ? and name = ?"));
    statement.bind(1, tableId);
    statement.bind(2, name);
    if (statement.step() != SQLITE_ROW)
        throw SqlError{3728, QStringLiteral("'%1' is not a constraint.").arg(name), 16, 1, false};
    if (statement.value(1).toString() != QLatin1String("F"))
        throw unsupported(QStringLiteral("dropping constraints other than FOREIGN KEY"));
    drop(statement.value(0).toInt());
}

void ForeignKeys::dropTable(int tableId, const QString& shownName) {
    // A key of the table to itself does not hold the table back.
    if (sqliteScalar(m_db,
                     QStringLiteral("select 1 from qx_foreign_keys where referenced_object_id = ?1 "
                                    "and parent_object_id <> ?1"),
                     {tableId})
            .isValid())
        throw SqlError{3726,
                       QStringLiteral("Could not drop object '%1' because it is referenced by a "
                                      "FOREIGN KEY constraint.")
                           .arg(shownName),
                       16, 1, false};
    QList<int> own;
    SqliteStatement statement(
        m_db, QStringLiteral("select object_id from qx_foreign_keys where parent_object_id = ?"));
    statement.bind(1, tableId);
    while (statement.step() == SQLITE_ROW)
        own.append(statement.value(0).toInt());
    for (int keyId : own)
        drop(keyId);
}

// A key of the table to itself does not refuse it; a disabled key does.
void ForeignKeys::checkTruncate(int tableId, const QString& shownName) const {
    if (sqliteScalar(m_db,
                     QStringLiteral("select 1 from qx_foreign_keys where referenced_object_id = ?1 "
                                    "and parent_object_id <> ?1"),
                     {tableId})
            .isValid())
        throw SqlError{4712,
                       QStringLiteral("Cannot truncate table '%1' because it is being referenced "
                                      "by a FOREIGN KEY constraint.")
                           .arg(shownName),
                       16, 1, false};
}

// The keys named, or all of the table's keys for an empty list; an unknown
// name fails the whole statement before any key changes.
QList<int> ForeignKeys::keysOf(int tableId, const QStringList& names) const {
    QList<int> keys;
    if (names.isEmpty()) {
        SqliteStatement statement(
            m_db, QStringLiteral("select object_id from qx_foreign_keys where parent_object_id = ? "
                                 "order by object_id"));
        statement.bind(1, tableId);
        while (statement.step() == SQLITE_ROW)
            keys.append(statement.value(0).toInt());
        return keys;
    }
    for (const QString& name : names) {
        const QVariant id = sqliteScalar(
            m_db,
            QStringLiteral("select f.object_id from qx_foreign_keys f join qx_objects o on "
                           "o.object_id = f.object_id where f.parent_object_id = ? and o.name = ?"),
            {tableId, name});
        if (!id.isValid())
            throw SqlError{4917, QStringLiteral("Constraint '%1' does not exist.").arg(name), 16, 0,
                           false};
        keys.append(id.toInt());
    }
    return keys;
}

// A disabled key has no triggers, so nothing notes what statements do to it.
// Disabling leaves the key not trusted; only enabling with a check of every
// row trusts it again.
void ForeignKeys::setChecking(int tableId, const QStringList& names, bool enable,
                              bool checkExisting) {
    const QList<int> keys = keysOf(tableId, names);
    if (enable && checkExisting)
        for (int keyId : keys)
            checkRows(load(keyId));
    for (int keyId : keys) {
        const bool disabled =
            sqliteScalar(
                m_db, QStringLiteral("select is_disabled from qx_foreign_keys where object_id = ?"),
                {keyId})
                .toBool();
        if (enable && disabled) {
            const ForeignKey key = load(keyId);
            sqliteExec(m_db, triggersSql(key) + actionTriggersSql(key));
        }
        if (!enable && !disabled)
            sqliteExec(m_db, dropTriggersSql(keyId));
        if (enable)
            sqliteExec(
                m_db,
                QStringLiteral("update qx_foreign_keys set is_disabled = 0, is_not_trusted = "
                               "is_not_trusted and not ? where object_id = ?"),
                {checkExisting, keyId});
        else
            sqliteExec(
                m_db,
                QStringLiteral("update qx_foreign_keys set is_disabled = 1, is_not_trusted = "
                               "1 where object_id = ?"),
                {keyId});
    }
}

std::optional<bool> ForeignKeys::property(int keyId, const QString& name) const {
    // A cascade is what 2000 knows of actions: the property asks for it.
    const auto is = [&](const char* property) {
        return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0;
    };
    const char* column = is("CnstIsDisabled")        ? "is_disabled"
                         : is("CnstIsNotTrusted")    ? "is_not_trusted"
                         : is("CnstIsDeleteCascade") ? "delete_referential_action = 1"
                         : is("CnstIsUpdateCascade") ? "update_referential_action = 1"
                                                     : nullptr;
    if (!column)
        return std::nullopt;
    const QVariant value =
        sqliteScalar(m_db,
                     QStringLiteral("select %1 from qx_foreign_keys where object_id = ?")
                         .arg(QLatin1String(column)),
                     {keyId});
    if (!value.isValid())
        return std::nullopt;
    return value.toBool();
}

bool ForeignKeys::begin(int tableId) {
    if (!sqliteScalar(m_db,
                      QStringLiteral("select 1 from qx_foreign_keys where parent_object_id = ?1 "
                                     "or referenced_object_id = ?1"),
                      {tableId})
             .isValid())
        return false;
    sqliteExec(m_db, QStringLiteral("savepoint key_check"));
    return true;
}

void ForeignKeys::finish(const QString& verb, bool statementFailed) {
    const std::optional<SqlError> found =
        statementFailed ? std::nullopt : firstConflict(verb.toUpper());
    sqliteExec(m_db, found || statementFailed ? QStringLiteral("rollback to key_check")
                                              : QStringLiteral("delete from qx_key_writes"));
    sqliteExec(m_db, QStringLiteral("release key_check"));
    if (found)
        throw *found;
}

std::optional<SqlError> ForeignKeys::firstConflict(const QString& verb) const {
    QList<std::pair<int, int>> noted;
    {
        SqliteStatement statement(m_db, QStringLiteral("select distinct key_id, side from "
                                                       "qx_key_writes order by key_id, side"));
        while (statement.step() == SQLITE_ROW)
            noted.append({statement.value(0).toInt(), statement.value(1).toInt()});
    }
    for (const auto& [keyId, side] : noted) {
        const ForeignKey key = load(keyId);
        const QStringList values =
            noteColumns(int(key.referencingColumns.size()), QStringLiteral("w."));
        // A written value must have its referenced row when the statement is
        // done; a value taken away must not leave rows referring to it.
        const QString condition =
            side == 0 ? QStringLiteral("not ") + referencedRowExists(key, values)
                      : QStringLiteral("not ") + referencedRowExists(key, values) +
                            QStringLiteral(" and ") + referencingRowExists(key, values);
        const QString sql = QStringLiteral("select 1 from qx_key_writes w where w.key_id = ? and "
                                           "w.side = ? and %1 limit 1")
                                .arg(condition);
        if (sqliteScalar(m_db, sql, {keyId, side}).isValid())
            return conflict(verb, key, side == 0);
    }
    return std::nullopt;
}

// Error 547 as SQL Server words it: a referencing row without its referenced
// row names the referenced table, a referenced row still referred to names
// the referencing table; the column only when the key has one.
SqlError ForeignKeys::conflict(const QString& verb, const ForeignKey& key, bool referencing) const {
    const bool sameTable = key.referencing.objectId == key.referenced.objectId;
    const QString kind =
        referencing
            ? (sameTable ? QStringLiteral("FOREIGN KEY SAME TABLE") : QStringLiteral("FOREIGN KEY"))
            : (sameTable ? QStringLiteral("SAME TABLE REFERENCE") : QStringLiteral("REFERENCE"));
    const ObjectInfo& table = referencing ? key.referenced : key.referencing;
    const QStringList& columns = referencing ? key.referencedColumns : key.referencingColumns;
    QString place = QStringLiteral("table \"%1.%2\"").arg(table.schema, table.name);
    if (columns.size() == 1)
        place += QStringLiteral(", column '%1'").arg(columns.first());
    return SqlError{547,
                    QStringLiteral("The %1 statement conflicted with the %2 constraint \"%3\". "
                                   "The conflict occurred in database \"%4\", %5.")
                        .arg(verb, kind, key.name, m_database, place),
                    16, 0, false};
}

} // namespace quarvex::standin
