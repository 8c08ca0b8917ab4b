#pragma once

#include <QByteArray>
#include <QString>

namespace quarvex::standin {

// Little-endian building blocks of TDS messages.
class TdsWriter {
public:
    void u8(int v) { m_bytes.append(char(v & 0xFF)); }
    void u16(int v) {
        u8(v);
        u8(v >> 8);
    }
    void u16be(int v) {
        u8(v >> 8);
        u8(v);
    }
    void u32(quint32 v) {
        u16(int(v & 0xFFFF));
        u16(int(v >> 16));
    }
    void u64(quint64 v) {
        u32(quint32(v & 0xFFFFFFFFu));
        u32(quint32(v >> 32));
    }
    void bytes(const QByteArray& b) { m_bytes.append(b); }
    void ucs2(const QString& s) {
        m_bytes.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    }
    // Text with a one-byte (B_VARCHAR) or two-byte (US_VARCHAR) length in characters.
    void bVarchar(const QString& s) {
        u8(int(s.size()));
        ucs2(s);
    }
    void usVarchar(const QString& s) {
        u16(int(s.size()));
        ucs2(s);
    }
    int size() const { return int(m_bytes.size()); }
    const QByteArray& data() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

} // namespace quarvex::standin
