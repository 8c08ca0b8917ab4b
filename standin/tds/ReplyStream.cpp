#include "standin/tds/ReplyStream.h"

namespace quarvex::standin {

ReplyStream::ReplyStream(quint32 tdsVersion, const QString& serverName,
                         std::unique_ptr<BatchRun> run, std::optional<ProcedureCall> call,
                         int rowLimit)
    : m_tokens(tdsVersion)
    , m_serverName(serverName)
    , m_run(std::move(run))
    , m_call(call)
    , m_rowLimit(rowLimit) {}

void ReplyStream::fill(QByteArray& out, qsizetype wanted) {
    TdsWriter w;
    m_waiting = false;
    while (!m_finished && !m_waiting && out.size() + w.size() < wanted)
        step(w);
    out.append(w.data());
}

void ReplyStream::step(TdsWriter& w) {
    if (m_inResult) {
        writeRow(w);
        return;
    }
    const std::optional<Outcome> outcome = m_run ? m_run->next() : std::nullopt;
    if (outcome)
        writeOutcome(w, *outcome);
    else if (m_run && m_run->waiting())
        m_waiting = true;
    else
        finish(w);
}

void ReplyStream::writeOutcome(TdsWriter& w, const Outcome& o) {
    releaseDone(w, true);
    switch (o.kind) {
    case Outcome::Kind::Rows:
        m_columns = o.columns;
        m_tokens.columnMetadata(w, m_columns);
        m_inResult = true;
        break;
    case Outcome::Kind::Done:
        holdDone(DoneMore | (o.hasCount ? DoneCount : 0), o.command, o.count);
        break;
    case Outcome::Kind::Message:
        m_tokens.message(w, o.message, o.isError, m_serverName, o.line);
        if (!o.newLanguage.isEmpty())
            m_tokens.envChange(w, 2, o.newLanguage, QString());
        if (o.isError) {
            m_anyError = true;
            holdDone(DoneMore | DoneError, 0, 0);
        }
        break;
    }
}

// A failure halfway sends no DONE of the result: its error comes next, with
// a DONE of its own.
void ReplyStream::writeRow(TdsWriter& w) {
    switch (m_run->nextRow(m_row)) {
    case BatchRun::RowRead::Row:
        if (m_rowLimit >= 0 && m_run->resultRows() > m_rowLimit) {
            m_cut = m_finished = true;
            m_run.reset(); // the result is abandoned, and SQLite's reading with it
            return;
        }
        m_tokens.row(w, m_columns, m_row);
        return;
    case BatchRun::RowRead::End:
        m_inResult = false;
        holdDone(DoneMore | DoneCount, 0xC1, m_run->resultRows());
        return;
    case BatchRun::RowRead::Failed:
        m_inResult = false;
        return;
    }
}

void ReplyStream::finish(TdsWriter& w) {
    m_finished = true;
    m_run.reset();
    if (m_call) {
        releaseDone(w, true);
        m_tokens.returnStatus(w, m_anyError ? 1 : 0);
        if (m_call->handle)
            m_tokens.returnIntValue(w, 0, *m_call->handle);
        m_tokens.done(w, m_anyError ? DoneError : DoneFinal, 0, 0, 0xFE);
    } else if (m_held) {
        releaseDone(w, false);
    } else {
        // The last statement sent no DONE (SET, PRINT): the batch gets one.
        m_tokens.done(w, m_anyError ? DoneError : DoneFinal, 0, 0);
    }
}

void ReplyStream::holdDone(int status, int command, qint64 count) {
    m_held = HeldDone{status, command, count};
}

void ReplyStream::releaseDone(TdsWriter& w, bool more) {
    if (!m_held)
        return;
    const int status = more ? m_held->status : m_held->status & ~DoneMore;
    m_tokens.done(w, status, m_held->command, m_held->count, m_call ? 0xFF : 0xFD);
    m_held.reset();
}

} // namespace quarvex::standin
