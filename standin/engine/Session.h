#pragma once

#include "standin/store/Catalogue.h"

#include <QHash>
#include <QString>

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
};

} // namespace quarvex::standin
