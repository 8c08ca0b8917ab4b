#include "db/internal/Socket.h"

#include "base/ProcedureError.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace quarvex {

namespace {

// poll's time-out for what is left of the deadline; -1 waits for ever.
int pollTimeout(QDeadlineTimer deadline) {
    if (deadline.isForever())
        return -1;
    return int(qMax<qint64>(deadline.remainingTime(), 0));
}

bool waitFor(int descriptor, short events, QDeadlineTimer deadline) {
    pollfd entry{descriptor, events, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, pollTimeout(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & events);
}

const sockaddr* socketAddress(const SocketAddress& address) {
    return reinterpret_cast<const sockaddr*>(address.address.constData());
}

} // namespace

QList<SocketAddress> resolveHost(const QString& host, int port, int socketType) {
    QString name = host;
    if (name.size() > 2 && name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    addrinfo hints{};
    hints.ai_socktype = socketType;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(name.toUtf8().constData(), QByteArray::number(port).constData(),
                                   &hints, &found);
    if (status != 0)
        raise(QString::fromLocal8Bit(gai_strerror(status)) + QLatin1String(": ") + host);
    QList<SocketAddress> addresses;
    for (const addrinfo* address = found; address; address = address->ai_next)
        addresses.append({address->ai_family, address->ai_socktype,
                          QByteArray(reinterpret_cast<const char*>(address->ai_addr),
                                     qsizetype(address->ai_addrlen))});
    freeaddrinfo(found);
    return addresses;
}

Socket::Socket(const SocketAddress& address)
    : m_descriptor(::socket(address.family, address.type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}

Socket::~Socket() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

Socket::Socket(Socket&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    std::swap(m_descriptor, other.m_descriptor);
    return *this;
}

bool Socket::connectTo(const SocketAddress& address, QDeadlineTimer deadline) {
    if (::connect(m_descriptor, socketAddress(address), socklen_t(address.address.size())) == 0)
        return true;
    if (errno != EINPROGRESS || !waitFor(m_descriptor, POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(m_descriptor, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool Socket::sendAll(const QByteArray& data, QDeadlineTimer deadline) {
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t written =
            ::send(m_descriptor, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (written > 0)
            sent += written;
        else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        else if (!waitFor(m_descriptor, POLLOUT, deadline))
            return false;
    }
    return true;
}

void Socket::sendTo(const SocketAddress& address, const QByteArray& datagram) {
    // A datagram lost here is as good as one lost on the way; the caller asks again.
    ::sendto(m_descriptor, datagram.constData(), size_t(datagram.size()), 0, socketAddress(address),
             socklen_t(address.address.size()));
}

std::optional<Socket> connectTcp(const QString& host, int port, QDeadlineTimer deadline) {
    QList<SocketAddress> found;
    if (failureOf([&] { found = resolveHost(host, port, SOCK_STREAM); }))
        return std::nullopt;
    for (const SocketAddress& address : found) {
        Socket socket(address);
        if (socket.isValid() && socket.connectTo(address, deadline))
            return socket;
        if (deadline.hasExpired())
            break;
    }
    return std::nullopt;
}

QByteArray receiveFromAny(const QList<const Socket*>& sockets, QDeadlineTimer deadline) {
    QList<pollfd> polled;
    for (const Socket* socket : sockets)
        polled.append(pollfd{socket->descriptor(), POLLIN, 0});
    int ready = 0;
    do {
        ready = poll(polled.data(), nfds_t(polled.size()), pollTimeout(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return {};
    for (const pollfd& entry : polled) {
        if (!(entry.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        QByteArray buffer(65535, '\0');
        const ssize_t length = ::recv(entry.fd, buffer.data(), size_t(buffer.size()), 0);
        if (length > 0)
            return buffer.left(length);
    }
    return {};
}

} // namespace quarvex
