#pragma once

#include "standin/engine/Engine.h"
#include "standin/sql/Lexer.h"
#include "standin/sql/LocalVariables.h"
#include "standin/sql/Translator.h"

#include <QElapsedTimer>
#include <optional>

namespace quarvex::standin {

// One SQL batch, run a statement at a time as its outcomes are taken. A
// query's rows are read from SQLite while the client takes them, and the
// statements after it run only once they are all read, as on a real server.
class BatchRun {
public:
    BatchRun(Engine& engine, Session& session, const QString& batch);
    // A request refused before anything runs: its one outcome is the error.
    BatchRun(Engine& engine, Session& session, const SqlError& refusal);
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // The next outcome, or nothing after the last. A Rows outcome comes with
    // its columns only: read its rows with nextRow() before the next outcome.
    // Nothing, too, while a statement waits for a lock (waiting()): ask
    // again later, and it runs again.
    std::optional<Outcome> next();
    bool waiting() const { return m_lockWait; }
    // Ends the wait at once with the lock time-out's error, for a caller
    // that cannot let another session run meanwhile.
    void stopWaiting();

    enum class RowRead { Row, End, Failed };
    // The next row of the open result. After the last (End) the result is
    // closed; a failure (Failed) becomes the next outcome, an error that
    // follows the rows already read, and may end the batch.
    RowRead nextRow(QVariantList& row);
    // How many rows the open or last result gave.
    qint64 resultRows() const { return m_resultRows; }

private:
    void checkSyntax();
    void declareVariables(const QList<ColumnDefinition>& declared);
    void compileStatements();
    Translator::Context translationContext();
    void runStatement(int start);
    // What the batch runner does itself: IF, blocks, RETURN, RAISERROR and
    // the local variables.
    bool runFlow(const Statement& statement);
    void assign(const Statement& statement);
    // @@ROWCOUNT and @@ERROR after a statement that ran without an error.
    void settleCounts(const Statement& statement);
    // The index of the statement after the one at index and what it guards.
    int endOfGuarded(int index) const;
    void fail(const SqlError& error, int line);
    // A statement found a table locked: it runs again later, until the
    // session's lock time-out has passed.
    void waitForLock(int line);

    Engine& m_engine;
    Session& m_session;
    QString m_batch;
    LexResult m_lexed;
    QList<int> m_starts; // the first token of each statement
    QList<Statement::Kind> m_kinds;
    LocalVariables m_variables; // the batch's, known once the syntax is checked
    int m_nextStatement = 0;
    QList<Outcome> m_waiting; // outcomes not taken yet
    std::shared_ptr<ResultCursor> m_cursor;
    int m_resultLine = 1;
    qint64 m_resultRows = 0;
    bool m_lockWait = false;
    int m_waitLine = 1;
    QElapsedTimer m_waited; // valid while a statement waits
};

// Runs a whole batch and reads every result into its outcome.
QList<Outcome> executeBatch(Engine& engine, Session& session, const QString& batch);
// Runs a script of GO-separated batches; returns the first error's text.
QString runScript(Engine& engine, Session& session, const QString& script);

} // namespace quarvex::standin
