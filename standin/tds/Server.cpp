#include "standin/tds/Server.h"

#include <QTcpSocket>

namespace quarvex::standin {

Server::Server(Engine* engine, const LoginPolicy& policy, const Faults& faults,
               const QString& logPath, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_policy(policy)
    , m_faults(faults)
    , m_log(logPath) {
    connect(&m_ipv4, &QTcpServer::newConnection, this, [this] { accept(&m_ipv4); });
    connect(&m_ipv6, &QTcpServer::newConnection, this, [this] { accept(&m_ipv6); });
}

int Server::listen(int port) {
    if (!m_ipv4.listen(QHostAddress::LocalHost, quint16(port)))
        return -1;
    const int chosen = m_ipv4.serverPort();
    m_ipv6.listen(QHostAddress::LocalHostIPv6,
                  quint16(chosen)); // optional: not every machine has ::1
    return chosen;
}

void Server::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection())
        new TdsConnection(socket, m_engine, m_policy, m_faults, &m_log, m_nextSpid++, this);
}

} // namespace quarvex::standin
