#include "db/InstanceLookup.h"

#include "base/ProcedureError.h"
#include "db/internal/Socket.h"

#include <QDeadlineTimer>
#include <QList>
#include <QStringList>
#include <sys/socket.h>
#include <vector>

namespace quarvex {

namespace {

// A datagram socket per address of the host.
class BrowserSockets {
public:
    BrowserSockets(const QString& host, int port) {
        for (const SocketAddress& address : resolveHost(host, port, SOCK_DGRAM)) {
            Socket socket(address);
            if (!socket.isValid())
                continue;
            m_sockets.push_back(std::move(socket));
            m_addresses.append(address);
        }
    }

    void sendToAll(const QByteArray& request) {
        for (qsizetype i = 0; i < m_addresses.size(); ++i)
            m_sockets[size_t(i)].sendTo(m_addresses[i], request);
    }

    // The first datagram to arrive on any socket before the deadline; empty
    // when none did.
    QByteArray receive(QDeadlineTimer deadline) const {
        QList<const Socket*> sockets;
        for (const Socket& socket : m_sockets)
            sockets.append(&socket);
        return receiveFromAny(sockets, deadline);
    }

private:
    std::vector<Socket> m_sockets;
    QList<SocketAddress> m_addresses;
};

// The answer's "key;value;..." pairs name the instance's TCP port after
// "tcp". An answer starts with 0x05 and its length.
std::optional<int> tcpPortOf(const QByteArray& answer) {
    if (answer.size() < 3 || answer[0] != '\x05')
        return std::nullopt;
    const QStringList fields = QString::fromLatin1(answer.mid(3)).split(u';');
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].compare(QLatin1String("tcp"), Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const int port = fields[i + 1].toInt(&ok);
        if (ok && port > 0 && port < 65536)
            return port;
    }
    return std::nullopt;
}

} // namespace

std::optional<NamedInstance> namedInstance(const QString& server) {
    const qsizetype backslash = server.indexOf(u'\\');
    if (backslash < 0 || server.contains(u','))
        return std::nullopt;
    QString host = server.left(backslash).trimmed();
    if (host.size() > 2 && host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    return NamedInstance{host, server.mid(backslash + 1).trimmed()};
}

int lookUpInstancePort(const NamedInstance& named, int timeoutSeconds, int browserPort) {
    BrowserSockets sockets(named.host, browserPort);
    // CLNT_UCAST_INST: 0x04, then the instance's name ending in a zero byte.
    const QByteArray request = QByteArray(1, '\x04') + named.instance.toLocal8Bit() + '\0';
    const QDeadlineTimer deadline(qint64(qMax(timeoutSeconds, 1)) * 1000);
    // A datagram may be lost: asked again every second until the time is up.
    while (!deadline.hasExpired()) {
        sockets.sendToAll(request);
        const QDeadlineTimer retry(1000);
        while (!retry.hasExpired() && !deadline.hasExpired()) {
            const qint64 wait = qMin(retry.remainingTime(), deadline.remainingTime());
            if (const auto port = tcpPortOf(sockets.receive(QDeadlineTimer(wait))))
                return *port;
        }
    }
    raise(QStringLiteral("No SQL Server Browser on %1 (UDP port %2) named a TCP port for instance "
                         "%3 within %4 seconds")
              .arg(named.host)
              .arg(browserPort)
              .arg(named.instance)
              .arg(qMax(timeoutSeconds, 1)),
          FailureKind::ConnectionLost);
}

} // namespace quarvex
