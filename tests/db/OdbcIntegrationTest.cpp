#include "db/ExactNumber.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "base/ProcedureError.h"
#include "support/StandIn.h"

#include <QRegularExpression>
#include <QTest>

using namespace quarvex;

namespace {

ConnectionSettings settingsFor(const test::StandIn& server, const QString& user = "sa",
                               const QString& password = "pw") {
    return {server.serverText(), "Northwind", user, password};
}

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
        OpenConnection(*m_connection, settingsFor(*m_server));
    }

    void cleanupTestCase() {
        m_connection.reset();
        m_server.reset();
    }

    void versionOfEachGeneration_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<bool>("is2005Plus");
        QTest::newRow("2000") << "8.00.2039"
                              << "08.00.2039" << false;
        QTest::newRow("2005") << "9.00.1399"
                              << "09.00.1399" << true;
        QTest::newRow("current") << "16.00.4135"
                                 << "16.00.4135" << true;
    }

    void versionOfEachGeneration() {
        QFETCH(QString, version);
        QFETCH(QString, reported);
        QFETCH(bool, is2005Plus);
        test::StandIn server({.sample = false, .version = version});
        OdbcConnection connection;
        OpenConnection(connection, settingsFor(server));
        QCOMPARE(connection.dbmsVersion(), reported);
        QCOMPARE(IsSQL2005Plus(connection), is2005Plus);
    }

    void loginChecks_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("failure"); // empty: logs in
        const QString awkward = "p;w}d={x}";
        QTest::newRow("awkward password reaches the server whole")
            << "loader" << awkward << "Northwind"
            << "";
        QTest::newRow("wrong password") << "loader"
                                        << "p;w"
                                        << "Northwind"
                                        << "Login failed for user 'loader'.";
        QTest::newRow("password that would spill into another keyword")
            << "loader"
            << "x;UID=loader;PWD=" + awkward << "Northwind"
            << "Login failed for user 'loader'.";
        QTest::newRow("unknown database") << "loader" << awkward << "Nowhere"
                                          << "Cannot open database \"Nowhere\"";
    }

    void loginChecks() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, failure);
        test::StandIn server({.sample = false, .login = "loader", .password = "p;w}d={x}"});
        const QString outcome = failureOpening({server.serverText(), database, user, password});
        if (failure.isEmpty()) {
            QCOMPARE(outcome, QStringLiteral("<opened>"));
        } else {
            QVERIFY2(outcome.startsWith("OpenConnection: "), qPrintable(outcome));
            QVERIFY2(outcome.contains(failure), qPrintable(outcome));
        }
    }

    void closedPortFailsToOpen() {
        const QString outcome = failureOpening({"127.0.0.1,1", "Northwind", "sa", "pw"});
        QVERIFY2(outcome.startsWith("OpenConnection: "), qPrintable(outcome));
    }

    // Every value must come out exactly as stored: no digit, character or
    // byte lost on the way through the driver.
    void valuesArriveExactly_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QVariant>("expected");

        const auto exact = [](const char* text) { return QVariant::fromValue(ExactNumber{text}); };
        QTest::newRow("negative decimal") << "decimal(12,2)"
                                          << "-1234567.89" << exact("-1234567.89");
        QTest::newRow("decimal(38,10)") << "decimal(38,10)"
                                        << "-1234567890123456789012345678.0123456789"
                                        << exact("-1234567890123456789012345678.0123456789");
        QTest::newRow("numeric") << "numeric(5,0)"
                                 << "-99999" << exact("-99999");
        QTest::newRow("money with four decimals")
            << "money"
            << "-922337203685477.5808" << exact("-922337203685477.5808");
        QTest::newRow("smallmoney") << "smallmoney"
                                    << "-214748.3648" << exact("-214748.3648");
        QTest::newRow("float with 17 digits")
            << "float"
            << "0.30000000000000004" << QVariant(0.30000000000000004);
        QTest::newRow("largest float")
            << "float"
            << "1.7976931348623157E308" << QVariant(1.7976931348623157E308);
        QTest::newRow("numeric keeps its scale") << "numeric(9,2)"
                                                 << "12.3" << exact("12.30");
        QTest::newRow("real") << "real"
                              << "10.0000105" << QVariant(10.0000105f);
        QTest::newRow("bigint") << "bigint"
                                << "-9223372036854775808"
                                << QVariant(qint64(-9223372036854775807LL - 1));
        QTest::newRow("tinyint") << "tinyint"
                                 << "255" << QVariant(qint64(255));
        QTest::newRow("bit") << "bit"
                             << "1" << QVariant(true);
        QTest::newRow("nvarchar non-latin")
            << "nvarchar(40)"
            << "N'Ωμέγα 日本 \U0001F600'" << QVariant(QString("Ωμέγα 日本 \U0001F600"));
        QTest::newRow("varchar accent") << "varchar(20)"
                                        << "'é'" << QVariant(QString("é"));
        QTest::newRow("char longer in utf-8 than its length")
            << "char(10)"
            << "'café é€'" << QVariant(QString("café é€   "));
        QTest::newRow("nchar padded") << "nchar(3)"
                                      << "N'ä'" << QVariant(QString("ä  "));
        QTest::newRow("ntext") << "ntext"
                               << "N'ñ Ω'" << QVariant(QString("ñ Ω"));
        QTest::newRow("sysname") << "sysname"
                                 << "N'dbo'" << QVariant(QString("dbo"));
        QTest::newRow("line breaks") << "varchar(40)"
                                     << "'a'+char(13)+char(10)+'b'" << QVariant(QString("a\r\nb"));
        QTest::newRow("empty text is not null") << "varchar(5)"
                                                << "''" << QVariant(QString(""));
        QTest::newRow("null") << "varchar(5)"
                              << "null" << QVariant();
        QTest::newRow("text of 100 000 characters")
            << "text"
            << "'" + QString(100000, u'a') + "'" << QVariant(QString(100000, u'a'));
        QTest::newRow("datetime .997")
            << "datetime"
            << "'2008-12-10 14:05:09.997'"
            << QVariant(QDateTime(QDate(2008, 12, 10), QTime(14, 5, 9, 997), Qt::UTC));
        QTest::newRow("midnight") << "datetime"
                                  << "'2008-12-10 00:00:00.000'"
                                  << QVariant(QDateTime(QDate(2008, 12, 10), QTime(0, 0), Qt::UTC));
        QTest::newRow("smalldatetime rounds to the minute")
            << "smalldatetime"
            << "'2008-12-10 14:05:30'"
            << QVariant(QDateTime(QDate(2008, 12, 10), QTime(14, 6), Qt::UTC));
        QTest::newRow("binary padded") << "binary(3)"
                                       << "0x01" << QVariant(QByteArray("\x01\x00\x00", 3));
        QTest::newRow("null binary") << "varbinary(5)"
                                     << "null" << QVariant();
        QTest::newRow("empty binary") << "varbinary(10)"
                                      << "0x" << QVariant(QByteArray(""));
        QTest::newRow("bytes") << "varbinary(10)"
                               << "0x0AFF00" << QVariant(QByteArray("\x0A\xFF\x00", 3));
        QTest::newRow("guid") << "uniqueidentifier"
                              << "'6F9619FF-8B86-D011-B42D-00C04FC964FF'"
                              << QVariant(QString("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
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

    void longBinaryArrivesWhole() {
        m_connection->execute("create table img (v image null)");
        m_connection->execute("insert into img (v) values (0x" + QByteArray(70000, 'A').toHex() +
                              ")");
        RecordSet records(*m_connection, "select v from img");
        QCOMPARE(records.value(0).toByteArray(), QByteArray(70000, 'A'));
    }

    void serverErrorsCarryTheirText() {
        const auto failure = failureOf([&] { RecordSet(*m_connection, "select x from nowhere"); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.contains("[SQL Server]Invalid object name 'nowhere'."),
                 qPrintable(failure->description));
    }
};

QTEST_GUILESS_MAIN(OdbcIntegrationTest)
#include "OdbcIntegrationTest.moc"
