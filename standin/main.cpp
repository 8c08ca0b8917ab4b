// quarvex-standin: a SQL Server stand-in for Quarvex's tests and demo. It
// speaks TDS on loopback and answers from SQLite.

#include "standin/engine/BatchRun.h"
#include "standin/engine/SampleDatabase.h"
#include "standin/tds/Server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace quarvex::standin;

namespace {

int signalPipe[2];

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}

// The faults ordered on the command line; nothing when they make no sense.
std::optional<Faults> faultsFrom(const QCommandLineParser& parser) {
    const QString stall = QStringLiteral("stall-after-rows");
    const QString drop = QStringLiteral("drop-after-rows");
    bool valid = !(parser.isSet(stall) && parser.isSet(drop));
    const auto rows = [&](const QString& option) {
        if (!parser.isSet(option))
            return -1;
        bool ok = false;
        const int count = parser.value(option).toInt(&ok);
        valid = valid && ok && count >= 0;
        return count;
    };
    Faults faults;
    faults.stallLogin = parser.isSet(QStringLiteral("stall-login"));
    faults.stallAfterRows = rows(stall);
    faults.dropAfterRows = rows(drop);
    faults.packetDelayMs = qMax(0, parser.value(QStringLiteral("packet-delay-ms")).toInt());
    faults.snapshotsOffAfterCheck = parser.isSet(QStringLiteral("snapshots-off-after-check"));
    if (!valid)
        return std::nullopt;
    return faults;
}

// The encryption ordered on the command line; false when it makes no sense.
bool encryptionFrom(const QCommandLineParser& parser, LoginPolicy& policy) {
    const QString certificate = parser.value(QStringLiteral("tls-cert"));
    const QString key = parser.value(QStringLiteral("tls-key"));
    const QString mode = parser.value(QStringLiteral("encryption"));
    if (mode == QLatin1String("off"))
        policy.encryption = ServerEncryption::Off;
    else if (mode == QLatin1String("required"))
        policy.encryption = ServerEncryption::Required;
    else if (mode == QLatin1String("login") || (mode.isEmpty() && !certificate.isEmpty()))
        policy.encryption = ServerEncryption::Login;
    else if (!mode.isEmpty())
        return false;
    if (certificate.isEmpty() != key.isEmpty() ||
        (certificate.isEmpty() && policy.encryption != ServerEncryption::Off)) {
        std::fprintf(stderr, "quarvex-standin: --encryption login or required needs --tls-cert "
                             "and --tls-key\n");
        return false;
    }
    if (certificate.isEmpty())
        return true;
    QString error;
    policy.tls = TlsContext::load(certificate, key, &error);
    if (!policy.tls)
        std::fprintf(stderr, "quarvex-standin: %s\n", qPrintable(error));
    return policy.tls != nullptr;
}

void addOptions(QCommandLineParser& parser) {
    struct Option {
        const char* name;
        const char* description;
        const char* valueName; // "": a flag
        const char* fallback;
    };
    static const Option options[] = {
        {"port", "Port (0: a free one).", "N", ""},
        {"sample", "Load the sample database.", "", ""},
        {"load", "Run a T-SQL script (batches separated by GO) at start.", "FILE", ""},
        {"database", "Database name.", "NAME", "Northwind"},
        {"version", "Server version the login reports.", "VERSION", "9.00.1399"},
        {"login", "The only login accepted.", "NAME", ""},
        {"password", "Its password.", "PW", ""},
        {"log", "Record every SQL batch.", "FILE", ""},
        {"stall-login", "Fault: accept connections and never answer them.", "", ""},
        {"packet-delay-ms", "Fault: send each packet of a reply N ms after the one before.", "N",
         ""},
        {"snapshots-off-after-check",
         "Fault: stop allowing snapshot isolation once a reply that read sys.databases is out.", "",
         ""},
        {"stall-after-rows", "Fault: send N rows of a longer result, then fall silent.", "N", ""},
        {"drop-after-rows", "Fault: send N rows of a longer result, then close the connection.",
         "N", ""},
        {"tls-cert", "The server's certificate (PEM).", "FILE", ""},
        {"tls-key", "Its private key (PEM).", "FILE", ""},
        {"encryption",
         "off (no TLS), login (TLS as the client asks, the login at least; the default with a "
         "certificate) or required (the whole session).",
         "MODE", ""},
    };
    for (const Option& o : options)
        parser.addOption(
            QCommandLineOption(QString::fromUtf8(o.name), QString::fromUtf8(o.description),
                               QString::fromUtf8(o.valueName), QString::fromUtf8(o.fallback)));
}

// A script file's text: UTF-16 behind its byte-order mark, else UTF-8.
QString scriptText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE"))
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
}

// The sample database and the scripts of --load, in order; false (with a
// message) at the first that fails.
bool loadDatabase(Engine& engine, const QCommandLineParser& parser) {
    Session setup;
    setup.login = QStringLiteral("sa");
    if (parser.isSet(QStringLiteral("sample"))) {
        const QString error = runScript(engine, setup, sampleDatabaseScript(engine.majorVersion()));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "quarvex-standin: sample database: %s\n", qPrintable(error));
            return false;
        }
    }
    for (const QString& path : parser.values(QStringLiteral("load"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "quarvex-standin: cannot read %s\n", qPrintable(path));
            return false;
        }
        Session loader = setup;
        const QString error = runScript(engine, loader, scriptText(file.readAll()));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "quarvex-standin: %s: %s\n", qPrintable(path), qPrintable(error));
            return false;
        }
    }
    return true;
}

// Listens, says where, and answers until SIGTERM or SIGINT.
int serve(QCoreApplication& app, Server& server, const QString& port) {
    const int chosen = server.listen(port.toInt());
    if (chosen < 0) {
        std::fprintf(stderr, "quarvex-standin: cannot listen on port %s\n", qPrintable(port));
        return 1;
    }
    if (::pipe(signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    std::printf("listening on 127.0.0.1:%d\n", chosen);
    std::fflush(stdout);
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvex-standin"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A SQL Server stand-in over SQLite, for Quarvex's tests and demo."));
    parser.addHelpOption();
    addOptions(parser);
    parser.process(app);

    if (!parser.isSet(QStringLiteral("port"))) {
        std::fprintf(stderr, "quarvex-standin: --port is required\n");
        return 2;
    }
    EngineOptions options;
    options.database = parser.value(QStringLiteral("database"));
    options.version = parser.value(QStringLiteral("version"));
    if (options.version.section(u'.', 0, 0).toInt() < 7) {
        std::fprintf(stderr, "quarvex-standin: --version must look like 9.00.1399\n");
        return 2;
    }
    Engine engine(options);
    if (!engine.startError().isEmpty()) {
        std::fprintf(stderr, "quarvex-standin: %s\n", qPrintable(engine.startError()));
        return 1;
    }
    if (!loadDatabase(engine, parser))
        return 1;

    LoginPolicy policy;
    if (parser.isSet(QStringLiteral("login"))) {
        policy.login = parser.value(QStringLiteral("login"));
        policy.password = parser.value(QStringLiteral("password"));
    }
    if (!encryptionFrom(parser, policy))
        return 2;
    const std::optional<Faults> faults = faultsFrom(parser);
    if (!faults) {
        std::fprintf(stderr, "quarvex-standin: give one of --stall-after-rows and "
                             "--drop-after-rows, with a row count of 0 or more\n");
        return 2;
    }
    Server server(&engine, policy, *faults, parser.value(QStringLiteral("log")));
    return serve(app, server, parser.value(QStringLiteral("port")));
}
