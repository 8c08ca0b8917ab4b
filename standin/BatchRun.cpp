#include "BatchRun.h"

#include "ResultCursor.h"
#include "Translator.h"

namespace quarvex::standin {

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
                           {nullptr, 0, {}, m_engine.knowsCreateOrAlter()});
        while (!checker.atEnd()) {
            m_starts.append(checker.position());
            checker.next();
        }
    } catch (const SqlError& error) {
        m_starts.clear();
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
    while (m_waiting.isEmpty() && m_nextStatement < m_starts.size())
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
                           m_engine.options().database, m_engine.knowsCreateOrAlter()});
    translator.seek(start);
    int line = 1;
    try {
        const Statement statement = translator.next();
        line = statement.line;
        m_engine.execute(m_session, statement, m_waiting);
    } catch (const SqlError& error) {
        fail(error, line);
    }
}

void BatchRun::fail(const SqlError& error, int line) {
    Outcome o;
    o.kind = Outcome::Kind::Message;
    o.isError = true;
    o.message = error;
    o.line = line;
    m_waiting.append(o);
    if (error.abortsBatch)
        m_nextStatement = int(m_starts.size());
}

} // namespace quarvex::standin
