#include "standin/tds/TdsLogin.h"

#include "standin/tds/TdsWriter.h"

#include <QStringList>

namespace quarvex::standin {

namespace {

quint32 readU32(const QByteArray& b, int at) {
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

int readU16(const QByteArray& b, int at) {
    return quint8(b[at]) | quint8(b[at + 1]) << 8;
}

} // namespace

QByteArray preloginReply(const QString& version, PreloginEncryption encryption) {
    const QStringList parts = version.split(u'.');
    const int major = parts.value(0).toInt();
    const int minor = parts.value(1).toInt();
    const int build = parts.value(2).toInt();
    // Options: VERSION (6 bytes), ENCRYPTION (1), INSTOPT (1), THREADID (0), MARS (1).
    struct Option {
        int token;
        int length;
    };
    const Option options[] = {{0, 6}, {1, 1}, {2, 1}, {3, 0}, {4, 1}};
    TdsWriter w;
    int offset = 5 * 5 + 1;
    for (const Option& o : options) {
        w.u8(o.token);
        w.u16be(offset);
        w.u16be(o.length);
        offset += o.length;
    }
    w.u8(0xFF);
    w.u8(major);
    w.u8(minor);
    w.u16be(build);
    w.u16(0);
    w.u8(encryption);
    w.u8(0); // instance name accepted
    w.u8(0); // no MARS
    return w.data();
}

PreloginEncryption clientEncryption(const QByteArray& prelogin) {
    // Option headers: token, offset and length (big-endian), until 0xFF.
    for (int at = 0; at + 5 <= prelogin.size() && quint8(prelogin[at]) != 0xFF; at += 5) {
        const int offset = quint8(prelogin[at + 1]) << 8 | quint8(prelogin[at + 2]);
        const int length = quint8(prelogin[at + 3]) << 8 | quint8(prelogin[at + 4]);
        if (prelogin[at] == 0x01 && length >= 1 && offset < prelogin.size())
            return PreloginEncryption(quint8(prelogin[offset]) & 0x03);
    }
    return EncryptNotSup;
}

std::optional<LoginRequest> parseLogin7(const QByteArray& p) {
    if (p.size() < 86)
        return std::nullopt;
    LoginRequest request;
    request.tdsVersion = readU32(p, 4);
    request.packetSize = int(readU32(p, 8));
    auto text = [&](int at) -> QString {
        const int offset = readU16(p, at);
        const int length = readU16(p, at + 2);
        if (offset + 2 * length > p.size())
            return {};
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(p.constData() + offset),
                                  length);
    };
    request.hostName = text(36);
    request.userName = text(40);
    {
        const int offset = readU16(p, 44);
        const int length = readU16(p, 46);
        QByteArray bytes = p.mid(offset, 2 * length);
        for (char& c : bytes) {
            const quint8 x = quint8(c) ^ 0xA5;
            c = char(((x & 0x0F) << 4) | (x >> 4));
        }
        request.password =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), length);
    }
    request.appName = text(48);
    request.serverName = text(52);
    request.language = text(64);
    request.database = text(68);
    return request;
}

} // namespace quarvex::standin
