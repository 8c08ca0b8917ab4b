#include "standin/store/Catalogue.h"

#include "standin/store/Sqlite.h"

#include <sqlite3.h>

namespace quarvex::standin {

namespace {

// The catalogue's own tables. Text columns compare like SQL Server's default
// collation: case-insensitive, trailing blanks ignored.
const char* const tablesSql = R"(
create table qx_schemas (schema_id integer primary key, name nvarchar(128) collate tsql,
    principal_id int);
create table qx_objects (object_id integer primary key, name nvarchar(128) collate tsql,
    schema_id int, type char(2) collate tsql, parent_object_id int, create_date datetime,
    is_ms_shipped bit, sqlite_name text);
create table qx_columns (object_id int, column_id int, name nvarchar(128) collate tsql,
    user_type_id int, max_length smallint, precision tinyint, scale tinyint, is_nullable bit,
    is_identity bit, is_computed bit, generated_always_type int default 0,
    is_hidden bit default 0);
create table qx_tables (object_id integer primary key, temporal_type int, history_table_id int,
    ledger_type int, is_node bit, is_edge bit, is_memory_optimized bit);
create table qx_types (user_type_id integer primary key, name nvarchar(128) collate tsql,
    system_type_id tinyint, schema_id int, max_length smallint, precision tinyint,
    scale tinyint, is_nullable bit, is_user_defined bit, declaration text);
create table qx_databases (database_id integer primary key, name nvarchar(128) collate tsql,
    snapshot_isolation_state tinyint);
create table qx_modules (object_id int, number smallint, definition ntext, encrypted bit);
create table qx_index_columns (object_id int, index_id int, key_ordinal int, column_id int,
    is_primary_key bit);
)";

// Catalogue views of SQL Server 2005 and later.
const char* const modernViewsSql = R"(
create view "sys.objects" as select name, object_id, null as principal_id, schema_id,
    parent_object_id, type,
    case trim(type) when 'U' then 'USER_TABLE' when 'V' then 'VIEW'
        when 'P' then 'SQL_STORED_PROCEDURE' when 'TR' then 'SQL_TRIGGER'
        when 'FN' then 'SQL_SCALAR_FUNCTION' when 'IF' then 'SQL_INLINE_TABLE_VALUED_FUNCTION'
        when 'TF' then 'SQL_TABLE_VALUED_FUNCTION' when 'PK' then 'PRIMARY_KEY_CONSTRAINT'
        when 'UQ' then 'UNIQUE_CONSTRAINT' when 'D' then 'DEFAULT_CONSTRAINT'
        when 'F' then 'FOREIGN_KEY_CONSTRAINT'
        when 'S' then 'SYSTEM_TABLE' else 'OTHER' end as type_desc,
    create_date, create_date as modify_date, is_ms_shipped, 0 as is_published,
    0 as is_schema_published
    from qx_objects where name not like '#%';
create view "sys.views" as select * from "sys.objects" where type = 'V';
create view "sys.procedures" as select * from "sys.objects" where type = 'P';
create view "sys.triggers" as select name, object_id, parent_object_id as parent_id,
    create_date, create_date as modify_date, is_ms_shipped, 0 as is_disabled
    from qx_objects where type = 'TR';
create view "sys.databases" as select name, database_id, snapshot_isolation_state,
    case snapshot_isolation_state when 1 then 'ON' else 'OFF' end as snapshot_isolation_state_desc,
    0 as is_read_committed_snapshot_on from qx_databases;
create view "sys.schemas" as select name, schema_id, principal_id from qx_schemas;
create view "sys.sql_modules" as select object_id, definition, 1 as uses_ansi_nulls,
    1 as uses_quoted_identifier from qx_modules where number = 1;
create view "sys.numbered_procedures" as select object_id, number as procedure_number,
    definition from qx_modules where number > 1;
create view "sys.indexes" as select object_id, null as name, index_id,
    case when index_id = 1 then 1 else 2 end as type, 1 as is_unique,
    max(is_primary_key) as is_primary_key, 1 - max(is_primary_key) as is_unique_constraint,
    0 as is_disabled, 0 as is_hypothetical
    from qx_index_columns group by object_id, index_id;
create view "sys.index_columns" as select object_id, index_id, key_ordinal as index_column_id,
    column_id, key_ordinal, 0 as is_descending_key, 0 as is_included_column
    from qx_index_columns;
create view "sys.identity_columns" as select c.object_id, c.name, c.column_id,
    tsql_identity_property(c.object_id, 'seed') as seed_value,
    tsql_identity_property(c.object_id, 'increment') as increment_value,
    tsql_identity_property(c.object_id, 'last') as last_value
    from qx_columns c where c.is_identity;
create view "sys.types" as select name, system_type_id, user_type_id, schema_id,
    null as principal_id, max_length, precision, scale, null as collation_name, is_nullable,
    is_user_defined, case when system_type_id = 240 then 1 else 0 end as is_assembly_type
    from qx_types;
)";

// The system tables of SQL Server 7 and 2000 (still there as compatibility
// views in later versions). syscomments cuts each text into pieces of 4000
// characters wherever the text falls.
const char* const legacyViewsSql = R"(
create view sysobjects as select name, object_id as id, type as xtype, schema_id as uid,
    0 as info, 0 as status, 0 as base_schema_ver, 0 as replinfo, parent_object_id as parent_obj,
    create_date as crdate, 0 as ftcatid, 0 as schema_ver, 0 as stats_schema_ver, type,
    0 as userstat, 0 as sysstat, 0 as indexdel, create_date as refdate, 0 as version,
    0 as deltrig, 0 as instrig, 0 as updtrig, 0 as seltrig, 0 as category, 0 as cache
    from qx_objects where name not like '#%';
create view sysusers as select schema_id as uid, name, 0 as status from qx_schemas;
create view systypes as select name, system_type_id as xtype, 0 as status,
    user_type_id as xusertype, max_length as length, precision as xprec, scale as xscale,
    schema_id as uid, is_nullable as allownulls, precision as prec, scale
    from qx_types where name <> 'xml' or is_user_defined = 1;
create view syscolumns as select c.name, c.object_id as id, t.system_type_id as xtype,
    c.user_type_id as xusertype, c.max_length as length, c.precision as xprec,
    c.scale as xscale, c.column_id as colid,
    (case when c.is_identity then 128 else 0 end) | (case when c.is_nullable then 8 else 0 end)
        as status,
    c.precision as prec, c.scale, (case when c.is_computed then 1 else 0 end) as iscomputed,
    c.is_nullable as isnullable
    from qx_columns c join qx_types t on t.user_type_id = c.user_type_id;
create view sysindexes as select object_id as id, index_id as indid, null as name,
    2 | (case when max(is_primary_key) then 2048 else 4096 end) as status
    from qx_index_columns group by object_id, index_id;
create view sysindexkeys as select object_id as id, index_id as indid, column_id as colid,
    key_ordinal as keyno from qx_index_columns;
create view syscomments as with recursive piece(id, number, colid, start) as (
        select object_id, number, 1, 1 from qx_modules
        union all
        select p.id, p.number, p.colid + 1, p.start + 4000 from piece p
        join qx_modules m on m.object_id = p.id and m.number = p.number
        where p.start + 4000 <= length(m.definition))
    select p.id, p.number, p.colid, 0 as status, m.encrypted as encrypted, 0 as compressed,
        case when m.encrypted then null else substr(m.definition, p.start, 4000) end as text
    from piece p join qx_modules m on m.object_id = p.id and m.number = p.number;
)";

// sys.columns and sys.tables grow columns with the versions.
QString versionedViewsSql(int majorVersion) {
    QString columns = QStringLiteral(
        "create view \"sys.columns\" as select c.object_id, c.name, c.column_id, "
        "t.system_type_id, c.user_type_id, c.max_length, c.precision, c.scale, "
        "null as collation_name, c.is_nullable, 0 as is_ansi_padded, 0 as is_rowguidcol, "
        "c.is_identity, c.is_computed");
    QString tables = QStringLiteral("create view \"sys.tables\" as select o.*");
    if (majorVersion >= 12)
        tables += QStringLiteral(", coalesce(k.is_memory_optimized, 0) as is_memory_optimized");
    if (majorVersion >= 13) {
        columns += QStringLiteral(", c.generated_always_type, c.is_hidden");
        tables += QStringLiteral(", coalesce(k.temporal_type, 0) as temporal_type, "
                                 "k.history_table_id");
    }
    if (majorVersion >= 14)
        tables += QStringLiteral(", coalesce(k.is_node, 0) as is_node, "
                                 "coalesce(k.is_edge, 0) as is_edge");
    if (majorVersion >= 16)
        tables += QStringLiteral(", coalesce(k.ledger_type, 0) as ledger_type");
    return columns +
           QStringLiteral(
               " from qx_columns c join qx_types t on t.user_type_id = c.user_type_id;\n") +
           tables +
           QStringLiteral(" from \"sys.objects\" o left join qx_tables k on "
                          "k.object_id = o.object_id where o.type = 'U';\n");
}

const char* const modernSystemViews[] = {
    "objects", "tables", "views", "procedures", "triggers", "schemas", "sql_modules", "columns",
    "types", "numbered_procedures", "identity_columns", "indexes", "index_columns", "databases",
    // Created by ForeignKeys.
    "foreign_keys", "foreign_key_columns"};
const char* const legacySystemViews[] = {"sysobjects", "sysusers", "systypes", "syscolumns",
                                         "syscomments", "sysindexes", "sysindexkeys",
                                         // Created by ForeignKeys.
                                         "sysforeignkeys", "sysreferences"};

} // namespace

QStringList sessionName(const QStringList& parts, int spid) {
    if (parts.isEmpty() || !parts.last().startsWith(u'#'))
        return parts;
    return {parts.last() + u'@' + QString::number(spid)};
}

const ColumnInfo* TableInfo::column(const QString& name) const {
    for (const ColumnInfo& c : columns)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const ColumnInfo* TableInfo::identityColumn() const {
    for (const ColumnInfo& c : columns)
        if (c.identity)
            return &c;
    return nullptr;
}

Catalogue::Catalogue(sqlite3* db, int majorVersion)
    : m_db(db)
    , m_majorVersion(majorVersion) {}

QString Catalogue::create() {
    QString error = sqliteExec(m_db, QString::fromLatin1(tablesSql));
    if (error.isEmpty() && m_majorVersion >= 9)
        error = sqliteExec(m_db, QString::fromLatin1(modernViewsSql));
    if (error.isEmpty() && m_majorVersion >= 9)
        error = sqliteExec(m_db, versionedViewsSql(m_majorVersion));
    if (error.isEmpty())
        error = sqliteExec(m_db, QString::fromLatin1(legacyViewsSql));
    if (!error.isEmpty())
        return error;
    const char* const schemas[] = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};
    for (int i = 0; i < 4; ++i)
        sqliteExec(m_db, QStringLiteral("insert into qx_schemas values (?, ?, ?)"),
                   {i + 1, QString::fromLatin1(schemas[i]), 1});
    int count = 0;
    const SystemTypeRow* rows = systemTypes(&count);
    for (int i = 0; i < count; ++i) {
        const SqlType& t = rows[i].type;
        if (!t.existsIn(m_majorVersion))
            continue;
        sqliteExec(m_db,
                   QStringLiteral("insert into qx_types values (?, ?, ?, 4, ?, ?, ?, 1, 0, ?)"),
                   {t.userTypeId(), QString::fromLatin1(rows[i].name), t.systemTypeId(),
                    t.maxLength(), t.catalogPrecision(), t.catalogScale(), t.declaration()});
    }
    // The system tables a database lists among its objects, with the small
    // ids and the owner the real server gives them.
    const bool modern = m_majorVersion >= 9;
    const char* const systemTables[] = {
        modern ? "sysrowsets" : "sysobjects", modern ? "sysallocunits" : "sysindexes",
        modern ? "sysschobjs" : "syscolumns", modern ? "syscolpars" : "syscomments"};
    for (int i = 0; i < 4; ++i)
        sqliteExec(m_db,
                   QStringLiteral("insert into qx_objects values (?, ?, ?, 'S ', 0, "
                                  "'2005-10-14T01:36:15.923', 1, null)"),
                   {i + (modern ? 5 : 1), QString::fromLatin1(systemTables[i]), modern ? 4 : 1});
    return {};
}

std::optional<int> Catalogue::schemaId(const QString& name) const {
    const QVariant id = sqliteScalar(
        m_db, QStringLiteral("select schema_id from qx_schemas where name = ?"), {name});
    if (!id.isValid())
        return std::nullopt;
    return id.toInt();
}

QString Catalogue::schemaName(int id) const {
    return sqliteScalar(m_db, QStringLiteral("select name from qx_schemas where schema_id = ?"),
                        {id})
        .toString();
}

int Catalogue::createSchema(const QString& name) {
    const int id =
        sqliteScalar(m_db, QStringLiteral("select max(schema_id) + 1 from qx_schemas")).toInt();
    sqliteExec(m_db, QStringLiteral("insert into qx_schemas values (?, ?, 1)"),
               {qMax(id, 5), name});
    return qMax(id, 5);
}

std::optional<ObjectInfo> Catalogue::find(const QStringList& parts) const {
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    const QString name = parts.last();
    const QString schema = parts.size() >= 2 ? parts[parts.size() - 2] : QString();
    auto systemView = [&](const QString& sqliteName) {
        ObjectInfo info;
        info.name = name;
        info.schema = schema.isEmpty() ? QStringLiteral("sys") : schema;
        info.type = QStringLiteral("V");
        info.sqliteName = sqliteName;
        return info;
    };
    if (schema.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0 && m_majorVersion >= 9) {
        for (const char* view : modernSystemViews)
            if (name.compare(QLatin1String(view), Qt::CaseInsensitive) == 0)
                return systemView(QStringLiteral("sys.") + QLatin1String(view));
    }
    const bool legacySchema =
        schema.isEmpty() || schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 ||
        (m_majorVersion >= 9 && schema.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0);
    if (legacySchema) {
        for (const char* view : legacySystemViews)
            if (name.compare(QLatin1String(view), Qt::CaseInsensitive) == 0)
                return systemView(QLatin1String(view));
    }
    const QVariant id =
        sqliteScalar(m_db,
                     QStringLiteral("select o.object_id from qx_objects o join qx_schemas s on "
                                    "s.schema_id = o.schema_id where o.name = ? and s.name = ? and "
                                    "o.sqlite_name is not null"),
                     {name, schema.isEmpty() ? QStringLiteral("dbo") : schema});
    if (!id.isValid()) {
        // Modules (procedures, triggers, functions) have no SQLite object.
        const QVariant module = sqliteScalar(
            m_db,
            QStringLiteral("select o.object_id from qx_objects o join qx_schemas s on "
                           "s.schema_id = o.schema_id where o.name = ? and s.name = ? and "
                           "trim(o.type) in ('P', 'TR', 'FN', 'IF', 'TF', 'V')"),
            {name, schema.isEmpty() ? QStringLiteral("dbo") : schema});
        if (!module.isValid())
            return std::nullopt;
        return object(module.toInt());
    }
    return object(id.toInt());
}

std::optional<ObjectInfo> Catalogue::object(int objectId) const {
    SqliteStatement statement(
        m_db, QStringLiteral("select o.name, s.name, o.schema_id, trim(o.type), o.sqlite_name "
                             "from qx_objects o join qx_schemas s on s.schema_id = o.schema_id "
                             "where o.object_id = ?"));
    statement.bind(1, objectId);
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    ObjectInfo info;
    info.objectId = objectId;
    info.name = statement.value(0).toString();
    info.schema = statement.value(1).toString();
    info.schemaId = statement.value(2).toInt();
    info.type = statement.value(3).toString();
    info.sqliteName = statement.value(4).toString();
    return info;
}

std::optional<TableInfo> Catalogue::table(int objectId) const {
    const auto info = object(objectId);
    if (!info)
        return std::nullopt;
    TableInfo table{*info, {}, {}};
    SqliteStatement statement(
        m_db,
        QStringLiteral("select c.column_id, c.name, c.user_type_id, c.is_nullable, "
                       "c.is_identity, c.is_computed, t.declaration, c.max_length, c.precision, "
                       "c.scale, c.generated_always_type, c.is_hidden from qx_columns c "
                       "join qx_types t on t.user_type_id = c.user_type_id "
                       "where c.object_id = ? order by c.column_id"));
    statement.bind(1, objectId);
    while (statement.step() == SQLITE_ROW) {
        ColumnInfo column;
        column.columnId = statement.value(0).toInt();
        column.name = statement.value(1).toString();
        column.userTypeId = statement.value(2).toInt();
        column.nullable = statement.value(3).toBool();
        column.identity = statement.value(4).toBool();
        column.computed = statement.value(5).toBool();
        column.generatedAlways = statement.value(10).toInt();
        column.hidden = statement.value(11).toBool();
        // The type table gives the base type; the column its own length,
        // precision and scale.
        column.type =
            SqlType::fromSqliteDeclaration(statement.value(6).toString()).value_or(SqlType{});
        const int maxLength = statement.value(7).toInt();
        if (column.type.isTemporal()) {
            column.type = SqlType::temporal(column.type.base, statement.value(9).toInt());
        } else if (column.type.isExactNumber() && column.type.base != BaseType::Money &&
                   column.type.base != BaseType::SmallMoney) {
            column.type.precision = statement.value(8).toInt();
            column.type.scale = statement.value(9).toInt();
        } else if (column.type.length != 0 && column.type.base != BaseType::SysName) {
            column.type.length =
                maxLength == -1 ? -1 : (column.type.isUnicode() ? maxLength / 2 : maxLength);
        }
        table.columns.append(column);
    }
    SqliteStatement kind(m_db, QStringLiteral("select temporal_type, history_table_id, "
                                              "ledger_type, is_node, is_edge, "
                                              "is_memory_optimized from qx_tables "
                                              "where object_id = ?"));
    kind.bind(1, objectId);
    if (kind.step() == SQLITE_ROW)
        table.kind =
            TableKind{kind.value(0).toInt(),  kind.value(1).toInt(),  kind.value(2).toInt(),
                      kind.value(3).toBool(), kind.value(4).toBool(), kind.value(5).toBool()};
    return table;
}

int Catalogue::createObject(const QString& name, int schemaId, const QString& type, int parentId) {
    // Ids look like a real server's: large, positive and not consecutive.
    // Stepping through the integers modulo the prime 2^31 - 1 by a step
    // prime to it gives every creation an id of its own.
    constexpr qint64 modulus = 2147483647;
    const int id = int((117575457 + m_createdObjects * 16000057) % modulus);
    ++m_createdObjects;
    sqliteExec(m_db,
               QStringLiteral("insert into qx_objects values (?, ?, ?, ?, ?, "
                              "'2008-12-10T14:05:09.007', 0, null)"),
               {id, name, schemaId, type.leftJustified(2, u' '), parentId});
    return id;
}

void Catalogue::setSqliteName(int objectId, const QString& sqliteName) {
    sqliteExec(m_db, QStringLiteral("update qx_objects set sqlite_name = ? where object_id = ?"),
               {sqliteName, objectId});
}

void Catalogue::renameObject(int objectId, const QString& name) {
    sqliteExec(m_db, QStringLiteral("update qx_objects set name = ? where object_id = ?"),
               {name, objectId});
}

void Catalogue::addColumn(int objectId, const ColumnInfo& c) {
    sqliteExec(
        m_db, QStringLiteral("insert into qx_columns values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {objectId, c.columnId, c.name, c.userTypeId, c.type.maxLength(), c.type.catalogPrecision(),
         c.type.catalogScale(), c.nullable, c.identity, c.computed, c.generatedAlways, c.hidden});
}

void Catalogue::setModule(int objectId, int number, const std::optional<QString>& definition,
                          bool encrypted) {
    sqliteExec(m_db, QStringLiteral("delete from qx_modules where object_id = ? and number = ?"),
               {objectId, number});
    sqliteExec(m_db, QStringLiteral("insert into qx_modules values (?, ?, ?, ?)"),
               {objectId, number, definition ? QVariant(*definition) : QVariant(), encrypted});
}

void Catalogue::addKey(int objectId, int indexId, const QList<int>& columnIds, bool primary) {
    for (int i = 0; i < columnIds.size(); ++i)
        sqliteExec(m_db, QStringLiteral("insert into qx_index_columns values (?, ?, ?, ?, ?)"),
                   {objectId, indexId, i + 1, columnIds[i], primary});
}

void Catalogue::dropObject(int objectId) {
    m_identities.remove(objectId);
    for (const char* table :
         {"qx_objects", "qx_columns", "qx_modules", "qx_tables", "qx_index_columns"})
        sqliteExec(m_db,
                   QStringLiteral("delete from %1 where object_id = ?").arg(QLatin1String(table)),
                   {objectId});
}

QList<int> Catalogue::objectsWithParent(int objectId) const {
    QList<int> ids;
    SqliteStatement statement(
        m_db, QStringLiteral("select object_id from qx_objects where parent_object_id = ?"));
    statement.bind(1, objectId);
    while (statement.step() == SQLITE_ROW)
        ids.append(statement.value(0).toInt());
    return ids;
}

std::optional<Catalogue::ResolvedType> Catalogue::resolveType(const QString& name, int arg1,
                                                              int arg2) const {
    // A type newer than the server is unknown to it, as an alias of that name is not.
    if (const auto type = SqlType::fromName(name, arg1, arg2);
        type && type->existsIn(m_majorVersion))
        return ResolvedType{*type, type->userTypeId()};
    SqliteStatement statement(m_db, QStringLiteral("select user_type_id, declaration from qx_types "
                                                   "where name = ? and is_user_defined = 1"));
    statement.bind(1, name);
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    const auto type = SqlType::fromSqliteDeclaration(statement.value(1).toString());
    if (!type)
        return std::nullopt;
    return ResolvedType{*type, statement.value(0).toInt()};
}

int Catalogue::createAliasType(const QString& name, int schemaId, const SqlType& base,
                               bool nullable) {
    const int id = qMax(257, sqliteScalar(m_db, QStringLiteral("select max(user_type_id) + 1 "
                                                               "from qx_types"))
                                 .toInt());
    sqliteExec(m_db, QStringLiteral("insert into qx_types values (?, ?, ?, ?, ?, ?, ?, ?, 1, ?)"),
               {id, name, base.systemTypeId(), schemaId, base.maxLength(), base.catalogPrecision(),
                base.catalogScale(), nullable, base.declaration()});
    return id;
}

void Catalogue::setTableKind(int objectId, const TableKind& kind) {
    sqliteExec(m_db,
               QStringLiteral("insert or replace into qx_tables values (?, ?, ?, ?, ?, ?, ?)"),
               {objectId, kind.temporalType,
                kind.historyTableId ? QVariant(kind.historyTableId) : QVariant(), kind.ledgerType,
                kind.node, kind.edge, kind.memoryOptimized});
}

std::optional<int> Catalogue::versionedTableOf(int historyId) const {
    const QVariant id = sqliteScalar(
        m_db,
        QStringLiteral("select object_id from qx_tables where history_table_id = ? and "
                       "temporal_type = 2"),
        {historyId});
    if (!id.isValid() || id.isNull())
        return std::nullopt;
    return id.toInt();
}

std::optional<IdentityState> Catalogue::identity(int objectId) const {
    const auto it = m_identities.constFind(objectId);
    if (it == m_identities.constEnd())
        return std::nullopt;
    return *it;
}

void Catalogue::setIdentity(int objectId, const IdentityState& state) {
    m_identities.insert(objectId, state);
}

} // namespace quarvex::standin
