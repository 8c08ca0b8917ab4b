#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace quarvex::standin {

// Records every SQL batch received, so that tests can see exactly what a
// client sent, and the type of the first packet of every connection, so that
// they can see how a client tried to log in, and whether each login arrived
// inside TLS. Each record is a line
// "@@<kind> <spid> <bytes>", then the text in UTF-8, then a line break.
class BatchLog {
public:
    explicit BatchLog(const QString& path);
    void record(int spid, const QString& batch) { write("batch", spid, batch); }
    void recordOpening(int spid, int packetType) {
        write("opening", spid, QString::number(packetType));
    }

    // Whether the login packet of a connection arrived inside TLS.
    void recordLogin(int spid, bool insideTls) {
        write("login", spid, insideTls ? QStringLiteral("tls") : QStringLiteral("clear"));
    }

    // The texts of one kind of record, in the order received.
    static QStringList read(const QString& path, const QByteArray& kind = "batch");

private:
    void write(const char* kind, int spid, const QString& text);

    QFile m_file;
};

} // namespace quarvex::standin
