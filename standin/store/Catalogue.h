#pragma once

#include "standin/values/SqlType.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct sqlite3;

namespace quarvex::standin {

struct ColumnInfo {
    int columnId = 0;
    QString name;
    SqlType type;
    int userTypeId = 0;
    bool nullable = true;
    bool identity = false;
    bool computed = false;
    // 0, or what the server fills the column with itself: 1 and 2 a period's
    // start and end, 5 to 8 a ledger's transaction and sequence numbers.
    int generatedAlways = 0;
    bool hidden = false; // left out of SELECT * and of INSERT without a column list
};

struct ObjectInfo {
    int objectId = 0;
    QString name;
    QString schema;
    int schemaId = 0;
    QString type; // trimmed: "U", "V", "P", ...
    QString sqliteName;
};

// What makes a table of 2014 and later special (sys.tables).
struct TableKind {
    int temporalType = 0; // 1 history table, 2 system-versioned
    int historyTableId = 0;
    int ledgerType = 0; // 2 append-only, 3 updatable
    bool node = false;
    bool edge = false;
    bool memoryOptimized = false;
};

struct TableInfo {
    ObjectInfo object;
    QList<ColumnInfo> columns;
    TableKind kind;

    const ColumnInfo* column(const QString& name) const;
    const ColumnInfo* identityColumn() const;
};

struct IdentityState {
    qint64 seed = 1;
    qint64 increment = 1;
    qint64 current = 0;
    bool used = false; // a row was inserted since creation or truncation
};

// The database's own catalogue, kept in SQLite tables (qx_*) that the
// catalogue views of both server generations are defined over, so that
// sys.objects, sysobjects and the rest are ordinary SQLite views.
// A temporary table (#name, perhaps as tempdb..#name) belongs to one
// connection: its catalogue name carries the connection's spid.
QStringList sessionName(const QStringList& parts, int spid);

class Catalogue {
public:
    Catalogue(sqlite3* db, int majorVersion);

    // Creates the tables and views and the system rows; call once.
    QString create();

    int majorVersion() const { return m_majorVersion; }

    std::optional<int> schemaId(const QString& name) const;
    QString schemaName(int schemaId) const;
    int createSchema(const QString& name);

    // name parts as written: {name}, {schema, name} or {db, schema, name}.
    // Unqualified names look in dbo; system views are found by their own
    // names only in the generation that has them.
    std::optional<ObjectInfo> find(const QStringList& parts) const;
    std::optional<ObjectInfo> object(int objectId) const;
    std::optional<TableInfo> table(int objectId) const;

    int createObject(const QString& name, int schemaId, const QString& type, int parentId);
    void setSqliteName(int objectId, const QString& sqliteName);
    void renameObject(int objectId, const QString& name); // its stored text stays as it is
    void addColumn(int objectId, const ColumnInfo& column);
    // A primary key (index 1) or unique constraint (2 on) of a table, by column ids.
    void addKey(int objectId, int indexId, const QList<int>& columnIds, bool primary);
    void setModule(int objectId, int number, const std::optional<QString>& definition,
                   bool encrypted);
    void dropObject(int objectId);
    QList<int> objectsWithParent(int objectId) const;

    // A type by name: system types, then alias types of the schema (dbo).
    struct ResolvedType {
        SqlType type;
        int userTypeId = 0;
    };
    std::optional<ResolvedType> resolveType(const QString& name, int arg1, int arg2) const;
    int createAliasType(const QString& name, int schemaId, const SqlType& base, bool nullable);

    void setTableKind(int objectId, const TableKind& kind);
    // The system-versioned table whose history the table is, if any.
    std::optional<int> versionedTableOf(int historyId) const;

    std::optional<IdentityState> identity(int objectId) const;
    void setIdentity(int objectId, const IdentityState& state);

private:
    sqlite3* m_db;
    qint64 m_createdObjects = 0;
    int m_majorVersion;
    // Identity counters live outside SQLite: like SQL Server's, they do not
    // roll back with a failed statement.
    QHash<int, IdentityState> m_identities;
};

} // namespace quarvex::standin
