#include "support/Cli.h"

#include "app/FrmQuarvex.h"
#include "base/Version.h"
#include "io/SettingsFile.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarvex;

namespace {

const char* const database =
    R"(create table Orders (OrderId int identity(1,1) not null primary key, Item varchar(20) null)
GO
insert into Orders (Item) values ('tea')
GO
create table [Order Details] (id int not null references Orders (OrderId))
GO
create table Bad (doc xml null)
GO
create procedure spOne as select 1
GO
create procedure spTwo as select 2
GO
)";

using Result = test::CliResult;

const QString password = QStringLiteral("s3cret;pw");
const QStringList scriptFiles{"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"};

QProcessEnvironment cliEnvironment(const QString& secret = password) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUARVEX_PASSWORD", secret);
    return environment;
}

// The program with the password in QUARVEX_PASSWORD, as a script runs it.
Result runCli(const QStringList& arguments, const QString& folder, int waitMs = 60000,
              QMap<QString, QString> variables = {}) {
    variables.insert("QUARVEX_PASSWORD", password);
    return test::runCli(arguments, folder, variables, {}, waitMs);
}

// Runs the program with one line on standard input: through a pipe, or typed
// at a pseudo-terminal (util-linux's script) once the program has asked.
// Without passwordVariable, QUARVEX_PASSWORD is not set at all.
Result runCliWithInput(const QStringList& arguments, const QString& line, bool atTerminal,
                       bool passwordVariable = true) {
    QProcess process;
    QProcessEnvironment environment = cliEnvironment("not this one");
    if (!passwordVariable)
        environment.remove("QUARVEX_PASSWORD");
    process.setProcessEnvironment(environment);
    QByteArray shown;
    if (atTerminal) {
        QStringList command;
        for (const QString& argument : QStringList{QUARVEX_CLI_PATH} + arguments)
            command << "'" + QString(argument).replace("'", "'\\''") + "'";
        process.start("script", {"--quiet", "--return", "--echo", "always", "--command",
                                 command.join(' '), "/dev/null"});
        while (!shown.contains("Password: ") && process.waitForReadyRead(10000))
            shown += process.readAllStandardOutput();
    } else {
        process.start(QStringLiteral(QUARVEX_CLI_PATH), arguments);
    }
    process.write(line.toUtf8() + "\n");
    if (!atTerminal)
        process.closeWriteChannel();
    process.waitForFinished(60000);
    shown += process.readAllStandardOutput();
    return {process.exitCode(), QString::fromUtf8(shown),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

    test::TempFolder m_data;
    std::unique_ptr<test::StandIn> m_server;

    QStringList connection(const test::StandIn* server = nullptr) const {
        return {"--config", m_data.path("empty.cfg"),
                "--server", (server ? server : m_server.get())->serverText(),
                "--user",   "loader"};
    }

    // A server holding the tables of file, with the login the program uses.
    test::StandInOptions loaded(const QString& file) const {
        return {.sample = false,
                .login = "loader",
                .password = password,
                .loadFiles = {m_data.path(file)}};
    }

    Result script(const test::TempFolder& out, const QStringList& arguments,
                  const test::StandIn* server = nullptr) const {
        return runCli(connection(server) + QStringList{"--out", out.folder()} + arguments,
                      m_data.folder());
    }

private slots:
    void initTestCase() {
        setProgramIdentity();
        m_data.write("database.sql", database);
        m_data.write(
            "empty.cfg",
            "txtProcFilt=\r\ntxtTrigFilt=\r\ntxtTblFilt=\r\ntxtViewFilt=\r\ntxtFuncFilt=\r\n");
        m_data.write("newtypes.cfg", m_data.bytes("empty.cfg") + "chkNewTypes=1\r\n");
        m_data.write("createoralter.cfg", m_data.bytes("empty.cfg") + "chkCreateOrAlter=1\r\n");
        m_server = std::make_unique<test::StandIn>(loaded("database.sql"));
    }

    void windowAndCommandLineWriteTheSameFiles_data() {
        QTest::addColumn<bool>("keyOrder");
        QTest::newRow("ticking order") << false;
        QTest::newRow("key order") << true;
    }

    // The same settings and ticking order give the same five files, byte for
    // byte but for the date and time in their header notes; so does Key Order
    // in the window and --key-order, which load Orders before the table that
    // references it.
    void windowAndCommandLineWriteTheSameFiles() {
        QFETCH(bool, keyOrder);
        const QStringList order{"table:dbo.Order Details", "table:dbo.Orders", "table:dbo.Bad",
                                "proc:dbo.spTwo", "proc:dbo.spOne"};
        test::TempFolder cliOut;
        const Result result =
            script(cliOut, (keyOrder ? QStringList{"--key-order"} : QStringList{}) + order);
        QCOMPARE(result.exitCode, 3);
        QCOMPARE(result.error.contains("Key order: 2 entries moved\n"), keyOrder);
        const QByteArray tables = cliOut.bytes("Tables.sql");
        QCOMPARE(tables.indexOf("rows to Orders.") < tables.indexOf("rows to [Order Details]."),
                 keyOrder);

        test::TempFolder windowOut;
        m_data.write("window.cfg",
                     "txtUserID=loader\r\ntxtServer=" + m_server->serverText().toUtf8() +
                         "\r\ntxtPath=" + windowOut.folder().toUtf8() + "\r\n" +
                         m_data.bytes("empty.cfg"));
        FrmQuarvexServices services;
        services.settingsFile = m_data.path("window.cfg");
        services.showMessage = [](const QString&, MessageIcon, const QString&) {};
        services.startViewer = [](const QString&, const QStringList&) { return std::nullopt; };
        FrmQuarvex window(services);
        window.findChild<QLineEdit*>("txtPassword")->setText(password);
        window.cmdTab_Click(0);
        ObjectList& list = window.toolkit().objectList();
        for (const QString& name : order) {
            const QString ownerAndName = name.section(':', 1);
            for (int i = 0; i < list.count(); ++i) {
                const ObjectRef object = list.entry(i).object;
                if (object.owner + "." + object.name == ownerAndName)
                    list.setChecked(i, true);
            }
        }
        if (keyOrder)
            window.cmdAction_Click(7);
        window.cmdAction_Click(1);

        const auto withoutHeader = [](const QByteArray& bytes) {
            return bytes.mid(bytes.indexOf("GO\r\n\r\n") + 6);
        };
        for (const QString& file : scriptFiles) {
            QVERIFY(!cliOut.bytes(file).isEmpty());
            QCOMPARE(withoutHeader(windowOut.bytes(file)), withoutHeader(cliOut.bytes(file)));
        }
    }

    void exitStatuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errorStart"); // first line of standard error, or empty
        QTest::newRow("everything, one skipped") << QStringList{"--all"} << 3 << "";
        QTest::newRow("xml scripted with --newer-types")
            << QStringList{"--newer-types", "table:dbo.Bad"} << 0 << "";
        QTest::newRow("xml scripted as the settings file says")
            << QStringList{"--config", m_data.path("newtypes.cfg"), "table:dbo.Bad"} << 0 << "";
        QTest::newRow("--no-newer-types overrides the settings file")
            << QStringList{"--config", m_data.path("newtypes.cfg"), "--no-newer-types",
                           "table:dbo.Bad"}
            << 3 << "";
        // The server answers as 2005, which knows no CREATE OR ALTER.
        const QString refused =
            "quarvex-cli: CreateScripts: RequireCreateOrAlter: CREATE OR ALTER needs SQL "
            "Server 2016 SP1 (13.0.4001) or later; this server is version 09.00.1399";
        QTest::newRow("--create-or-alter refused by the server")
            << QStringList{"--create-or-alter", "proc:dbo.spOne"} << 1 << refused;
        QTest::newRow("CREATE OR ALTER as the settings file says")
            << QStringList{"--config", m_data.path("createoralter.cfg"), "proc:dbo.spOne"} << 1
            << refused;
        QTest::newRow("--no-create-or-alter overrides the settings file")
            << QStringList{"--config", m_data.path("createoralter.cfg"), "--no-create-or-alter",
                           "proc:dbo.spOne"}
            << 0 << "";
        QTest::newRow("--merge skips a table without a key")
            << QStringList{"--merge", "table:dbo.Orders", "table:dbo.Order Details"} << 3 << "";
        QTest::newRow("--no-merge scripts it")
            << QStringList{"--no-merge", "table:dbo.Order Details"} << 0 << "";
        QTest::newRow("--all with a row filter")
            << QStringList{"--all", "table:dbo.Orders where Item = 'tea'"} << 3 << "";
        QTest::newRow("--all with an unfiltered object")
            << QStringList{"--all", "table:dbo.Orders"} << 2
            << "quarvex-cli: Give exactly one of --list, --all or object names";
        QTest::newRow("a row filter that is not one condition")
            << QStringList{"table:dbo.Orders where 1=1) or (1=1"} << 2
            << "quarvex-cli: The row filter of table:dbo.Orders \"1=1) or (1=1\" is not a single "
               "condition";
        QTest::newRow("a row filter on a procedure")
            << QStringList{"proc:dbo.spOne where 1=1"} << 2
            << "quarvex-cli: Only a table takes a row filter";
        QTest::newRow("unknown object")
            << QStringList{"table:dbo.Nothing"} << 2
            << "quarvex-cli: No listed object matches table:dbo.Nothing: the database has no such "
               "object\n";
        QTest::newRow("object the filter hides")
            << QStringList{"--proc-filter", "name = 'spOne'", "proc:dbo.spTwo"} << 2
            << "quarvex-cli: No listed object matches proc:dbo.spTwo: it exists, but the proc "
               "filter \"name = 'spOne'\" hides it (--proc-filter changes it; --proc-filter '' "
               "lists every procedure)\n";
        QTest::newRow("second name the table filter hides")
            << QStringList{"--table-filter", "name = 'Orders'", "table:dbo.Orders", "table:dbo.Bad"}
            << 2
            << "quarvex-cli: No listed object matches table:dbo.Bad: it exists, but the table "
               "filter \"name = 'Orders'\" hides it";
        QTest::newRow("no objects at all")
            << QStringList{} << 2
            << "quarvex-cli: Give exactly one of --list, --all or object names";
        QTest::newRow("opposite switches")
            << QStringList{"--alter", "--create", "--all"} << 2
            << "quarvex-cli: --alter and --create exclude each other";
        QTest::newRow("blank output folder")
            << QStringList{"--out", "  ", "--all"} << 2 << "quarvex-cli: No output folder given";
        QTest::newRow("objects that resolve to nothing")
            << QStringList{"--table-filter", "1 = 0", "--proc-filter", "1 = 0", "--all"} << 2
            << "quarvex-cli: Nothing ticked: no script written";
        QTest::newRow("bad filter") << QStringList{"--table-filter", "nosuch = 1", "--all"} << 1
                                    << "quarvex-cli: LoadList: ";
        QTest::newRow("unknown encryption")
            << QStringList{"--encryption", "always", "--all"} << 2
            << "quarvex-cli: --encryption takes optional, mandatory or strict: always";
        QTest::newRow("mandatory, even trusted, refuses a server without TLS")
            << QStringList{"--encryption", "Mandatory", "--trust-server-certificate", "--all"} << 1
            << "quarvex-cli: LoadList: OpenConnection: The server 127.0.0.1,";
        QTest::newRow("strict is refused with FreeTDS")
            << QStringList{"--encryption", "strict", "--all"} << 1
            << "quarvex-cli: LoadList: OpenConnection: The FreeTDS ODBC driver cannot encrypt "
               "strictly";
        QTest::newRow("another host name in the certificate is refused with FreeTDS")
            << QStringList{"--encryption",   "mandatory", "--host-name-in-certificate",
                           "db.example.com", "--ca-file", "/nowhere.pem",
                           "--all"}
            << 1 << "quarvex-cli: LoadList: OpenConnection: The FreeTDS ODBC driver cannot check";
    }

    void exitStatuses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, errorStart);
        test::TempFolder out;
        const Result result = script(out, arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (!errorStart.isEmpty())
            QVERIFY2(result.error.startsWith(errorStart), qPrintable(result.error));
        if (exitCode == 0 || exitCode == 3)
            QCOMPARE(QDir(out.folder()).entryList(QDir::Files).size(), 5);
        if (exitCode == 2) {
            QVERIFY(QDir(out.folder()).isEmpty());
            // Not in the working folder either, as an empty folder read as "." would.
            QCOMPARE(QDir(m_data.folder()).entryList({"*.sql"}), QStringList{"database.sql"});
        }
        // A run that failed says the scripts stand as they were.
        QCOMPARE(result.error.contains("\nquarvex-cli: The script files in the output folder are "
                                       "unchanged.\n"),
                 errorStart.startsWith("quarvex-cli: CreateScripts: "));
        QVERIFY(!result.out.contains(password) && !result.error.contains(password));
        // Progress, skips and failures alike: each line behind the name, the
        // lines of a message that quotes the query too.
        static const QRegularExpression messageStart("(^|\n)(?!quarvex-cli: |$)");
        QVERIFY2(!result.error.contains(messageStart), qPrintable(result.error));
        for (const QString& file : QDir(out.folder()).entryList(QDir::Files))
            QVERIFY(!out.bytes(file).contains(password.toUtf8()));
    }

    // The filter narrows the rows read and, with grouped deletes, the delete.
    void rowFilterNarrowsRowsAndDeletes() {
        test::TempFolder out;
        const Result result = script(out, {"--group", "table:dbo.Orders WHERE Item <> 'tea'"});
        QCOMPARE(result.exitCode, 0);
        const QByteArray tables = out.bytes("Tables.sql");
        QVERIFY(tables.contains("delete from dbo.Orders where (Item <> 'tea')\r\n"));
        QVERIFY(tables.contains("Loading 0 rows to Orders..."));
    }

    // Mistakes on the command line are usage errors found before any
    // connection: the server here is a port nobody listens on.
    void usageErrorsBeforeConnecting_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("errorStart");
        const QString notAName = "quarvex-cli: Not an object name (KIND:OWNER.NAME or id:NUMBER): ";
        QTest::newRow("no kind") << QStringList{"dbo.Orders"} << notAName + "dbo.Orders";
        QTest::newRow("unknown kind") << QStringList{"tble:dbo.Orders"} << notAName + "tble:";
        QTest::newRow("no owner") << QStringList{"table:Orders"} << notAName + "table:Orders";
        QTest::newRow("id not a number") << QStringList{"id:7x"} << notAName + "id:7x";
        QTest::newRow("second name bad")
            << QStringList{"table:dbo.Orders", "proc:dbo."} << notAName + "proc:dbo.";
        QTest::newRow("--password with a value")
            << QStringList{"--password", "hunter2", "--all"} << "quarvex-cli: --password is not";
        QTest::newRow("--password=value")
            << QStringList{"--password=hunter2", "--all"} << "quarvex-cli: --password is not";
        QTest::newRow("unknown consistent read")
            << QStringList{"--consistent-read", "snapshot", "--all"}
            << "quarvex-cli: --consistent-read takes auto, lock or off: snapshot";
        QTest::newRow("output folder is a file")
            << QStringList{"--out", m_data.path("database.sql"), "--all"}
            << "quarvex-cli: The output folder is a file: " + m_data.path("database.sql");
        QTest::newRow("output folder below a file")
            << QStringList{"--out", m_data.path("database.sql/out"), "--all"}
            << "quarvex-cli: The output folder cannot be made: " + m_data.path("database.sql/out");
    }

    void usageErrorsBeforeConnecting() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, errorStart);
        test::TempFolder out;
        const Result result = runCli(QStringList{"--config", m_data.path("empty.cfg"), "--server",
                                                 "127.0.0.1,1", "--out", out.folder()} +
                                         arguments,
                                     m_data.folder());
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.error.startsWith(errorStart), qPrintable(result.error));
        QVERIFY(!result.error.contains("hunter2"));
        if (errorStart.contains("password"))
            QVERIFY2(result.error.contains("QUARVEX_PASSWORD") &&
                         result.error.contains("--password-stdin"),
                     qPrintable(result.error));
    }

    // A missing folder, however deep, is made before the run.
    void missingOutputFolderIsMade() {
        test::TempFolder out;
        const Result result =
            runCli(connection() << "--out" << out.path("new/deeper") << "table:dbo.Orders",
                   m_data.folder());
        QCOMPARE(result.exitCode, 0);
        QVERIFY(out.bytes("new/deeper/Tables.sql").contains("insert into dbo.Orders"));
    }

    // A login without a password: asked for at a terminal; from a script,
    // refused before connecting instead of sending an empty one.
    void missingPassword_data() {
        QTest::addColumn<bool>("atTerminal");
        QTest::newRow("piped: a usage error") << false;
        QTest::newRow("terminal: asked for") << true;
    }

    void missingPassword() {
        QFETCH(bool, atTerminal);
        const Result result =
            runCliWithInput(connection() << "--list", password, atTerminal, false);
        if (atTerminal) {
            QCOMPARE(result.exitCode, 0);
            QVERIFY2(result.out.contains("quarvex-cli: Password: "), qPrintable(result.out));
            QVERIFY2(result.out.contains("table\tdbo\tOrders\t"), qPrintable(result.out));
            QVERIFY(!result.out.contains(password));
        } else {
            QCOMPARE(result.exitCode, 2);
            QCOMPARE(result.error, "quarvex-cli: No password for the login loader: set "
                                   "QUARVEX_PASSWORD or give --password-stdin\n"
                                   "quarvex-cli: Try 'quarvex-cli --help'.\n");
        }
    }

    // What a reader of standard output gets must be all there is.
    void failedWriteToStandardOutputFails_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--list") << (connection() << "--list");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("--version") << QStringList{"--version"};
    }

    void failedWriteToStandardOutputFails() {
        QFETCH(QStringList, arguments);
        const auto toFullDisk = [] {
            const int full = ::open("/dev/full", O_WRONLY);
            ::dup2(full, STDOUT_FILENO);
        };
        const Result result =
            test::runCli(arguments, m_data.folder(), {{"QUARVEX_PASSWORD", password}}, toFullDisk);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.error.endsWith("quarvex-cli: Standard output could not be written: No "
                                       "space left on device\n"),
                 qPrintable(result.error));
    }

    // Each toggle marks the one of its two switches that holds by default.
    void helpShowsEachToggleDefault_data() {
        QTest::addColumn<QString>("byDefault");
        QTest::addColumn<QString>("other");
        QTest::newRow("alter") << "alter"
                               << "create";
        QTest::newRow("group") << "group"
                               << "truncate";
        QTest::newRow("encrypt") << "no-encrypt"
                                 << "encrypt";
        QTest::newRow("unicode") << "ansi"
                                 << "unicode";
        QTest::newRow("newer types") << "no-newer-types"
                                     << "newer-types";
        QTest::newRow("create or alter") << "no-create-or-alter"
                                         << "create-or-alter";
        QTest::newRow("merge") << "no-merge"
                               << "merge";
    }

    void helpShowsEachToggleDefault() {
        QFETCH(QString, byDefault);
        QFETCH(QString, other);
        const QString help = runCli({"--help"}, m_data.folder()).out;
        // An option's text runs from its name to the next option.
        const auto described = [&](const QString& option) {
            const QRegularExpression entry("\n  --" + option + " +(.*?)\n  -",
                                           QRegularExpression::DotMatchesEverythingOption);
            return entry.match(help).captured(1).simplified();
        };
        QVERIFY2(
            described(byDefault).endsWith("(Default, unless the settings file says otherwise.)"),
            qPrintable(described(byDefault)));
        QVERIFY2(!described(other).isEmpty() && !described(other).contains("Default"),
                 qPrintable(described(other)));
    }

    // The window without a display says so in one line, not with an abort.
    void windowWithoutDisplay_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no display set") << QString();
        QTest::newRow("a display nobody serves") << ":987";
    }

    void windowWithoutDisplay() {
        QFETCH(QString, display);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        process.setProcessEnvironment(environment);
        process.start(QUARVEX_WINDOW_PATH, {});
        QVERIFY(process.waitForFinished(30000));
        const QString error = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(error.startsWith("quarvex: No display to open the window on (") &&
                     error.count('\n') == 1 && error.endsWith('\n'),
                 qPrintable(error));
        if (!display.isEmpty())
            QVERIFY(error.contains("DISPLAY=" + display));
    }

    void versionAndHelp_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("outputStart");
        for (const auto& [name, path] : {std::pair{"quarvex-cli", QUARVEX_CLI_PATH},
                                         std::pair{"quarvex", QUARVEX_WINDOW_PATH}}) {
            QTest::addRow("%s --version", name)
                << path << "--version" << QString(name) + " " QUARVEX_VERSION "\n";
            QTest::addRow("%s --help", name) << path << "--help"
                                             << "Usage: ";
        }
    }

    // Both answer without a display: manual pages are made from them at
    // build time.
    void versionAndHelp() {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, outputStart);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        process.setProcessEnvironment(environment);
        process.start(program, {option});
        QVERIFY(process.waitForFinished(30000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(out.startsWith(outputStart), qPrintable(out));
        if (program.endsWith("-cli") && option == "--help")
            for (int status = 0; status <= 3; ++status)
                QVERIFY2(out.contains(QRegularExpression("\nExit status:\n(.*\n)*  " +
                                                         QString::number(status) + "  ")),
                         qPrintable(out));
    }

    // Without --out the scripts go to the current folder, and the program
    // says so.
    void withoutOutTheCurrentFolderIsNamed() {
        test::TempFolder here;
        const Result result = runCli(connection() << "table:dbo.Orders", here.folder());
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.error.startsWith("quarvex-cli: No --out given; writing the scripts into "
                                         "the current folder " +
                                         here.folder() + "\n"),
                 qPrintable(result.error));
        QVERIFY(here.bytes("Tables.sql").contains("insert into dbo.Orders"));
    }

    // A user's first session: the window, with nothing saved, scripts into
    // its default folder (made on the way) and saves its settings where
    // the command line then finds them without being told.
    void windowAndCommandLineShareTheUsersSettings() {
        test::TempFolder home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.folder().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.path("config").toUtf8());
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            qunsetenv("XDG_CONFIG_HOME");
        });
        QStringList messages;
        {
            FrmQuarvexServices services;
            services.showMessage = [&](const QString& text, MessageIcon, const QString&) {
                messages << text;
            };
            services.startViewer = [](const QString&, const QStringList&) { return std::nullopt; };
            FrmQuarvex window(services);
            window.findChild<QLineEdit*>("txtUserID")->setText("loader");
            window.findChild<QLineEdit*>("txtServer")->setText(m_server->serverText());
            window.findChild<QLineEdit*>("txtPassword")->setText(password);
            for (const char* filter :
                 {"txtTblFilt", "txtProcFilt", "txtTrigFilt", "txtViewFilt", "txtFuncFilt"})
                window.findChild<QLineEdit*>(filter)->setText("name = 'Orders'");
            window.cmdTab_Click(0);
            QCOMPARE(window.toolkit().objectList().count(), 1);
            window.toolkit().objectList().setChecked(0, true);
            window.cmdAction_Click(1);
            window.close();
        }
        QCOMPARE(messages, QStringList{});
        QVERIFY(QFileInfo(home.path("Quarvex/Tables.sql")).isFile());
        QVERIFY(home.bytes("config/quarvex/quarvex.cfg").contains("\r\ntxtUserID=loader\r\n"));

        const Result listing =
            runCli({"--list"}, home.folder(), 60000,
                   {{"HOME", home.folder()}, {"XDG_CONFIG_HOME", home.path("config")}});
        QCOMPARE(listing.exitCode, 0);
        QCOMPARE(listing.out.section('\t', 0, 2), QStringLiteral("table\tdbo\tOrders"));
    }

    // The listing gives kind, owner, name and id; the id picks the object.
    void listsAndScriptsById() {
        const Result listing = runCli(connection() << "--list", m_data.folder());
        QStringList lines = listing.out.split('\n', Qt::SkipEmptyParts);
        const QString id = lines.filter("\tOrders\t").value(0).section('\t', 3);
        QCOMPARE(lines.replaceInStrings(QRegularExpression("\t[0-9]+$"), ""),
                 QStringList({"proc\tdbo\tspOne", "proc\tdbo\tspTwo", "table\tdbo\tBad",
                              "table\tdbo\tOrder Details", "table\tdbo\tOrders"}));
        test::TempFolder out;
        const Result result = script(out, {"id:" + id});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(out.bytes("Tables.sql")
                    .contains("insert into #quarvex1 (OrderId,Item) values (1,'tea')"));
        QVERIFY(result.error.contains("1 tables/0 procs/0 triggers/0 views/0 functions scripted"));
        // The count goes to standard error, apart from the listing.
        QCOMPARE(listing.error, "quarvex-cli: 5 tables/procs/triggers/views/functions listed\n");
        const Result narrowed = runCli(connection() << "--list"
                                                    << "--proc-filter"
                                                    << "name like 'sp%'"
                                                    << "--table-filter"
                                                    << "name = 'Orders'",
                                       m_data.folder());
        QCOMPARE(narrowed.error, "quarvex-cli: 3 tables/procs/triggers/views/functions listed; "
                                 "the filters hide 2 tables\n");
    }

    // Killed at any row, the program leaves the five scripts of the run
    // before it byte for byte; the next run clears what it left.
    void killedRunLeavesThePreviousScripts_data() {
        QTest::addColumn<int>("rows"); // rows of Long sent before the server falls silent
        QTest::newRow("at the first rows") << 10;
        QTest::newRow("near the end") << 290;
    }

    void killedRunLeavesThePreviousScripts() {
        QFETCH(int, rows);
        QString longTable = "create table Long (n int not null)\nGO\n";
        for (int n = 1; n <= 300; ++n)
            longTable += QString("insert into Long values (%1)\n").arg(n);
        m_data.write("long.sql", QByteArray(database) + longTable.toUtf8() + "GO\n");
        test::StandInOptions options = loaded("long.sql");
        options.stallAfterRows = rows;
        test::StandIn stalling(options);
        test::TempFolder out;
        QCOMPARE(script(out, {"table:dbo.Orders", "proc:dbo.spOne"}).exitCode, 0);
        QList<QByteArray> before;
        for (const QString& name : scriptFiles)
            before << out.bytes(name);

        QProcess cli;
        cli.setProcessEnvironment(cliEnvironment());
        cli.start(QUARVEX_CLI_PATH,
                  connection(&stalling) + QStringList{"--out", out.folder(), "table:dbo.Orders",
                                                      "table:dbo.Long", "proc:dbo.spTwo"});
        QTRY_VERIFY_WITH_TIMEOUT(!stalling.receivedBatches().filter("from dbo.Long").isEmpty(),
                                 20000);
        QTest::qWait(300);
        cli.kill();
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        // It was under way: its own files stand beside the scripts.
        QVERIFY(QFile::exists(out.path(".Tables.sql.quarvex-new")));
        for (int i = 0; i < scriptFiles.size(); ++i)
            QCOMPARE(out.bytes(scriptFiles[i]), before[i]);

        QCOMPARE(script(out, {"proc:dbo.spTwo"}).exitCode, 0);
        QCOMPARE(QDir(out.folder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Funcs.sql", "Procs.sql", "Tables.sql", "Trigs.sql", "Views.sql"}));
        QVERIFY(out.bytes("Procs.sql").contains("spTwo"));
    }

    // A signal ends the run as a failure ends it, soon, even while the
    // server is silent: the scripts of the run before byte for byte, no
    // hidden file, no private driver configuration, the shell's status.
    void signalEndsTheRunAsAFailure_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("inLogin"); // else amid the rows of a silent server
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT amid the rows") << SIGINT << false << 130;
        QTest::newRow("SIGTERM amid the rows") << SIGTERM << false << 143;
        QTest::newRow("SIGHUP amid the rows") << SIGHUP << false << 129;
        QTest::newRow("SIGTERM in a stalled login, certificate checked") << SIGTERM << true << 143;
    }

    void signalEndsTheRunAsAFailure() {
        QFETCH(int, signal);
        QFETCH(bool, inLogin);
        QFETCH(int, exitCode);
        m_data.write("long.sql", QByteArray(database) + test::numberedTable("Long", 300).toUtf8());
        test::StandInOptions options = loaded("long.sql");
        options.stallLogin = inLogin;
        options.stallAfterRows = inLogin ? -1 : 50;
        test::StandIn stalling(options);
        test::TempFolder out;
        QCOMPARE(script(out, {"table:dbo.Orders", "proc:dbo.spOne"}).exitCode, 0);
        QList<QByteArray> before;
        for (const QString& name : scriptFiles)
            before << out.bytes(name);

        test::TempFolder temporary; // where the private configuration goes
        m_data.write("ca.pem", "never read: the server never answers");
        QProcessEnvironment environment = cliEnvironment();
        environment.insert("TMPDIR", temporary.folder());
        QProcess cli;
        cli.setProcessEnvironment(environment);
        const QStringList login =
            inLogin ? QStringList{"--encryption", "mandatory", "--ca-file", m_data.path("ca.pem")}
                    : QStringList{};
        cli.start(QUARVEX_CLI_PATH, connection(&stalling) + login +
                                        QStringList{"--out", out.folder(), "table:dbo.Orders",
                                                    "table:dbo.Long", "proc:dbo.spTwo"});
        if (inLogin)
            QTRY_COMPARE_WITH_TIMEOUT(stalling.openingPacketTypes().size(), 1, 20000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!stalling.receivedBatches().filter("from dbo.Long").isEmpty(),
                                     20000);
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(20000));
        QVERIFY2(clock.elapsed() < 4000, "waited for a time-out");
        const QString error = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), exitCode);
        QVERIFY2(error.endsWith(inLogin
                                    ? "quarvex-cli: Listing cancelled\n"
                                    : "quarvex-cli: Cancelled: the script files are unchanged\n"),
                 qPrintable(error));
        for (int i = 0; i < scriptFiles.size(); ++i)
            QCOMPARE(out.bytes(scriptFiles[i]), before[i]);
        QCOMPARE(QDir(out.folder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Funcs.sql", "Procs.sql", "Tables.sql", "Trigs.sql", "Views.sql"}));
        QCOMPARE(QDir(temporary.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{});
    }

    // At a terminal one line is drawn again in place and erased at the
    // end; a pipe gets lines that stay, one more every 10 s inside a long
    // table; --quiet only the summary.
    void progressShowsAsTheOutputAllows_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("packetDelayMs"); // 230: the table's rows take about 12 s
        QTest::newRow("terminal") << "terminal" << 20;
        QTest::newRow("pipe") << "pipe" << 20;
        QTest::newRow("pipe, a table read for over 10 s") << "pipe" << 230;
        QTest::newRow("pipe with --progress") << "progress" << 20;
        QTest::newRow("--quiet") << "quiet" << 20;
    }

    void progressShowsAsTheOutputAllows() {
        QFETCH(QString, how);
        QFETCH(int, packetDelayMs);
        m_data.write("slow.sql", test::numberedTable("Slow", 2000, 100).toUtf8());
        test::StandInOptions options = loaded("slow.sql");
        options.packetDelayMs = packetDelayMs;
        test::StandIn slow(options);
        test::TempFolder out;
        QStringList arguments = connection(&slow) + QStringList{"--out", out.folder()};
        if (how == "progress" || how == "quiet")
            arguments << "--" + how;
        arguments << "table:dbo.Slow";
        const QMap<QString, QString> variables{{"QUARVEX_PASSWORD", password}};
        const Result result = how == "terminal"
                                  ? test::runCliAtTerminal(arguments, m_data.folder(), variables)
                                  : test::runCli(arguments, m_data.folder(), variables);
        QCOMPARE(result.exitCode, 0);
        const QString shown = how == "terminal" ? result.out : result.error;
        const QString summary =
            "quarvex-cli: 1 tables/0 procs/0 triggers/0 views/0 functions scripted";
        QVERIFY2(shown.contains(summary), qPrintable(shown));
        const bool redrawn = how == "terminal" || how == "progress";
        QVERIFY2(shown.contains(QRegularExpression("\rquarvex-cli: Slow \\(1 of 1\\): [0-9 ]+ of "
                                                   "2 000 rows[^\r\n]*\x1b\\[K")) == redrawn,
                 qPrintable(shown));
        // Erased before the next line, so no line ends with figures.
        if (redrawn)
            QVERIFY(!shown.contains(QRegularExpression("rows(/s| left)?[^\r\n]*\r?\n")));
        if (how == "pipe")
            QVERIFY(!shown.contains('\r') && !shown.contains("\x1b"));
        static const QRegularExpression stillReading(
            "\nquarvex-cli: still reading Slow: [1-9][0-9 ]* of 2 000 rows\n");
        QCOMPARE(shown.count(stillReading), how == "pipe" && packetDelayMs > 100 ? 1 : 0);
        if (how == "quiet")
            QCOMPARE(shown, summary + "\n");
    }

    // Names that would break a listing line apart are written C-style, and
    // the escaped form picks the object too.
    void listingEscapesControlCharacters() {
        m_data.write("names.sql", "create table [tab\there] (id int null)\nGO\n"
                                  "create table [two\nlines] (id int null)\nGO\n"
                                  "create table [back\\slash] (id int null)\nGO\n");
        test::StandIn server(loaded("names.sql"));
        const Result listing = runCli(connection(&server) << "--list", m_data.folder());
        QStringList lines = listing.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.replaceInStrings(QRegularExpression("\t[0-9]+$"), ""),
                 QStringList({"table\tdbo\tback\\\\slash", "table\tdbo\ttab\\there",
                              "table\tdbo\ttwo\\nlines"}));
        test::TempFolder out;
        const Result result = script(out, {"table:dbo.back\\\\slash"}, &server);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(out.bytes("Tables.sql").contains("[back\\slash]"));
    }

    void passwordFromStandardInput_data() {
        QTest::addColumn<bool>("atTerminal");
        QTest::newRow("piped: first line, no prompt") << false;
        QTest::newRow("terminal: prompt, no echo") << true;
    }

    void passwordFromStandardInput() {
        QFETCH(bool, atTerminal);
        const Result result = runCliWithInput(connection() << "--password-stdin"
                                                           << "--list",
                                              password, atTerminal);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains("table\tdbo\tOrders\t"), qPrintable(result.out));
        QCOMPARE((result.out + result.error).contains("Password: "), atTerminal);
        QVERIFY2(!result.out.contains(password) && !result.error.contains(password),
                 qPrintable(result.out));
    }

    // While the program holds the password (here waiting for a login that
    // never comes) the password is gone from its environment, and no core
    // dump could carry it, even where the user allowed core dumps.
    void passwordStaysOutOfTheEnvironmentAndCoreDumps() {
        test::StandIn stalled({.sample = false, .stallLogin = true});
        QProcess cli;
        cli.setProcessEnvironment(cliEnvironment());
        cli.setChildProcessModifier([] {
            rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_CORE, &unlimited);
        });
        cli.start(QUARVEX_CLI_PATH, connection(&stalled) << "--list");
        QTRY_VERIFY_WITH_TIMEOUT(!stalled.openingPacketTypes().isEmpty(), 10000);
        const QString proc = "/proc/" + QString::number(cli.processId());
        const QByteArray environment = test::TempFolder::bytesAt(proc + "/environ");
        const QByteArray limits = test::TempFolder::bytesAt(proc + "/limits");
        cli.waitForFinished(15000);
        QVERIFY(!environment.contains(password.toUtf8()));
        QVERIFY2(QRegularExpression("Max core file size +0 +0 ").match(limits).hasMatch(),
                 limits.constData());
    }

    // The driver is the library its entry loads, whatever name it is
    // registered under: FreeTDS under Driver 18's name is spoken to as
    // FreeTDS, so Mandatory is kept (no login in clear to a server without
    // TLS), and a library the program does not know is refused Mandatory
    // before anything is sent.
    void driverKnownByItsLibrary_data() {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("failure"); // after "OpenConnection: "
        QTest::newRow("FreeTDS registered as Driver 18")
            << "libtdsodbc.so"
            << "does not support encryption, and encryption is Mandatory";
        QTest::newRow("unknown library registered as Driver 18")
            << "/opt/elsewhere/libsqlsrv.so"
            << "The ODBC driver \"ODBC Driver 18 for SQL Server\" loads "
               "/opt/elsewhere/libsqlsrv.so, which this program does not recognise";
    }

    void driverKnownByItsLibrary() {
        QFETCH(QString, library);
        QFETCH(QString, failure);
        test::TempFolder drivers;
        drivers.write("odbcinst.ini",
                      "[ODBC Driver 18 for SQL Server]\nDriver=" + library.toUtf8() + "\n");
        test::StandIn server(loaded("database.sql"));
        const Result result =
            runCli(connection(&server) << "--encryption"
                                       << "mandatory"
                                       << "--list",
                   m_data.folder(), 60000,
                   {{"ODBCSYSINI", drivers.folder()}, {"ODBCINSTINI", "odbcinst.ini"}});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.error.startsWith("quarvex-cli: LoadList: OpenConnection: ") &&
                     result.error.contains(failure),
                 qPrintable(result.error));
        QVERIFY(!server.logins().contains("clear"));
    }

    // Names reach the terminal escaped in every line, Key Order's status
    // among them: a table's name cannot send escape sequences.
    void statusLinesEscapeControlCharacters() {
        test::TempFolder schema;
        schema.write("escape.sql",
                     "create table [a\x1b[31mb] (id int not null primary key, up int null "
                     "references [a\x1b[31mb] (id))\nGO\n");
        test::StandInOptions options = loaded("database.sql");
        options.loadFiles = {schema.path("escape.sql")};
        test::StandIn server(options);
        test::TempFolder out;
        const Result result = script(out, {"--key-order", "table:dbo.a\\033[31mb"}, &server);
        QVERIFY2(result.error.contains("a\\033[31mb references itself"), qPrintable(result.error));
        QVERIFY(!result.error.contains(QChar(0x1b)));
    }

    // In a sticky folder (as /tmp) this user cannot remove another user's
    // file: the run names that user instead of failing without a reason or
    // waiting on a lock that never goes.
    void anotherUsersFileInAStickyFolderIsNamed_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("lock") << ".quarvex.lock";
        QTest::newRow("hidden file of a run") << ".Tables.sql.quarvex-new";
        QTest::newRow("script") << "Tables.sql";
    }

    void anotherUsersFileInAStickyFolderIsNamed() {
        QFETCH(QString, name);
        if (geteuid() != 0)
            QSKIP("Needs root, to run the program as another user");
        QTemporaryDir shared(QDir::tempPath() + "/quarvex-shared-XXXXXX");
        QVERIFY(chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        QFile::copy(m_data.path("empty.cfg"), shared.filePath("settings.cfg"));
        QFile::setPermissions(shared.filePath("settings.cfg"),
                              QFileDevice::ReadOwner | QFileDevice::ReadOther);
        QFile planted(shared.filePath(name));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.close();
        const Result result = test::runCli(
            {"--config", shared.filePath("settings.cfg"), "--server", m_server->serverText(),
             "--user", "loader", "--out", shared.path(), "table:dbo.Orders"},
            shared.path(), {{"QUARVEX_PASSWORD", password}, {"HOME", shared.path()}}, [] {
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    _exit(99);
            });
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.error.contains("The entry belongs to user root, and the folder's sticky "
                                       "bit keeps this run from replacing it\nquarvex-cli: \n"
                                       "quarvex-cli: [" +
                                       shared.filePath(name) + "]"),
                 qPrintable(result.error));
    }

    // A server that takes the connection and never answers: the 5-second
    // login time-out holds, and the driver does not try again with a TDS 5.0
    // login (type 0x02), which would wait for ever with the password in clear.
    void stalledLoginFailsWithinTheLoginTimeOut() {
        test::StandIn stalled({.sample = false, .stallLogin = true});
        const Result result = runCli(connection(&stalled) << "--list", m_data.folder(), 15000);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.error.startsWith("quarvex-cli: LoadList: OpenConnection: ") &&
                     result.error.contains("Timeout expired"),
                 qPrintable(result.error));
        QCOMPARE(stalled.openingPacketTypes(), QList<int>{0x12});
    }
};

QTEST_MAIN(CliTest)
#include "CliTest.moc"
