#include "standin/tds/RpcRequest.h"

#include <QHash>
#include <QString>

namespace quarvex::standin {

namespace {

// Reads an RPC request's little-endian fields. A read that would leave the
// payload, forwards or backwards, reads nothing: it gives 0 or nothing and
// marks the request broken, and every read after it does the same.
class RpcReader {
public:
    explicit RpcReader(const QByteArray& payload)
        : m_payload(payload) {}

    bool atEnd() const { return m_broken || m_at >= m_payload.size(); }
    bool broken() const { return m_broken; }
    void skip(qint64 n) { take(n); }
    int u8() { return take(1) ? quint8(m_payload[m_at - 1]) : 0; }
    int u16() {
        if (!take(2))
            return 0;
        return quint8(m_payload[m_at - 2]) | quint8(m_payload[m_at - 1]) << 8;
    }
    quint32 u32() {
        const quint32 v = quint32(u16());
        return v | quint32(u16()) << 16;
    }
    // UTF-16 text of length code units.
    QString text(qint64 length) {
        if (!take(2 * length))
            return {};
        return QString::fromUtf16(
            reinterpret_cast<const char16_t*>(m_payload.constData() + m_at - 2 * length), length);
    }
    QByteArray bytes(qint64 length) {
        if (!take(length))
            return {};
        return m_payload.mid(m_at - length, length);
    }

private:
    // Moves past n bytes when they are all inside the payload.
    bool take(qint64 n) {
        if (m_broken || n < 0 || n > m_payload.size() - m_at) {
            m_broken = true;
            return false;
        }
        m_at += n;
        return true;
    }

    const QByteArray& m_payload;
    qint64 m_at = 0;
    bool m_broken = false;
};

int readProcedure(RpcReader& r) {
    const int nameLength = r.u16();
    if (nameLength == 0xFFFF)
        return r.u16();
    static const QHash<QString, int> ids = {{"sp_executesql", 10},
                                            {"sp_prepare", 11},
                                            {"sp_execute", 12},
                                            {"sp_prepexec", 13},
                                            {"sp_unprepare", 15}};
    return ids.value(r.text(nameLength).toLower(), 0);
}

// NTEXT and TEXT: a text pointer and a timestamp before the length.
QVariant readLongText(RpcReader& r, bool unicode) {
    r.u32();
    r.skip(5);
    const quint32 length = r.u32();
    if (length == 0xFFFFFFFFu)
        return QVariant();
    const QByteArray bytes = r.bytes(length);
    return unicode ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()),
                                        bytes.size() / 2)
                   : QString::fromLatin1(bytes);
}

// One parameter's value appended; false for a type not read.
bool readParameter(RpcReader& r, QVariantList& values) {
    r.skip(2 * r.u8()); // parameter name
    r.u8();             // status
    const int type = r.u8();
    switch (type) {
    case 0x26: { // INTN
        r.u8();
        const int length = r.u8();
        qint64 v = 0;
        for (int k = 0; k < length; ++k)
            v |= qint64(r.u8()) << (8 * k);
        values.append(length ? QVariant(v) : QVariant());
        return true;
    }
    case 0x38: // INT4
        values.append(qint64(qint32(r.u32())));
        return true;
    case 0x63: // NTEXT
    case 0x23: // TEXT
        values.append(readLongText(r, type == 0x63));
        return true;
    case 0xE7:   // NVARCHAR
    case 0xEF: { // NCHAR
        const int max = r.u16();
        r.skip(5);
        if (max == 0xFFFF)
            return false; // PLP values are not read
        const int length = r.u16();
        if (length == 0xFFFF) {
            values.append(QVariant());
            return true;
        }
        values.append(r.text(length / 2));
        r.skip(length % 2);
        return true;
    }
    }
    return false;
}

} // namespace

RpcRequest readRpc(const QByteArray& payload, bool tds72) {
    RpcReader r(payload);
    // The headers' total length counts its own four bytes.
    if (tds72)
        r.skip(qint64(r.u32()) - 4);
    RpcRequest request;
    request.procedure = readProcedure(r);
    r.u16(); // option flags
    while (!r.atEnd() && request.readable)
        request.readable = readParameter(r, request.values);
    if (r.broken()) {
        request.readable = false;
        request.values.clear();
    }
    return request;
}

} // namespace quarvex::standin
