#include "standin/engine/BatchRun.h"

#include "standin/engine/ResultCursor.h"
#include "standin/sql/Translator.h"

namespace quarvex::standin {

namespace {

SqlError lockTimedOut() {
    return SqlError{1222, QStringLiteral("Lock request time out period exceeded."), 16, 51, false};
}

} // namespace

BatchRun::BatchRun(Engine& engine, Session& session, const QString& batch)
    : m_engine(engine)
    , m_session(session)
    , m_batch(batch)
    , m_lexed(lex(m_batch)) {
    if (m_lexed.unclosedQuote) {
        fail(SqlError{105,
                      QStringLiteral("Unclosed quotation mark after the character string '%1'.")
                          .arg(m_lexed.unclosedText),
                      15, 1, true},
             1);
        return;
    }
    // The whole batch is checked before any of it runs, as SQL Server
    // compiles a batch first: a syntax error anywhere runs nothing.
    try {
        Translator checker(m_batch, m_lexed.tokens,
                           {nullptr, 0, {}, m_engine.knowsCreateOrAlter(), 0});
        while (!checker.atEnd()) {
            m_starts.append(checker.position());
            m_kinds.append(checker.next().kind);
        }
    } catch (const SqlError& error) {
        m_starts.clear();
        m_kinds.clear();
        fail(error, 1);
    }
}

BatchRun::BatchRun(Engine& engine, Session& session, const SqlError& refusal)
    : m_engine(engine)
    , m_session(session) {
    fail(refusal, 1);
}

std::optional<Outcome> BatchRun::next() {
    m_cursor.reset(); // rows nobody read are dropped with their result
    m_lockWait = false;
    while (m_waiting.isEmpty() && !m_lockWait && m_nextStatement < m_starts.size())
        runStatement(m_starts[m_nextStatement++]);
    if (m_waiting.isEmpty())
        return std::nullopt;
    Outcome outcome = m_waiting.takeFirst();
    if (outcome.kind == Outcome::Kind::Rows) {
        m_cursor = std::move(outcome.cursor);
        m_resultLine = outcome.line;
        m_resultRows = 0;
    }
    return outcome;
}

BatchRun::RowRead BatchRun::nextRow(QVariantList& row) {
    if (!m_cursor)
        return RowRead::End;
    try {
        if (m_cursor->next(row)) {
            ++m_resultRows;
            return RowRead::Row;
        }
    } catch (const SqlError& error) {
        m_cursor.reset();
        fail(error, m_resultLine);
        return RowRead::Failed;
    }
    m_cursor.reset();
    m_session.rowCount = m_resultRows;
    return RowRead::End;
}

void BatchRun::runStatement(int start) {
    const Engine::ActiveSession active(m_engine, m_session);
    Translator translator(m_batch, m_lexed.tokens,
                          {&m_engine.catalogue(), m_session.identityInsertObject,
                           m_engine.options().database, m_engine.knowsCreateOrAlter(),
                           m_session.spid});
    translator.seek(start);
    int line = 1;
    try {
        const Statement statement = translator.next();
        line = statement.line;
        if (!runFlow(statement))
            m_engine.execute(m_session, statement, m_waiting);
        m_waited.invalidate();
    } catch (const SqlError& error) {
        m_waited.invalidate();
        fail(error, line);
    } catch (const LockWait&) {
        waitForLock(line);
    }
}

void BatchRun::waitForLock(int line) {
    if (!m_waited.isValid())
        m_waited.start();
    const int timeout = m_session.lockTimeoutMs;
    if (timeout >= 0 && m_waited.elapsed() >= timeout) {
        m_waited.invalidate();
        fail(lockTimedOut(), line);
        return;
    }
    --m_nextStatement; // the same statement again
    m_lockWait = true;
    m_waitLine = line;
}

void BatchRun::stopWaiting() {
    if (!m_lockWait)
        return;
    m_lockWait = false;
    m_waited.invalidate();
    ++m_nextStatement;
    fail(lockTimedOut(), m_waitLine);
}

bool BatchRun::runFlow(const Statement& statement) {
    switch (statement.kind) {
    case Statement::Kind::If:
        if (!m_engine.condition(statement))
            m_nextStatement = endOfGuarded(m_nextStatement);
        return true;
    case Statement::Kind::BlockBegin:
    case Statement::Kind::BlockEnd:
        return true;
    case Statement::Kind::Return:
        m_nextStatement = int(m_starts.size());
        return true;
    case Statement::Kind::Raiserror: {
        // A raised error is only reported: it neither ends the batch nor,
        // even under XACT_ABORT, undoes the transaction.
        Outcome o;
        o.kind = Outcome::Kind::Message;
        o.isError = statement.number > 10;
        o.message = SqlError{50000, statement.value, int(statement.number), 1, false};
        o.line = statement.line;
        m_waiting.append(o);
        return true;
    }
    default:
        return false;
    }
}

int BatchRun::endOfGuarded(int index) const {
    if (index >= m_kinds.size())
        return index;
    if (m_kinds[index] == Statement::Kind::If)
        return endOfGuarded(index + 1);
    if (m_kinds[index] != Statement::Kind::BlockBegin)
        return index + 1;
    int depth = 0;
    for (int i = index; i < m_kinds.size(); ++i) {
        if (m_kinds[i] == Statement::Kind::BlockBegin)
            ++depth;
        else if (m_kinds[i] == Statement::Kind::BlockEnd && --depth == 0)
            return i + 1;
    }
    return int(m_kinds.size());
}

void BatchRun::fail(const SqlError& error, int line) {
    Outcome o;
    o.kind = Outcome::Kind::Message;
    o.isError = true;
    o.message = error;
    o.line = line;
    m_waiting.append(o);
    // Under XACT_ABORT an error undoes the whole transaction and ends the
    // batch; the batches after it run outside any transaction.
    const bool xactAbort = m_session.xactAbort && error.severity > 10;
    if (xactAbort)
        m_engine.rollback(m_session);
    if (error.abortsBatch || xactAbort)
        m_nextStatement = int(m_starts.size());
}

QList<Outcome> executeBatch(Engine& engine, Session& session, const QString& batch) {
    BatchRun run(engine, session, batch);
    QList<Outcome> out;
    for (;;) {
        std::optional<Outcome> o = run.next();
        if (!o && run.waiting()) {
            run.stopWaiting(); // no other session runs while this one waits
            continue;
        }
        if (!o)
            break;
        if (o->kind == Outcome::Kind::Rows) {
            QVariantList row;
            while (run.nextRow(row) == BatchRun::RowRead::Row)
                o->rows.append(row);
            o->count = o->rows.size();
        }
        out.append(*o);
    }
    return out;
}

QString runScript(Engine& engine, Session& session, const QString& script) {
    for (const QString& batch : splitBatches(script)) {
        for (const Outcome& o : executeBatch(engine, session, batch))
            if (o.kind == Outcome::Kind::Message && o.isError)
                return QStringLiteral("Msg %1: %2").arg(o.message.number).arg(o.message.message);
    }
    return {};
}

} // namespace quarvex::standin
