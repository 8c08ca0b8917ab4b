#include "db/InstanceLookup.h"

#include "base/ProcedureError.h"

#include <QDeadlineTimer>
#include <QList>
#include <QStringList>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quarvex {

namespace {

// A datagram socket per address of the host, closed when it goes.
class BrowserSockets {
public:
    BrowserSockets(const QString& host, int port) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int status = getaddrinfo(host.toUtf8().constData(),
                                       QByteArray::number(port).constData(), &hints, &found);
        if (status != 0)
            raise(QString::fromLocal8Bit(gai_strerror(status)) + QLatin1String(": ") + host);
        for (const addrinfo* address = found; address; address = address->ai_next) {
            const int socket = ::socket(address->ai_family, address->ai_socktype, 0);
            if (socket < 0)
                continue;
            m_sockets.append(socket);
            m_addresses.append(QByteArray(reinterpret_cast<const char*>(address->ai_addr),
                                          qsizetype(address->ai_addrlen)));
        }
        freeaddrinfo(found);
    }
    ~BrowserSockets() {
        for (const int socket : m_sockets)
            ::close(socket);
    }
    BrowserSockets(const BrowserSockets&) = delete;
    BrowserSockets& operator=(const BrowserSockets&) = delete;

    void sendToAll(const QByteArray& request) const {
        for (int i = 0; i < m_sockets.size(); ++i)
            sendto(m_sockets[i], request.constData(), size_t(request.size()), 0,
                   reinterpret_cast<const sockaddr*>(m_addresses[i].constData()),
                   socklen_t(m_addresses[i].size()));
    }

    // The first datagram to arrive on any socket within the time; empty when
    // none did.
    QByteArray receive(int milliseconds) const {
        QList<pollfd> polled;
        for (const int socket : m_sockets)
            polled.append(pollfd{socket, POLLIN, 0});
        if (poll(polled.data(), nfds_t(polled.size()), milliseconds) <= 0)
            return {};
        for (const pollfd& entry : polled) {
            if (!(entry.revents & POLLIN))
                continue;
            QByteArray buffer(65535, '\0');
            const ssize_t length = recv(entry.fd, buffer.data(), size_t(buffer.size()), 0);
            if (length > 0)
                return buffer.left(length);
        }
        return {};
    }

private:
    QList<int> m_sockets;
    QList<QByteArray> m_addresses;
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
    const BrowserSockets sockets(named.host, browserPort);
    // CLNT_UCAST_INST: 0x04, then the instance's name ending in a zero byte.
    const QByteArray request = QByteArray(1, '\x04') + named.instance.toLocal8Bit() + '\0';
    const QDeadlineTimer deadline(qint64(qMax(timeoutSeconds, 1)) * 1000);
    // A datagram may be lost: asked again every second until the time is up.
    while (!deadline.hasExpired()) {
        sockets.sendToAll(request);
        const QDeadlineTimer retry(1000);
        while (!retry.hasExpired() && !deadline.hasExpired()) {
            const qint64 wait = qMin(retry.remainingTime(), deadline.remainingTime());
            if (const auto port = tcpPortOf(sockets.receive(int(wait))))
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
