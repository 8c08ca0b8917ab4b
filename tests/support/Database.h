#pragma once

#include "db/OdbcConnection.h"
#include "support/StandIn.h"

#include <QStringList>

namespace quarvex::test {

// A database on a stand-in of its own, logged into as the script runs are:
// where a scenario's scripts come from, or where they are loaded and read
// back.
class Database {
public:
    explicit Database(const StandInOptions& options = {});

    StandIn server;
    // Opened on first use and kept, so that session settings hold.
    OdbcConnection& connection();
    void execute(const QString& statement) { connection().execute(statement); }

    // Each row of the query, its values' texts joined by '|'.
    QStringList rows(const QString& query);
    // Each row of the query with every value exactly and its type, so that
    // a lost digit, a rounded date or 1 for '1' shows; the column leaveOut
    // (a rowversion, which a load changes) is left out.
    QStringList exactRows(const QString& query, const QString& leaveOut = {});

    // Runs a script batch by batch at lines reading GO, going on after an
    // error as a batch runner does (or stopping at the first, as sqlcmd -b
    // does); the errors, each after the text of the batch before it.
    QStringList load(const QString& script, bool stopAtError = false);
    // Feeds a script file to FreeTDS's tsql, as a user may load it; tsql's
    // output, messages included.
    QString loadThroughTsql(const QString& scriptPath) const;

private:
    std::unique_ptr<OdbcConnection> m_connection;
};

} // namespace quarvex::test
