#pragma once

#include <QString>

namespace quarvex {

// The four connection texts exactly as the user typed them, and how long a
// server may stay silent.
struct ConnectionSettings {
    QString server;
    QString database;
    QString userId;
    QString password;
    // Seconds a statement waits for the server's next answer, while it runs
    // and while its rows arrive; 0 waits for ever.
    int queryTimeoutSeconds = 600;

    // An empty user ID, or one of blanks only, means the platform's
    // integrated login instead of a SQL Server login.
    bool integratedSecurity() const { return userId.trimmed().isEmpty(); }
};

} // namespace quarvex
