#pragma once

#include <QString>

namespace quarvex {

// The four connection texts exactly as the user typed them.
struct ConnectionSettings {
    QString server;
    QString database;
    QString userId;
    QString password;

    // An empty user ID, or one of blanks only, means the platform's
    // integrated login instead of a SQL Server login.
    bool integratedSecurity() const { return userId.trimmed().isEmpty(); }
};

} // namespace quarvex
