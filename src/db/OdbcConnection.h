#pragma once

#include "db/OdbcHandle.h"
#include "model/ConnectionSettings.h"

#include <QList>
#include <QString>
#include <memory>

namespace quarvex {

class Cancellation;
class ConnectionInterrupter;
class OdbcStatement;

// One connection to SQL Server through the installed ODBC driver.
// Failures raise the driver's diagnostics as the description.
class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Logs in within loginTimeoutSeconds; the statements then wait for the
    // server as long as the settings say.
    void open(const ConnectionSettings& settings, int loginTimeoutSeconds = 5);
    void close();

    // The server's version as ODBC reports it, e.g. "09.00.1399".
    QString dbmsVersion() const;

    // Runs a batch and discards whatever it returns.
    void execute(const QString& batch);

    void* handle() const { return m_connection.get(); }
    int queryTimeoutSeconds() const { return m_queryTimeoutSeconds; }

    // From now on a cancel stops what waits on this connection, its login
    // included, and a call that fails after it raises the cancelled failure.
    void stopWith(Cancellation& cancellation);
    bool cancelled() const;

private:
    friend class OdbcStatement;
    void attach(OdbcStatement* statement) { m_statements.append(statement); }
    void detach(OdbcStatement* statement) { m_statements.removeOne(statement); }
    // Disconnecting frees every statement of the connection, so the
    // statements still alive give up their handles first.
    void releaseStatements();

    OdbcHandle m_environment;
    OdbcHandle m_connection;
    bool m_open = false;
    int m_queryTimeoutSeconds = 0;
    QList<OdbcStatement*> m_statements;
    std::shared_ptr<ConnectionInterrupter> m_interrupter;
    Cancellation* m_cancellation = nullptr;
    int m_waiter = 0;
};

} // namespace quarvex
