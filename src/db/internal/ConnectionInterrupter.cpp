#include "db/internal/ConnectionInterrupter.h"

#include "db/internal/OdbcDiagnostics.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>

namespace quarvex {

namespace {

bool isTcpSocket(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage address{};
    socklen_t addressLength = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0)
        return false;
    return address.ss_family == AF_INET || address.ss_family == AF_INET6;
}

std::set<int> tcpSockets() {
    std::set<int> sockets;
    DIR* folder = opendir("/proc/self/fd");
    if (!folder)
        return sockets;
    while (const dirent* entry = readdir(folder)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd != dirfd(folder) && isTcpSocket(int(fd)))
            sockets.insert(int(fd));
    }
    closedir(folder);
    return sockets;
}

std::set<int> added(const std::set<int>& before, const std::set<int>& now) {
    std::set<int> result;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::inserter(result, result.end()));
    return result;
}

} // namespace

void ConnectionInterrupter::beginConnect() {
    const std::lock_guard lock(m_socketsMutex);
    m_before = tcpSockets();
    m_connecting = true;
}

void ConnectionInterrupter::endConnect() {
    const std::lock_guard lock(m_socketsMutex);
    m_sockets = added(m_before, tcpSockets());
    m_connecting = false;
}

void ConnectionInterrupter::forgetSockets() {
    const std::lock_guard lock(m_socketsMutex);
    m_sockets.clear();
    m_connecting = false;
}

void ConnectionInterrupter::attach(void* statement) {
    const std::lock_guard lock(m_statementsMutex);
    m_statements.push_back(statement);
}

void ConnectionInterrupter::detach(void* statement) {
    const std::lock_guard lock(m_statementsMutex);
    std::erase(m_statements, statement);
}

// Held while the driver cancels, so that no statement is freed under it.
void ConnectionInterrupter::cancelStatements() {
    const std::lock_guard lock(m_statementsMutex);
    for (void* statement : m_statements)
        SQLCancel(statement);
}

// Shutting a socket down, unlike closing it, leaves the descriptor to its
// owner: the driver's next read sees the end and fails the call.
void ConnectionInterrupter::breakOff() {
    const std::lock_guard lock(m_socketsMutex);
    const std::set<int> sockets = m_connecting ? added(m_before, tcpSockets()) : m_sockets;
    for (const int fd : sockets)
        shutdown(fd, SHUT_RDWR);
}

} // namespace quarvex
