#pragma once

#include "standin/store/Catalogue.h"

#include <QHash>
#include <QString>

struct sqlite3;

namespace quarvex::standin {

// What one connection has set: the options its statements run under.
struct Session {
    int spid = 51;
    QString login;
    QString hostName;
    QString dateFormat = QStringLiteral("mdy");
    QString language = QStringLiteral("us_english");
    bool noCount = false;
    int identityInsertObject = 0;
    QString identityInsertName;
    qint64 rowCount = 0;      // @@ROWCOUNT
    int lastError = 0;        // @@ERROR
    qint64 lastIdentity = -1; // -1: none yet (@@IDENTITY is NULL)
    qint64 textSize = 4096;
    bool formatOnly = false; // SET FMTONLY ON: queries describe their results, send no rows
    int tranCount = 0;       // @@TRANCOUNT
    bool xactAbort = false;  // SET XACT_ABORT ON: an error rolls back and ends the batch
    // Identity counters as they stood before the open transaction's
    // TRUNCATE TABLE or DBCC CHECKIDENT changed them: a rollback puts them
    // back. (Inserts are not noted: SQL Server gives no identity back.)
    QHash<int, IdentityState> identitiesBeforeReset;
    QHash<QString, QString> options; // SET options accepted without effect
    bool wroteInTransaction = false; // the transaction's savepoint is taken
    int lockTimeoutMs = -1;          // SET LOCK_TIMEOUT: -1 waits for ever
    bool snapshotIsolation = false;  // SET TRANSACTION ISOLATION LEVEL SNAPSHOT
    // The database as the transaction's first read found it, under snapshot
    // isolation; the DDL count then, to tell a table altered since.
    sqlite3* snapshot = nullptr;
    quint64 snapshotDdl = 0;
};

} // namespace quarvex::standin
