#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quarvex::standin {

// TDS message types a client sends and the server's reply type.
enum TdsMessageType {
    TdsSqlBatch = 0x01,
    TdsRpc = 0x03,
    TdsReply = 0x04,
    TdsAttention = 0x06,
    TdsLogin7 = 0x10,
    TdsPrelogin = 0x12,
};

// The ENCRYPTION option of PRELOGIN, from either side.
enum PreloginEncryption {
    EncryptOff = 0x00,    // the login only
    EncryptOn = 0x01,     // the whole session
    EncryptNotSup = 0x02, // no TLS at all
    EncryptReq = 0x03,    // the whole session, or no connection
};

// The PRELOGIN answer: the server's version and its encryption choice.
QByteArray preloginReply(const QString& version, PreloginEncryption encryption);

// The ENCRYPTION option the client sent; EncryptNotSup when it sent none.
PreloginEncryption clientEncryption(const QByteArray& prelogin);

struct LoginRequest {
    quint32 tdsVersion = 0; // as the client sent it, e.g. 0x74000004
    int packetSize = 4096;
    QString hostName;
    QString userName;
    QString password;
    QString appName;
    QString serverName;
    QString language;
    QString database;
};

// Reads a LOGIN7 message; nullopt when it is malformed.
std::optional<LoginRequest> parseLogin7(const QByteArray& payload);

} // namespace quarvex::standin
