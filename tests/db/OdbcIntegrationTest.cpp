#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "support/StandIn.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

QString failureOpening(const ConnectionSettings& settings) {
    OdbcConnection connection;
    return failureOf([&] { OpenConnection(connection, settings); })
        .value_or(Failure{"<opened>"})
        .description;
}

} // namespace

class OdbcIntegrationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::StandIn> m_server;
    std::unique_ptr<OdbcConnection> m_connection;

private slots:
    void initTestCase() {
        m_server = std::make_unique<test::StandIn>(test::StandInOptions{.sample = false});
        QVERIFY(m_server->isRunning());
        m_connection = std::make_unique<OdbcConnection>();
        OpenConnection(*m_connection, m_server->login());
    }

    void cleanupTestCase() {
        m_connection.reset();
        m_server.reset();
    }

    void loginChecks_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("failure"); // empty: logs in
        const QString awkward = "p;w}d={x}";
        QTest::newRow("awkward password reaches the server whole") << awkward << "Northwind"
                                                                   << "";
        QTest::newRow("password that would spill into another keyword")
            << "x;UID=loader;PWD=" + awkward << "Northwind"
            << "Login failed for user 'loader'.";
        QTest::newRow("unknown database") << awkward << "Nowhere"
                                          << "Cannot open database \"Nowhere\"";
    }

    void loginChecks() {
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, failure);
        test::StandIn server({.sample = false, .login = "loader", .password = "p;w}d={x}"});
        const QString outcome = failureOpening({server.serverText(), database, "loader", password});
        if (failure.isEmpty()) {
            QCOMPARE(outcome, QStringLiteral("<opened>"));
        } else {
            QVERIFY2(outcome.startsWith("OpenConnection: "), qPrintable(outcome));
            QVERIFY2(outcome.contains(failure), qPrintable(outcome));
        }
    }

    // Server texts as users type them. A failure names the text as typed,
    // and an instance that nobody answers for fails within the login
    // time-out (FreeTDS's own lookup would take 16 seconds).
    void serverTexts_data() {
        QTest::addColumn<QString>("server");  // %1: the stand-in's port
        QTest::addColumn<QString>("failure"); // empty: logs in
        QTest::newRow("IPv6 loopback in brackets, with the port") << "[::1],%1"
                                                                  << "";
        QTest::newRow("the same with blanks around") << " [::1] , %1 "
                                                     << "";
        QTest::newRow("closed port") << "127.0.0.1,1"
                                     << "Unable to connect";
        QTest::newRow("instance nobody answers for") << "127.0.0.1\\NOSUCH"
                                                     << "named a TCP port for instance NOSUCH";
    }

    void serverTexts() {
        QFETCH(QString, server);
        QFETCH(QString, failure);
        const QString text = server.contains("%1") ? server.arg(m_server->port()) : server;
        QElapsedTimer timer;
        timer.start();
        const QString outcome = failureOpening({text, "Northwind", "sa", "pw"});
        if (failure.isEmpty()) {
            QCOMPARE(outcome, QStringLiteral("<opened>"));
            return;
        }
        QVERIFY2(outcome.startsWith("OpenConnection: ") && outcome.contains(failure) &&
                     outcome.endsWith("\r\n\r\n[" + text + "]"),
                 qPrintable(outcome));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // Every value must come out exactly as stored. The limits of the common
    // types go through the round trip (tests/scripting/RoundTripTest).
    void valuesArriveExactly_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char* name, const char* type, const QString& literal,
                            const QVariant& expected) {
            QTest::newRow(name) << type << literal << expected;
        };
        const auto exact = [](const char* text) { return QVariant::fromValue(ExactNumber{text}); };
        const auto at = [](int hour, int minute, int second, int ms) {
            return QVariant(
                QDateTime(QDate(2008, 12, 10), QTime(hour, minute, second, ms), Qt::UTC));
        };
        row("numeric keeps its scale", "numeric(9,2)", "12.3", exact("12.30"));
        row("smallmoney", "smallmoney", "-214748.3648", exact("-214748.3648"));
        row("tinyint", "tinyint", "255", qint64(255));
        // The round trip reads before and after alike, so it misses a digit
        // lost on the way in.
        row("float with all 17 digits", "float", "0.30000000000000004", 0.30000000000000004);
        row("real", "real", "10.0000105", double(10.0000105f));
        row("char longer in utf-8 than its length", "char(10)", "'café é€'", QString("café é€   "));
        row("text of 100 000 characters", "text", "'" + QString(100000, u'a') + "'",
            QString(100000, u'a'));
        row("smalldatetime rounds to the minute", "smalldatetime", "'2008-12-10 14:05:30'",
            at(14, 6, 0, 0));
        row("null binary", "varbinary(5)", "null", QVariant());
        row("bytes", "varbinary(10)", "0x0AFF00", QByteArray("\x0A\xFF\x00", 3));
        row("image of 70 000 bytes", "image", "0x" + QByteArray(70000, 'A').toHex(),
            QByteArray(70000, 'A'));
        row("guid", "uniqueidentifier", "'6F9619FF-8B86-D011-B42D-00C04FC964FF'",
            QString("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    }

    void valuesArriveExactly() {
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(QVariant, expected);
        const QString table =
            QString("v%1").arg(QTest::currentDataTag()).remove(QRegularExpression("\\W"));
        m_connection->execute("create table " + table + " (v " + type + " null)");
        m_connection->execute("insert into " + table + " (v) values (" + literal + ")");
        RecordSet records(*m_connection, "select v from " + table);
        QVERIFY(!records.atEnd());
        const QVariant value = records.value("v");
        if (expected.metaType() == QMetaType::fromType<ExactNumber>())
            QCOMPARE(value.value<ExactNumber>().text, expected.value<ExactNumber>().text);
        else
            QCOMPARE(value, expected);
        records.moveNext();
        QVERIFY(records.atEnd());
    }
};

QTEST_GUILESS_MAIN(OdbcIntegrationTest)
#include "OdbcIntegrationTest.moc"
