#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <optional>

namespace quarvex {

// One address of a host, as getaddrinfo gives it.
struct SocketAddress {
    int family = 0;
    int type = 0;
    QByteArray address; // a sockaddr of its family
};

// The addresses of host (a name, an IPv4 address, or an IPv6 address with or
// without brackets) for port and a socket type (SOCK_STREAM, SOCK_DGRAM).
// Raises the resolver's reason + ": " + host when there are none.
QList<SocketAddress> resolveHost(const QString& host, int port, int socketType);

// A socket, closed when it goes. The calls never block beyond the time
// they are given.
class Socket {
public:
    // A socket for the address's family and type; an invalid one when the
    // system refuses.
    explicit Socket(const SocketAddress& address);
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool isValid() const { return m_descriptor >= 0; }
    int descriptor() const { return m_descriptor; }

    // Connects a stream socket before the deadline; false when the address
    // refuses or does not answer in time.
    bool connectTo(const SocketAddress& address, QDeadlineTimer deadline);
    // Sends the whole of data (to the address, for a datagram socket);
    // false when the socket fails or the deadline passes first.
    bool sendAll(const QByteArray& data, QDeadlineTimer deadline);
    void sendTo(const SocketAddress& address, const QByteArray& datagram);

private:
    int m_descriptor = -1;
};

// A TCP connection to host and port before the deadline, each address tried
// in turn; nothing when the host cannot be resolved or none answers.
std::optional<Socket> connectTcp(const QString& host, int port, QDeadlineTimer deadline);

// What arrives on the first of the sockets to become readable before the
// deadline (at most one read); empty when none does or the peer has closed.
QByteArray receiveFromAny(const QList<const Socket*>& sockets, QDeadlineTimer deadline);

} // namespace quarvex
