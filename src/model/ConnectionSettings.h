#pragma once

#include <QString>

namespace quarvex {

// How much of a session must travel inside TLS, named as SQL Server's own
// tools name it. The values are the window's choice indexes and what the
// settings file keeps.
enum class Encryption {
    Optional = 0,  // whatever the server offers; the login inside TLS whenever it can
    Mandatory = 1, // the whole session, the server's certificate checked
    Strict = 2,    // TDS 8: TLS before anything else, where the driver can
};

// The four connection texts exactly as the user typed them, how long a
// server may stay silent, and how the connection is protected.
struct ConnectionSettings {
    QString server;
    QString database;
    QString userId;
    QString password;
    // Seconds a statement waits for the server's next answer, while it runs
    // and while its rows arrive; 0 waits for ever.
    int queryTimeoutSeconds = 600;
    Encryption encryption = Encryption::Optional;
    // Skip the check of the server's certificate (a self-signed server).
    bool trustServerCertificate = false;
    // A PEM file of the authority that signed the server's certificate;
    // empty: the system's trusted authorities.
    QString caFile{};
    // The name the certificate must carry; empty: the server's host name.
    QString hostNameInCertificate{};

    // An empty user ID, or one of blanks only, means the platform's
    // integrated login instead of a SQL Server login.
    bool integratedSecurity() const { return userId.trimmed().isEmpty(); }
};

} // namespace quarvex
