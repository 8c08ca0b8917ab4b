#include "base/ProcedureError.h"
#include "db/OdbcConnection.h"
#include "db/ServerConnection.h"
#include "support/ScriptRun.h"
#include "support/StandIn.h"
#include "support/TestCertificates.h"

#include <QTest>

using namespace quarvex;
using namespace quarvex::test;

Q_DECLARE_METATYPE(quarvex::Encryption)

// FreeTDS against the stand-in speaking TLS: which servers each setting
// reaches, how the login travels, and what a refusal says.
class EncryptionIntegrationTest : public QObject {
    Q_OBJECT

    TestCertificates m_certificates;

    StandInOptions serverWith(const QString& certificate, const QString& mode) const {
        StandInOptions options;
        options.sample = true;
        options.encryption = mode;
        if (!certificate.isEmpty()) {
            options.tlsCert = m_certificates.certificate(certificate);
            options.tlsKey = m_certificates.key(certificate);
        }
        return options;
    }

private slots:
    void initTestCase() {
        QVERIFY2(m_certificates.error().isEmpty(), qPrintable(m_certificates.error()));
    }

    // Each server takes the login in clear when it offers no TLS, else in
    // TLS; a refused connection sends nothing. The two TLS servers that
    // rowsAlikeInClearAndInTls reaches are not repeated here.
    void connect_data() {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<Encryption>("encryption");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<bool>("caFile");
        QTest::addColumn<QStringList>("logins");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char* name, const char* certificate, const char* mode,
                            Encryption encryption, bool trust, bool caFile,
                            const QString& refusal = {}) {
            const QStringList logins = !refusal.isEmpty()       ? QStringList{}
                                       : QString(mode) == "off" ? QStringList{"clear"}
                                                                : QStringList{"tls"};
            QTest::newRow(name) << certificate << mode << encryption << trust << caFile << logins
                                << refusal;
        };
        const auto optional = Encryption::Optional;
        const auto mandatory = Encryption::Mandatory;
        const QString noTls = "does not support encryption, and encryption is Mandatory";
        row("optional: a server without TLS gets the login in clear", "", "off", optional, false,
            false);
        row("optional: a server that requires TLS", "server", "required", optional, false, false);
        row("optional: an unchecked certificate still carries the login", "self", "login", optional,
            false, true);
        row("mandatory with the authority's file", "server", "login", mandatory, false, true);
        row("mandatory trusting a self-signed server", "self", "login", mandatory, true, false);
        row("mandatory: a server without TLS is refused", "", "off", mandatory, false, true, noTls);
        row("mandatory: a server without TLS is refused even when trusted", "", "off", mandatory,
            true, false, noTls);
        row("mandatory: an unknown authority", "self", "login", mandatory, false, true,
            "certificate was refused");
        row("mandatory: the test authority is not the system's", "server", "login", mandatory,
            false, false, "not signed by an authority the system trusts");
        row("mandatory: a certificate for another host", "wronghost", "login", mandatory, false,
            true, "certificate was refused");
        row("mandatory: an expired certificate", "expired", "login", mandatory, false, true,
            "certificate was refused");
        row("strict: FreeTDS cannot, nothing is sent", "server", "required", Encryption::Strict,
            true, false, "FreeTDS ODBC driver cannot encrypt strictly");
    }

    void connect() {
        QFETCH(QString, certificate);
        QFETCH(QString, mode);
        QFETCH(Encryption, encryption);
        QFETCH(bool, trust);
        QFETCH(bool, caFile);
        QFETCH(QStringList, logins);
        QFETCH(QString, refusal);
        StandIn server(serverWith(certificate, mode));
        QVERIFY(server.isRunning());
        ConnectionSettings settings{server.serverText(), "Northwind", "sa", "secret"};
        settings.encryption = encryption;
        settings.trustServerCertificate = trust;
        if (caFile)
            settings.caFile = m_certificates.certificate("ca");

        OdbcConnection connection;
        const auto failure = failureOf([&] {
            OpenConnection(connection, settings);
            QVERIFY(IsSQL2005Plus(connection));
        });
        if (refusal.isEmpty()) {
            QVERIFY2(!failure, failure ? qPrintable(failure->description) : "");
        } else {
            QVERIFY(failure.has_value());
            QVERIFY2(failure->description.startsWith("OpenConnection: ") &&
                         failure->description.contains(refusal),
                     qPrintable(failure->description));
        }
        QCOMPARE(server.logins(), logins);
        if (encryption == Encryption::Strict)
            QVERIFY(server.openingPacketTypes().isEmpty());
    }

    // The script of the same rows, whether they came in clear or in TLS.
    void rowsAlikeInClearAndInTls() {
        StandIn clear(serverWith("", "off"));
        StandIn wholeSession(serverWith("server", "required"));
        StandIn loginOnly(serverWith("server", "login"));
        const QString authority = m_certificates.certificate("ca");
        const auto tables = QStringList{"Customers", "Orders", "Order Details", "Products"};
        const auto script = [&](const StandIn& server, auto adjust) {
            ScriptRun run(server, adjust);
            run.tick(tables);
            const auto failure = run.create();
            return failure ? *failure : run.body("Tables.sql");
        };
        const QString expected = script(clear, [](ConnectionSettings&) {});
        QVERIFY(expected.contains("insert"));
        QCOMPARE(script(wholeSession,
                        [&](ConnectionSettings& c) {
                            c.encryption = Encryption::Mandatory;
                            c.caFile = authority;
                        }),
                 expected);
        QCOMPARE(script(loginOnly, [](ConnectionSettings&) {}), expected);
        QVERIFY(!wholeSession.logins().isEmpty() && !loginOnly.logins().isEmpty());
        QVERIFY(!wholeSession.logins().contains("clear") && !loginOnly.logins().contains("clear"));
    }
};

QTEST_GUILESS_MAIN(EncryptionIntegrationTest)
#include "EncryptionIntegrationTest.moc"
