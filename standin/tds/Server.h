#pragma once

#include "standin/engine/Engine.h"
#include "standin/log/BatchLog.h"
#include "standin/tds/TdsConnection.h"

#include <QObject>
#include <QTcpServer>
#include <memory>

namespace quarvex::standin {

// Accepts clients on loopback only: 127.0.0.1, and ::1 on the same port
// where the machine has it, so that "localhost,PORT" reaches it too.
class Server : public QObject {
    Q_OBJECT
public:
    Server(Engine* engine, const LoginPolicy& policy, const Faults& faults, const QString& logPath,
           QObject* parent = nullptr);

    // Listens on the port (0: a free one); returns the port or -1.
    int listen(int port);

private:
    void accept(QTcpServer* server);

    Engine* m_engine;
    LoginPolicy m_policy;
    Faults m_faults;
    BatchLog m_log;
    QTcpServer m_ipv4;
    QTcpServer m_ipv6;
    int m_nextSpid = 51;
};

} // namespace quarvex::standin
