#pragma once

#include "standin/engine/EngineContext.h"
#include "standin/engine/ForeignKeys.h"
#include "standin/engine/Outcome.h"
#include "standin/engine/Session.h"
#include "standin/engine/TableLocks.h"
#include "standin/sql/Statement.h"
#include "standin/store/Catalogue.h"
#include "standin/values/SqlError.h"
#include "standin/values/SqlType.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3;

namespace quarvex::standin {

// One database: SQLite in memory, its catalogue, and the T-SQL it runs.
// Single-threaded, but the batches of several connections may interleave: a
// batch runs a statement at a time (BatchRun, above it) and a query's rows are read as
// its client takes them.
class Engine : public EngineContext {
public:
    explicit Engine(const EngineOptions& options);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    QString startError() const { return m_startError; }
    const EngineOptions& options() const override { return m_options; }
    int majorVersion() const { return m_options.majorVersion(); }
    bool knowsCreateOrAlter() const { return m_options.knowsCreateOrAlter(); }

    Catalogue& catalogue() override { return *m_catalogue; }
    const ForeignKeys& foreignKeys() const override { return *m_foreignKeys; }
    QByteArray nextRowVersion() override;
    // A snapshot transaction's copy of the database while its statements
    // run, else the database.
    sqlite3* db() const override;

    // Runs one statement. A query's outcome comes with its cursor, before
    // any row is read.
    void execute(Session& session, const Statement& statement, QList<Outcome>& out);
    // Prepares a statement's SQL without running it; throws SqlError when
    // SQLite cannot, as a statement that does not compile.
    void compile(const Statement& statement) const;
    // The value of an IF statement's condition.
    bool condition(const Statement& statement);
    // What an assignment to local variables reads: its last row, and how
    // many rows there were.
    struct Assignment {
        QVariantList lastRow;
        qint64 rows = 0;
    };
    Assignment assignment(const Statement& statement);
    // Undoes the session's open transaction, if any.
    void rollback(Session& session);
    // Ends the session's transaction: its changes kept or undone, its
    // locks and its snapshot let go.
    void endTransaction(Session& session, bool commit);
    // A connection ends: its temporary tables go, its transaction is undone.
    void endSession(Session& session);
    // ALLOW_SNAPSHOT_ISOLATION of the one database there is.
    void allowSnapshots(bool allowed);

private:
    void runQuery(Session& session, const Statement& statement, QList<Outcome>& out);
    void runModify(Session& session, const Statement& statement, QList<Outcome>& out);
    void setOption(Session& session, const Statement& statement, QList<Outcome>& out);
    void setIdentityInsert(Session& session, const Statement& statement);
    void print(const Statement& statement, QList<Outcome>& out);
    void createType(const Statement& statement);
    void createSchema(const Statement& statement);
    void use(const Statement& statement) const;
    void createTable(const Statement& statement);
    QString columnSql(const ColumnDefinition& d, ColumnInfo& column) const;
    void createConstraintObjects(const Statement& statement, int schemaId, int objectId);
    void addKeysAndKind(const Statement& statement, int objectId);
    void addUniqueIndexes(const QString& sqliteName, const QList<ColumnInfo>& columns,
                          const Statement& statement);
    void recordKeys(int objectId, const QList<ColumnInfo>& columns, const Statement& statement);
    int versionHistory(const Statement& statement, int objectId);
    void addHistoryTriggers(const Statement& statement, const TableInfo& table,
                            const QString& endColumn, const QString& historySqliteName);
    void createModule(const Statement& statement);
    void drop(const Statement& statement);
    void rename(const Statement& statement);
    void removeObject(const ObjectInfo& object);
    void alterTable(const Statement& statement);
    void truncate(Session& session, const Statement& statement);
    void resetIdentity(Session& session, int objectId, const IdentityState& state);
    void selectInto(Session& session, const Statement& statement, QList<Outcome>& out);
    void transaction(Session& session, const Statement& statement);
    void alterDatabase(const Statement& statement);
    // Before a statement that changes the database: the table's lock, and
    // the savepoint a rollback returns to.
    void beginWrite(Session& session, const Statement& statement);
    // Before a query: the snapshot it reads from, and the locks its hints ask for.
    void beginRead(Session& session, const Statement& statement);
    void startSnapshot(Session& session);
    void noteAltered(const Statement& statement);
    void checkIdent(Session& session, const Statement& statement, QList<Outcome>& out);
    int schemaFor(const QStringList& name) const;
    [[noreturn]] void throwSqliteError(const QString& message, const Statement& statement) const;
    SqlError duplicateKeyError(const QString& failedColumns, const Statement& statement) const;

    EngineOptions m_options;
    sqlite3* m_db = nullptr;
    std::unique_ptr<Catalogue> m_catalogue;
    std::unique_ptr<ForeignKeys> m_foreignKeys;
    quint64 m_rowVersion = 2000;
    TableLocks m_locks;
    // DDL statements so far, and the count at each table's last alteration.
    quint64 m_ddlCount = 0;
    QHash<int, quint64> m_altered;
    QString m_startError;
};

} // namespace quarvex::standin
