#pragma once

#include "standin/sql/Statement.h"
#include "standin/store/Catalogue.h"
#include "standin/values/SqlError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct sqlite3;

namespace quarvex::standin {

// One FOREIGN KEY constraint: the referencing table and columns (what the
// catalogue calls the parent object) and the referenced ones, in key order.
struct ForeignKey {
    int id = 0;
    QString name;
    ObjectInfo referencing;
    ObjectInfo referenced;
    QStringList referencingColumns;
    QStringList referencedColumns;
    ReferentialAction onDelete = ReferentialAction::NoAction;
    ReferentialAction onUpdate = ReferentialAction::NoAction;
};

// The database's FOREIGN KEY constraints: their catalogue (sys.foreign_keys,
// sys.foreign_key_columns, sysforeignkeys, sysreferences) and their
// enforcement with SQL Server's errors. Triggers note the key values a
// statement writes or takes away; the checks run once the statement is
// complete, as SQL Server checks a statement's rows as a whole, so that rows
// of one statement may refer to each other. An enabled key's ON DELETE and
// ON UPDATE actions are triggers too, which change the referencing rows
// within the statement, and through their own keys' actions the rows that
// refer to those.
class ForeignKeys {
public:
    ForeignKeys(sqlite3* db, Catalogue& catalogue, const QString& database);

    // Creates the tables and views; call once, after the catalogue's own.
    QString create();

    // Adds a key to a table. The key is checked against the rows already there
    // unless told otherwise (ALTER TABLE ... WITH NOCHECK).
    void add(int tableId, const ForeignKeyDefinition& definition, bool checkExisting);
    // ALTER TABLE ... DROP CONSTRAINT.
    void dropConstraint(int tableId, const QString& name);
    // Before a table is dropped: refused while another table's key refers to
    // it, else the table's own keys go.
    void dropTable(int tableId, const QString& shownName);
    // TRUNCATE TABLE is refused for a table another table's key refers to.
    void checkTruncate(int tableId, const QString& shownName) const;
    // ALTER TABLE ... [WITH CHECK] CHECK | NOCHECK CONSTRAINT: the keys named
    // (all of the table's for none) turned on or off; turned on with a check,
    // every row is checked first and the keys are trusted again.
    void setChecking(int tableId, const QStringList& names, bool enable, bool checkExisting);
    // OBJECTPROPERTY's CnstIsDisabled, CnstIsNotTrusted, CnstIsDeleteCascade
    // and CnstIsUpdateCascade of a key; nothing for another object or
    // property.
    std::optional<bool> property(int keyId, const QString& name) const;

    // Around one INSERT, UPDATE or DELETE of a table: begin says whether keys
    // concern the table (and then marks the point to undo to); finish checks
    // the statement's rows, and undoes the statement when it failed or a key
    // is violated (then throws error 547).
    bool begin(int tableId);
    void finish(const QString& verb, bool statementFailed);

    // The columns of a table's primary key, in order; none without one.
    QStringList primaryKeyColumns(const ObjectInfo& table) const;

private:
    ForeignKey load(int keyId) const;
    ForeignKey resolve(int keyId, const TableInfo& table, const ForeignKeyDefinition& d) const;
    void checkActions(const ForeignKey& key) const;
    bool cascadePathsCross(const ForeignKey& key, const char* actionColumn) const;
    QString columnDefault(const ObjectInfo& table, const QString& column) const;
    void record(const ForeignKey& key, bool systemNamed, bool trusted);
    QString actionTriggersSql(const ForeignKey& key) const;
    QString referencingValues(const ForeignKey& key, ReferentialAction action) const;
    void drop(int keyId);
    void checkRows(const ForeignKey& key) const;
    QList<int> keysOf(int tableId, const QStringList& names) const;
    std::optional<SqlError> firstConflict(const QString& verb) const;
    SqlError conflict(const QString& verb, const ForeignKey& key, bool referencing) const;

    sqlite3* m_db;
    Catalogue& m_catalogue;
    QString m_database;
};

} // namespace quarvex::standin
