#pragma once

#include "base/ProcedureError.h"
#include "model/Settings.h"

#include <QString>

namespace quarvex {

class OdbcConnection;

// How one run reads the rows of its ticked tables, and the transaction that
// keeps them to one moment: a snapshot where the database allows one
// (Automatic), shared table locks held to the end of the run (Lock), or
// each table on its own (Off, and Automatic where no snapshot can be had).
class ConsistentReadSession {
public:
    enum class Way { TableByTable, Snapshot, Locks };

    // Table by table, with no transaction.
    ConsistentReadSession() = default;

    // Decides how the rows are read and opens the transaction that needs.
    // Raises "ConsistentRead: " + description.
    static ConsistentReadSession begin(OdbcConnection& connection, ConsistentRead choice);

    // A session already decided: reason says why table by table, the
    // time-out how long a lock is waited for.
    ConsistentReadSession(Way way, QString reason, int lockTimeoutMs)
        : m_way(way)
        , m_reason(std::move(reason))
        , m_lockTimeoutMs(lockTimeoutMs) {}

    Way way() const { return m_way; }

    // What a table's count and rows are read from: the table, under Lock
    // with the hint that takes its shared lock and holds it to the end.
    QString source(const QString& tableName) const;

    // The boxed note that tells the table script how its rows were read.
    QString note() const;

    // Commits the transaction, letting go of the snapshot or the locks.
    // Raises "ConsistentRead: " + description.
    void end(OdbcConnection& connection);

    // A failed read of tableName as it concerns the run: a snapshot the
    // server no longer grants, a table altered under it, or a lock waited
    // for too long ends the run, since no later table could join the rows
    // already read; any other failure comes back as it was. The message
    // names the database option, the table, or the wait.
    Failure judged(const Failure& failure, const QString& tableName) const;

private:
    static ConsistentReadSession beginLocks(OdbcConnection& connection);
    static ConsistentReadSession beginSnapshot(OdbcConnection& connection);

    Way m_way = Way::TableByTable;
    QString m_reason = QStringLiteral("consistent read is off"); // why table by table
    int m_lockTimeoutMs = -1;
    bool m_open = false; // a transaction is open on the connection
};

} // namespace quarvex
