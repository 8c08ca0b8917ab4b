#pragma once

#include <mutex>
#include <set>
#include <vector>

namespace quarvex {

// What a cancel from another thread reaches on one connection: the driver's
// cancel for the statements that run on it, and, for a server that does not
// answer that cancel (one that went silent), the connection's sockets, shut
// down so that the waiting read ends at once. Shared with the cancel hooks,
// which may still run after the connection has gone.
class ConnectionInterrupter {
public:
    // Around the driver's connect: the TCP sockets that appear meanwhile
    // are the connection's. The program opens one connection at a time.
    void beginConnect();
    void endConnect();
    // Before the driver closes the sockets, which may then be reused.
    void forgetSockets();

    void attach(void* statement);
    void detach(void* statement);

    void cancelStatements();
    void breakOff();

private:
    std::mutex m_statementsMutex;
    std::vector<void*> m_statements;
    // Apart from the statements: a driver's cancel may wait on the call it
    // interrupts, and breaking off must not wait behind it.
    std::mutex m_socketsMutex;
    bool m_connecting = false;
    std::set<int> m_before;
    std::set<int> m_sockets;
};

} // namespace quarvex
