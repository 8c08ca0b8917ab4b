#pragma once

#include "Catalogue.h"
#include "ForeignKeys.h"
#include "Session.h"
#include "SqlError.h"
#include "SqlType.h"
#include "Statement.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3;

namespace quarvex::standin {

class ResultCursor;

struct ResultColumn {
    QString name;
    SqlType type;
};

// What one statement of a batch produced, in the order the client sees it.
struct Outcome {
    enum class Kind { Rows, Done, Message };
    Kind kind = Kind::Done;
    QList<ResultColumn> columns; // Rows
    // Rows: where the rows are read from, one at a time; executeBatch()
    // reads them all into rows (SQLite values: qint64, double, QString, QByteArray).
    std::shared_ptr<ResultCursor> cursor;
    QList<QVariantList> rows;
    qint64 count = 0; // Rows, Done
    bool hasCount = false;
    int command = 0xC1; // TDS's current-command code of the DONE token
    SqlError message;   // Message
    bool isError = false;
    int line = 1;
    QString newLanguage; // SET LANGUAGE: the client is told
};

struct EngineOptions {
    QString database = QStringLiteral("Northwind");
    QString version = QStringLiteral("9.00.1399");
    QString serverName = QStringLiteral("QUARVEX-STANDIN");
};

// SQL Server's error for a message of SQLite's (or of our own functions).
SqlError sqliteErrorFrom(const QString& message);

// One database: SQLite in memory, its catalogue, and the T-SQL it runs.
// Single-threaded, but the batches of several connections may interleave: a
// batch runs a statement at a time (BatchRun) and a query's rows are read as
// its client takes them.
class Engine {
public:
    explicit Engine(const EngineOptions& options);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    QString startError() const { return m_startError; }
    const EngineOptions& options() const { return m_options; }
    int majorVersion() const;
    bool knowsCreateOrAlter() const; // from 13.0.4001, SQL Server 2016 SP1
    QString versionText() const;     // @@VERSION

    // Runs a whole batch and reads every result into its outcome.
    QList<Outcome> executeBatch(Session& session, const QString& batch);
    // Runs a script of GO-separated batches; returns the first error's text.
    QString runScript(Session& session, const QString& script);

    // For the SQL functions.
    Session* currentSession() const { return m_current; }
    Catalogue& catalogue() { return *m_catalogue; }
    const ForeignKeys& foreignKeys() const { return *m_foreignKeys; }
    QByteArray nextRowVersion();
    sqlite3* db() const { return m_db; }

    // Runs one statement. A query's outcome comes with its cursor, before
    // any row is read.
    void execute(Session& session, const Statement& statement, QList<Outcome>& out);

    // While one lives, the SQL functions see this session as the current one.
    class ActiveSession {
    public:
        ActiveSession(Engine& engine, Session& session)
            : m_engine(engine)
            , m_previous(engine.m_current) {
            engine.m_current = &session;
        }
        ~ActiveSession() { m_engine.m_current = m_previous; }
        ActiveSession(const ActiveSession&) = delete;
        ActiveSession& operator=(const ActiveSession&) = delete;

    private:
        Engine& m_engine;
        Session* m_previous;
    };

private:
    void runQuery(Session& session, const Statement& statement, QList<Outcome>& out);
    void runModify(Session& session, const Statement& statement, QList<Outcome>& out);
    void setOption(Session& session, const Statement& statement, QList<Outcome>& out);
    void createTable(const Statement& statement);
    int versionHistory(const Statement& statement, int objectId);
    void createModule(const Statement& statement);
    void drop(const Statement& statement);
    void rename(const Statement& statement);
    void removeObject(const ObjectInfo& object);
    void alterTable(const Statement& statement);
    void truncate(const Statement& statement);
    void checkIdent(const Statement& statement, QList<Outcome>& out);
    int schemaFor(const QStringList& name) const;
    [[noreturn]] void throwSqliteError(const QString& message, const Statement& statement) const;

    EngineOptions m_options;
    sqlite3* m_db = nullptr;
    std::unique_ptr<Catalogue> m_catalogue;
    std::unique_ptr<ForeignKeys> m_foreignKeys;
    Session* m_current = nullptr;
    quint64 m_rowVersion = 2000;
    QString m_startError;
};

} // namespace quarvex::standin
