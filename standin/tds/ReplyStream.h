#pragma once

#include "standin/engine/BatchRun.h"
#include "standin/tds/TdsTokens.h"

#include <memory>
#include <optional>

namespace quarvex::standin {

// The tokens of one reply, made a little at a time, so that a result of any
// size goes out as the client reads it. A batch's last DONE is its final
// one; inside a procedure call the statements end with DONEINPROC and the
// call with its return status and DONEPROC.
class ReplyStream {
public:
    struct ProcedureCall {
        std::optional<int> handle; // a prepared statement's, returned as output parameter
    };

    // run may be null: a procedure call that runs no SQL. rowLimit: a fault
    // that cuts a result after that many rows (-1: none).
    ReplyStream(quint32 tdsVersion, const QString& serverName, std::unique_ptr<BatchRun> run,
                std::optional<ProcedureCall> call, int rowLimit);

    // Appends whole tokens to out until it holds at least wanted bytes or
    // the reply is complete.
    void fill(QByteArray& out, qsizetype wanted);
    bool finished() const { return m_finished; }
    // A statement waits for a table lock: fill again later.
    bool waiting() const { return m_waiting; }
    // A fault's row limit ended the reply: the client gets no more of it.
    bool cut() const { return m_cut; }

private:
    void step(TdsWriter& w);
    void writeOutcome(TdsWriter& w, const Outcome& outcome);
    void writeRow(TdsWriter& w);
    void finish(TdsWriter& w);
    // A DONE waits until it is known whether more follows.
    void holdDone(int status, int command, qint64 count);
    void releaseDone(TdsWriter& w, bool more);

    struct HeldDone {
        int status = 0;
        int command = 0;
        qint64 count = 0;
    };

    TdsTokens m_tokens;
    QString m_serverName;
    std::unique_ptr<BatchRun> m_run;
    std::optional<ProcedureCall> m_call;
    int m_rowLimit;
    std::optional<HeldDone> m_held;
    QList<ResultColumn> m_columns; // of the result being sent
    QVariantList m_row;
    bool m_inResult = false;
    bool m_anyError = false;
    bool m_finished = false;
    bool m_cut = false;
    bool m_waiting = false;
};

} // namespace quarvex::standin
