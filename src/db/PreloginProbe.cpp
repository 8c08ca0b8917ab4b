#include "db/PreloginProbe.h"

#include "db/internal/Socket.h"

#include <QRegularExpression>

namespace quarvex {

namespace {

// A PRELOGIN packet with VERSION and ENCRYPTION (asking for TLS), as every
// client opens with.
QByteArray preloginRequest() {
    // VERSION at 11 (6 bytes), ENCRYPTION at 17 (1 byte), the end of the
    // options, version 0.0.0.0 with sub-build 0, then ENCRYPT_ON.
    const QByteArray payload = QByteArray::fromHex("00000B0006"
                                                   "0100110001"
                                                   "FF"
                                                   "000000000000"
                                                   "01");
    QByteArray packet(8, '\0');
    packet[0] = 0x12;
    packet[1] = 0x01; // the whole message
    packet[3] = char(8 + payload.size());
    packet[6] = 0x01;
    return packet + payload;
}

// The server's ENCRYPTION option, -1 when the answer has none.
int encryptionOption(const QByteArray& payload) {
    for (int at = 0; at + 5 <= payload.size() && quint8(payload[at]) != 0xFF; at += 5) {
        const int offset = quint8(payload[at + 1]) << 8 | quint8(payload[at + 2]);
        const int length = quint8(payload[at + 3]) << 8 | quint8(payload[at + 4]);
        if (payload[at] == 0x01 && length >= 1 && offset < payload.size())
            return quint8(payload[offset]);
    }
    return -1;
}

} // namespace

std::optional<bool> serverOffersTls(const QString& serverText, int timeoutSeconds) {
    static const QRegularExpression form(QStringLiteral(R"(^\s*([^,\\]*?)\s*(?:,\s*(\d+)\s*)?$)"));
    const auto match = form.match(serverText);
    if (!match.hasMatch())
        return std::nullopt;
    const int port = match.captured(2).isEmpty() ? 1433 : match.captured(2).toInt();
    const qint64 wait = qint64(qMax(timeoutSeconds, 1)) * 1000;
    std::optional<Socket> socket = connectTcp(match.captured(1), port, QDeadlineTimer(wait));
    if (!socket || !socket->sendAll(preloginRequest(), QDeadlineTimer(wait)))
        return std::nullopt;
    QByteArray answer;
    // Each part of the answer is given the whole time again.
    while (answer.size() < 8 || answer.size() < (quint8(answer[2]) << 8 | quint8(answer[3]))) {
        const QByteArray part = receiveFromAny({&*socket}, QDeadlineTimer(wait));
        if (part.isEmpty())
            return std::nullopt;
        answer += part;
    }
    const int encryption = encryptionOption(answer.mid(8));
    if (encryption < 0)
        return std::nullopt;
    return encryption != 0x02; // ENCRYPT_NOT_SUP
}

} // namespace quarvex
