// How sessions meet in the one database: the savepoint a transaction
// returns to, table locks, and the copy a snapshot transaction reads.

#include "standin/engine/Engine.h"
#include "standin/engine/SnapshotCopy.h"
#include "standin/store/Sqlite.h"

#include <sqlite3.h>

namespace quarvex::standin {

namespace {

SqlError snapshotNotAllowed(const QString& database) {
    return SqlError{3952,
                    QStringLiteral("Snapshot isolation transaction failed accessing database "
                                   "'%1' because snapshot isolation is not allowed in this "
                                   "database. Use ALTER DATABASE to allow snapshot isolation.")
                        .arg(database),
                    16, 1, false};
}

SqlError alteredSinceSnapshot(const QString& database) {
    return SqlError{3961,
                    QStringLiteral("Snapshot isolation transaction failed in database '%1' "
                                   "because the object accessed by the statement has been "
                                   "modified by a DDL statement in another concurrent "
                                   "transaction since the start of this transaction.  It is "
                                   "disallowed because the metadata is not versioned. A "
                                   "concurrent update to metadata can lead to inconsistency if "
                                   "mixed with snapshot isolation.")
                        .arg(database),
                    16, 1, false};
}

} // namespace

// The savepoint is taken at the transaction's first change, so that a
// transaction that only reads undoes nothing of other sessions' work.
void Engine::beginWrite(Session& session, const Statement& statement) {
    const bool inTransaction = session.tranCount > 0;
    if (statement.kind == Statement::Kind::Modify && statement.objectId != 0)
        m_locks.write(session.spid, statement.objectId, inTransaction);
    if (inTransaction && !session.wroteInTransaction) {
        sqliteExec(m_db, QStringLiteral("savepoint qx_transaction"));
        session.wroteInTransaction = true;
    }
}

void Engine::beginRead(Session& session, const Statement& statement) {
    if (session.snapshotIsolation && session.tranCount > 0) {
        if (!session.snapshot)
            startSnapshot(session);
        for (const int table : statement.tablesRead)
            if (m_altered.value(table) > session.snapshotDdl) {
                // As on the server, the failure ends the transaction.
                endTransaction(session, false);
                throw alteredSinceSnapshot(m_options.database);
            }
    }
    for (const int table : statement.tablesLocked)
        m_locks.share(session.spid, table, session.tranCount > 0);
}

// At the transaction's first read, as the server takes its snapshot.
void Engine::startSnapshot(Session& session) {
    const QVariant state = sqliteScalar(
        m_db, QStringLiteral("select snapshot_isolation_state from qx_databases where name = ?"),
        {m_options.database});
    if (state.toInt() != 1)
        throw snapshotNotAllowed(m_options.database);
    session.snapshot = snapshotCopy(m_db, this);
    if (!session.snapshot)
        throw unsupported(QStringLiteral("a snapshot of this database (SQLite could not copy it)"));
    session.snapshotDdl = m_ddlCount;
}

// Altering or dropping a table changes what a snapshot taken before may
// read of it.
void Engine::noteAltered(const Statement& statement) {
    QList<QStringList> tables;
    switch (statement.kind) {
    case Statement::Kind::AddForeignKeys:
    case Statement::Kind::DropConstraints:
    case Statement::Kind::CheckConstraints:
        tables.append(statement.name);
        break;
    case Statement::Kind::Drop:
        if (statement.dropType == QLatin1String("table"))
            tables = statement.names;
        break;
    default:
        return;
    }
    for (const QStringList& name : tables)
        if (const auto object = m_catalogue->find(name))
            m_altered.insert(object->objectId, ++m_ddlCount);
}

void Engine::endTransaction(Session& session, bool commit) {
    session.tranCount = 0;
    if (session.wroteInTransaction) {
        if (!commit)
            sqliteExec(m_db, QStringLiteral("rollback to qx_transaction"));
        sqliteExec(m_db, QStringLiteral("release qx_transaction"));
        session.wroteInTransaction = false;
    }
    // A truncation or reseed undone puts the counter back; inserts give no
    // identity values back.
    if (!commit)
        for (auto it = session.identitiesBeforeReset.cbegin();
             it != session.identitiesBeforeReset.cend(); ++it)
            if (m_catalogue->object(it.key()))
                m_catalogue->setIdentity(it.key(), it.value());
    session.identitiesBeforeReset.clear();
    m_locks.releaseAll(session.spid);
    if (session.snapshot) {
        sqlite3_close_v2(session.snapshot);
        session.snapshot = nullptr;
    }
}

// ALTER DATABASE ... SET ALLOW_SNAPSHOT_ISOLATION: the one database there is.
void Engine::alterDatabase(const Statement& statement) {
    if (statement.name.first().compare(m_options.database, Qt::CaseInsensitive) != 0)
        throw SqlError{5011,
                       QStringLiteral("User does not have permission to alter database '%1', "
                                      "the database does not exist, or the database is not in "
                                      "a state that allows access checks.")
                           .arg(statement.name.first()),
                       14, 5, false};
    allowSnapshots(statement.value == QLatin1String("on"));
}

void Engine::allowSnapshots(bool allowed) {
    sqliteExec(
        m_db, QStringLiteral("update qx_databases set snapshot_isolation_state = ? where name = ?"),
        {allowed ? 1 : 0, m_options.database});
}

} // namespace quarvex::standin
