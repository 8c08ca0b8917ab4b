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
    checkSyntax();
    if (!m_starts.isEmpty())
        compileStatements();
}

// The whole batch is checked before any of it runs, as SQL Server compiles
// a batch first: a syntax error anywhere, or a variable used before its
// DECLARE, runs nothing. Every variable of the batch exists from then on,
// null, whether or not its DECLARE runs.
void BatchRun::checkSyntax() {
    try {
        Translator checker(m_batch, m_lexed.tokens,
                           {nullptr,
                            0,
                            {},
                            m_engine.knowsCreateOrAlter(),
                            0,
                            &m_variables,
                            m_engine.majorVersion()});
        QList<ColumnDefinition> declared;
        while (!checker.atEnd()) {
            m_starts.append(checker.position());
            const Statement statement = checker.next();
            m_kinds.append(statement.kind);
            if (statement.kind == Statement::Kind::Declare)
                declared.append(statement.columns);
        }
        declareVariables(declared);
    } catch (const SqlError& error) {
        m_starts.clear();
        m_kinds.clear();
        fail(error, 1);
    }
}

// The variables' types as the database knows them, alias types too.
void BatchRun::declareVariables(const QList<ColumnDefinition>& declared) {
    for (int i = 0; i < declared.size(); ++i) {
        const ColumnDefinition& d = declared[i];
        const auto type = m_engine.catalogue().resolveType(d.typeName, d.arg1, d.arg2);
        if (!type)
            throw SqlError{2715,
                           QStringLiteral("Column, parameter, or variable #%1: Cannot find data "
                                          "type %2.")
                               .arg(i + 1)
                               .arg(d.typeName),
                           16, 6, true};
        const BaseType base = type->type.base;
        if (base == BaseType::Text || base == BaseType::NText || base == BaseType::Image)
            throw SqlError{2739,
                           QStringLiteral("The text, ntext, and image data types are invalid for "
                                          "local variables."),
                           16, 1, true};
        m_variables[d.name].type = type->type;
    }
}

// Then every statement is compiled against the tables there are before any
// of it runs: a column missing from a table that exists fails the batch as
// a whole. A table that does not exist yet, one the batch makes itself say,
// is resolved only when its statement runs (deferred name resolution), and
// so is everything else the stand-in checks while translating.
void BatchRun::compileStatements() {
    Translator compiler(m_batch, m_lexed.tokens, translationContext());
    for (int i = 0; i < m_starts.size(); ++i) {
        compiler.seek(m_starts[i]);
        try {
            m_engine.compile(compiler.next());
        } catch (const SqlError& error) {
            if (error.number != 207)
                continue;
            const int line = m_lexed.tokens[m_starts[i]].line;
            m_starts.clear();
            m_kinds.clear();
            fail(error, line);
            return;
        }
    }
}

Translator::Context BatchRun::translationContext() {
    return {&m_engine.catalogue(),
            m_session.identityInsertObject,
            m_engine.options().database,
            m_engine.knowsCreateOrAlter(),
            m_session.spid,
            &m_variables,
            m_engine.majorVersion()};
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
    Translator translator(m_batch, m_lexed.tokens, translationContext());
    translator.seek(start);
    int line = 1;
    try {
        const Statement statement = translator.next();
        line = statement.line;
        if (!runFlow(statement))
            m_engine.execute(m_session, statement, m_waiting);
        settleCounts(statement);
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
    case Statement::Kind::Declare:
        if (!statement.sql.isEmpty())
            assign(statement);
        return true;
    case Statement::Kind::Assign:
        assign(statement);
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

// The variables take the values of the last row read; without a row they
// keep theirs. SET counts one row, SELECT the rows it read.
void BatchRun::assign(const Statement& statement) {
    const Engine::Assignment result = m_engine.assignment(statement);
    const QStringList& names = statement.names.first();
    if (result.rows > 0)
        for (int i = 0; i < names.size(); ++i)
            m_variables[names[i]].value = result.lastRow.value(i);
    m_session.rowCount = statement.verb == QLatin1String("select") ? result.rows : 1;
}

// Row-changing statements, queries and assignments set @@ROWCOUNT
// themselves; BEGIN, END and a DECLARE without a value are no statements
// that run, and leave both counts; every other statement sets @@ROWCOUNT to
// 0. @@ERROR is 0 after any statement that did not fail, but RAISERROR's.
void BatchRun::settleCounts(const Statement& statement) {
    switch (statement.kind) {
    case Statement::Kind::BlockBegin:
    case Statement::Kind::BlockEnd:
        return;
    case Statement::Kind::Declare:
        if (statement.sql.isEmpty())
            return;
        break;
    case Statement::Kind::Query:
    case Statement::Kind::Modify:
    case Statement::Kind::SelectInto:
    case Statement::Kind::Assign:
        break;
    case Statement::Kind::Raiserror:
        m_session.rowCount = 0;
        m_session.lastError = statement.number > 10 ? 50000 : 0;
        return;
    default:
        m_session.rowCount = 0;
    }
    m_session.lastError = 0;
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
    m_session.lastError = error.number;
    m_session.rowCount = 0;
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
