#include "support/StandIn.h"

#include "standin/log/BatchLog.h"

#include <QFile>
#include <QRegularExpression>
#include <csignal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace quarvex::test {

StandIn::StandIn(const StandInOptions& options) {
    QStringList arguments{"--port",     "0",
                          "--log",      m_folder.filePath("batches.log"),
                          "--version",  options.version,
                          "--database", options.database};
    if (options.sample)
        arguments << "--sample";
    if (!options.login.isEmpty())
        arguments << "--login" << options.login << "--password" << options.password;
    for (const QString& file : options.loadFiles)
        arguments << "--load" << file;
    QFile script(m_folder.filePath("script.sql"));
    if (!options.script.isEmpty() && script.open(QIODevice::WriteOnly) &&
        script.write(options.script.toUtf8()) >= 0 && script.flush())
        arguments << "--load" << script.fileName();
    if (options.stallLogin)
        arguments << "--stall-login";
    if (options.packetDelayMs > 0)
        arguments << "--packet-delay-ms" << QString::number(options.packetDelayMs);
    if (options.snapshotsOffAfterCheck)
        arguments << "--snapshots-off-after-check";
    if (options.stallAfterRows >= 0)
        arguments << "--stall-after-rows" << QString::number(options.stallAfterRows);
    if (options.dropAfterRows >= 0)
        arguments << "--drop-after-rows" << QString::number(options.dropAfterRows);
    if (!options.tlsCert.isEmpty())
        arguments << "--tls-cert" << options.tlsCert << "--tls-key" << options.tlsKey;
    if (!options.encryption.isEmpty())
        arguments << "--encryption" << options.encryption;
#ifdef Q_OS_LINUX
    // A test that crashes must not leave its server running.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process.start(QStringLiteral(QUARVEX_STANDIN_PATH), arguments);
    // The server prints its port once it is ready; a failed start exits.
    static const QRegularExpression ready(QStringLiteral(R"(listening on 127\.0\.0\.1:(\d+))"));
    QByteArray output;
    while (m_process.waitForReadyRead(30000)) {
        output += m_process.readAllStandardOutput();
        const auto match = ready.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return;
        }
    }
    qWarning("quarvex-standin did not start: %s", m_process.readAllStandardError().constData());
}

StandIn::~StandIn() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(10000);
}

bool StandIn::isRunning() const {
    return m_process.state() == QProcess::Running && m_port > 0;
}

QString StandIn::serverText() const {
    return QStringLiteral("127.0.0.1,%1").arg(m_port);
}

ConnectionSettings StandIn::login() const {
    return {serverText(), "Northwind", "sa", "pw"};
}

QStringList StandIn::receivedBatches() const {
    return standin::BatchLog::read(m_folder.filePath(QStringLiteral("batches.log")));
}

QStringList StandIn::logins() const {
    return standin::BatchLog::read(m_folder.filePath(QStringLiteral("batches.log")), "login");
}

QList<int> StandIn::openingPacketTypes() const {
    QList<int> types;
    for (const QString& type :
         standin::BatchLog::read(m_folder.filePath(QStringLiteral("batches.log")), "opening"))
        types << type.toInt();
    return types;
}

QString numberedTable(const QString& name, int count, int padWidth) {
    QString script =
        QStringLiteral("create table %1 (n int not null, pad varchar(100) null)\nGO\n").arg(name);
    const QString pad = padWidth ? "'" + QString(padWidth, u'x') + "'" : QStringLiteral("null");
    for (int n = 1; n <= count; ++n)
        script += QStringLiteral("insert into %1 values (%2, %3)\n").arg(name).arg(n).arg(pad);
    return script + QStringLiteral("GO\n");
}

} // namespace quarvex::test
