#include "scripting/ConsistentReadSession.h"

#include "base/LeadingNumber.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "scripting/BoxPrint.h"

namespace quarvex {

namespace {

// The server's error numbers that end a consistent read.
constexpr qint32 lockRequestTimedOut = 1222;
constexpr qint32 snapshotNotAllowed = 3952;
constexpr qint32 alteredInSnapshot = 3961;

const QString procedure = QStringLiteral("ConsistentRead");

bool allowsSnapshots(OdbcConnection& connection) {
    RecordSet records(connection, QStringLiteral("select snapshot_isolation_state from "
                                                 "sys.databases where name=db_name()"));
    return !records.atEnd() && leadingNumber(records.value(0).toString()) == 1;
}

// The server answers a lock it cannot have within the time-out with 1222,
// naming the wait; without one, a writer that never commits would hold the
// run until the query time-out, which says nothing of why. Half of that
// leaves the server room to say it first.
int lockTimeoutMs(const OdbcConnection& connection) {
    const int seconds = connection.queryTimeoutSeconds();
    return seconds == 0 ? -1 : qMax(1, seconds / 2) * 1000;
}

QString olderServerName(int majorVersion) {
    return majorVersion == 8 ? QStringLiteral("SQL Server 2000")
                             : QStringLiteral("SQL Server %1.0").arg(majorVersion);
}

ConsistentReadSession::Way wayOf(ConsistentRead choice) {
    switch (choice) {
    case ConsistentRead::Automatic:
        return ConsistentReadSession::Way::Snapshot;
    case ConsistentRead::Lock:
        return ConsistentReadSession::Way::Locks;
    case ConsistentRead::Off:
        return ConsistentReadSession::Way::TableByTable;
    }
    raiseUnexpectedCase();
}

} // namespace

ConsistentReadSession ConsistentReadSession::begin(OdbcConnection& connection,
                                                   ConsistentRead choice) {
    return reraisingAs(procedure, [&] {
        switch (wayOf(choice)) {
        case Way::TableByTable:
            return ConsistentReadSession();
        case Way::Locks:
            return beginLocks(connection);
        case Way::Snapshot:
            return beginSnapshot(connection);
        }
        raiseUnexpectedCase();
    });
}

ConsistentReadSession ConsistentReadSession::beginLocks(OdbcConnection& connection) {
    ConsistentReadSession session(Way::Locks, {}, lockTimeoutMs(connection));
    connection.execute(
        QStringLiteral("set lock_timeout %1\r\nbegin transaction").arg(session.m_lockTimeoutMs));
    session.m_open = true;
    return session;
}

// Table by table, saying why, where the server or the database has no
// snapshot to give.
ConsistentReadSession ConsistentReadSession::beginSnapshot(OdbcConnection& connection) {
    const int version = ServerVersion(connection);
    if (version < 9)
        return ConsistentReadSession(
            Way::TableByTable,
            olderServerName(version) + QLatin1String(" has no snapshot isolation"), -1);
    if (!allowsSnapshots(connection))
        return ConsistentReadSession(Way::TableByTable,
                                     QStringLiteral("this database does not allow snapshot "
                                                    "isolation (ALLOW_SNAPSHOT_ISOLATION is OFF)"),
                                     -1);
    connection.execute(
        QStringLiteral("set transaction isolation level snapshot\r\nbegin transaction"));
    ConsistentReadSession session(Way::Snapshot, {}, -1);
    session.m_open = true;
    // The server takes the snapshot at the transaction's first read: here,
    // so that every table is read as the run found the database.
    const auto failure = failureOf(
        [&] { RecordSet first(connection, QStringLiteral("select count(*) from sys.objects")); });
    if (failure)
        raise(session.judged(*failure, {}));
    return session;
}

QString ConsistentReadSession::source(const QString& tableName) const {
    if (m_way != Way::Locks)
        return tableName;
    return tableName + QLatin1String(" with (tablock, holdlock)");
}

QString ConsistentReadSession::note() const {
    switch (m_way) {
    case Way::Snapshot:
        return BoxPrint(QStringLiteral("Rows read in one snapshot"));
    case Way::Locks:
        return BoxPrint(
            QStringLiteral("Rows read under shared table locks held to the end of the run"));
    case Way::TableByTable:
        return BoxPrint(QLatin1String("Rows read table by table: ") + m_reason);
    }
    raiseUnexpectedCase();
}

void ConsistentReadSession::end(OdbcConnection& connection) {
    if (!m_open)
        return;
    reraisingAs(procedure, [&] { connection.execute(QStringLiteral("commit transaction")); });
    m_open = false;
}

Failure ConsistentReadSession::judged(const Failure& failure, const QString& tableName) const {
    if (failure.kind != FailureKind::Refused || m_way == Way::TableByTable)
        return failure;
    QString description;
    if (m_way == Way::Snapshot && failure.nativeError == snapshotNotAllowed)
        description = QStringLiteral("The database stopped allowing snapshot isolation as the "
                                     "run began (ALLOW_SNAPSHOT_ISOLATION is OFF); turn it on "
                                     "again, or read with \"Lock while reading\"");
    else if (m_way == Way::Snapshot && failure.nativeError == alteredInSnapshot)
        description = tableName + QLatin1String(" was altered by another session after the "
                                                "run's snapshot began; run again once the change "
                                                "is done");
    else if (m_way == Way::Locks && failure.nativeError == lockRequestTimedOut)
        description =
            tableName + QStringLiteral(": waited longer than the lock time-out (%1 s) for its "
                                       "shared lock while another session held the table in an "
                                       "open transaction; run again when that transaction has "
                                       "ended")
                            .arg(qMax(1, m_lockTimeoutMs / 1000));
    else
        return failure;
    Failure ended = failure;
    ended.kind = FailureKind::ConsistencyLost;
    ended.description = description;
    return ended;
}

} // namespace quarvex
