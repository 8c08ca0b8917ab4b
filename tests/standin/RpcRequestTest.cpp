// The stand-in's reader of remote procedure calls, fed packets whose lengths
// lie: it must refuse them instead of reading outside the packet.

#include "standin/tds/RpcRequest.h"

#include <QTest>
#include <QtEndian>

using namespace quarvex::standin;

namespace {

QByteArray u16(quint16 value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray u32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray utf16(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// ALL_HEADERS with one transaction descriptor header, 22 bytes in all.
QByteArray headers(quint32 totalLength = 22) {
    return u32(totalLength) + u32(18) + u16(2) + QByteArray(8, '\0') + u32(1);
}

// sp_executesql by its id, then one NVARCHAR parameter whose length field
// says length bytes while the packet holds the text's.
QByteArray executeSql(const QString& sql, int length = -1) {
    const QByteArray text = utf16(sql);
    return u16(0xFFFF) + u16(10) + u16(0) + '\0' + '\0' + char(0xE7) + u16(8000) +
           QByteArray(5, '\0') + u16(quint16(length < 0 ? text.size() : length)) + text;
}

} // namespace

class RpcRequestTest : public QObject {
    Q_OBJECT

private slots:
    void liesAboutLengthsAreRefused_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("readable");
        QTest::newRow("whole request") << headers() + executeSql("select 1") << true;
        QTest::newRow("header length below its own four bytes")
            << headers(0) + executeSql("select 1") << false;
        QTest::newRow("header length negative as a signed number")
            << headers(0xFFFFFFF0u) + executeSql("select 1") << false;
        QTest::newRow("header length past the packet") << headers(4000) << false;
        QTest::newRow("procedure name longer than its packet")
            << headers() + u16(300) + utf16("sp_") << false;
        QTest::newRow("value longer than its packet")
            << headers() + executeSql("select 1", 4000) << false;
    }

    void liesAboutLengthsAreRefused() {
        QFETCH(QByteArray, payload);
        QFETCH(bool, readable);
        const RpcRequest request = readRpc(payload, true);
        QCOMPARE(request.readable, readable);
        QCOMPARE(request.values,
                 readable ? QVariantList{QStringLiteral("select 1")} : QVariantList{});
    }
};

QTEST_GUILESS_MAIN(RpcRequestTest)
#include "RpcRequestTest.moc"
