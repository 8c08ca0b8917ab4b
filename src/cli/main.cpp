// quarvex-cli: the script run without a window, for shells and pipelines.

#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "base/Secrets.h"
#include "base/Version.h"
#include "catalogue/KeyOrder.h"
#include "catalogue/LoadList.h"
#include "catalogue/RowFilter.h"
#include "catalogue/SelectionOrder.h"
#include "cli/CliToolkit.h"
#include "cli/ObjectSelection.h"
#include "cli/PasswordInput.h"
#include "io/SettingsFile.h"
#include "io/SharedFolder.h"
#include "io/TextFile.h"
#include "model/OutputPath.h"
#include "model/RunState.h"
#include "model/SignalCancel.h"
#include "scripting/CreateScripts.h"
#include "scripting/ScriptContext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace quarvex;

namespace {

enum ExitCode { Success = 0, RunFailed = 1, UsageError = 2, Skipped = 3 };

struct UsageFailure {
    QString message;
};

[[noreturn]] void usage(const QString& message) {
    throw UsageFailure{message};
}

// A pair of opposite switches over one check box of the window, such as
// --alter and --create.
struct Toggle {
    const char* on;
    const char* onHelp;
    const char* off;
    const char* offHelp;
    int Settings::*checkBox;
};

const QList<Toggle>& toggles() {
    static const QList<Toggle> all = {
        {"alter", "Script ALTER rather than CREATE.", "create", "Script CREATE as stored.",
         &Settings::chkAlter},
        {"group", "Grouped deletes in reverse order instead of truncation.", "truncate",
         "Truncate each table before its inserts.", &Settings::chkGroup},
        {"encrypt", "Insert WITH ENCRYPTION into object scripts.", "no-encrypt",
         "Leave object scripts as stored.", &Settings::chkEncrypt},
        {"unicode", "Write the scripts as UTF-16 with byte-order mark.", "ansi",
         "Write the scripts in the system's 8-bit encoding.", &Settings::chkUnicode},
        {"newer-types",
         "Script date and time types, xml, alias, hierarchy, spatial and sql_variant types.",
         "no-newer-types", "Skip tables with such types.", &Settings::chkNewTypes},
        {"create-or-alter",
         "Script CREATE OR ALTER (SQL Server 2016 SP1 and later); wins over --alter.",
         "no-create-or-alter", "Script CREATE or ALTER as --alter and --create say.",
         &Settings::chkCreateOrAlter},
        {"merge", "Script rows as a merge on each table's key: update, insert, delete.", "no-merge",
         "Script rows as deletes and inserts.", &Settings::chkMerge},
        {"preview", "Script Tables.sql as a preview: it reports its changes, then rolls them back.",
         "no-preview", "Script Tables.sql to commit its changes.", &Settings::chkPreview},
    };
    return all;
}

// Both switches of each toggle, the one that stands without a settings file
// marked as the default.
QList<QCommandLineOption> toggleOptions() {
    const Settings defaults;
    const QString marked = QStringLiteral(" (Default, unless the settings file says otherwise.)");
    QList<QCommandLineOption> options;
    for (const Toggle& toggle : toggles()) {
        const bool onByDefault = defaults.*toggle.checkBox == Checked;
        options.append({toggle.on, QLatin1String(toggle.onHelp) + (onByDefault ? marked : "")});
        options.append({toggle.off, QLatin1String(toggle.offHelp) + (onByDefault ? "" : marked)});
    }
    return options;
}

// A pair of opposite switches, such as --alter and --create.
void applySwitch(const QCommandLineParser& parser, const QString& on, const QString& off,
                 int& checkState) {
    if (parser.isSet(on) && parser.isSet(off))
        usage(QStringLiteral("--%1 and --%2 exclude each other").arg(on, off));
    if (parser.isSet(on))
        checkState = Checked;
    if (parser.isSet(off))
        checkState = Unchecked;
}

// The variable goes from the environment in every case: no child inherits
// it. A login without a password given is asked for one at a terminal; in a
// script it would silently send an empty one, so it is refused there.
QString readPassword(const QCommandLineParser& parser, const QString& userId) {
    const bool inEnvironment = qEnvironmentVariableIsSet("QUARVEX_PASSWORD");
    QString fromEnvironment = takeEnvironmentVariable("QUARVEX_PASSWORD");
    if (parser.isSet("password-stdin")) {
        wipe(fromEnvironment);
        return cli::readPasswordLine();
    }
    if (inEnvironment || userId.isEmpty())
        return fromEnvironment;
    if (!cli::standardInputIsTerminal())
        usage(QLatin1String("No password for the login ") + userId +
              QLatin1String(": set QUARVEX_PASSWORD or give --password-stdin"));
    return cli::readPasswordLine();
}

int timeoutSeconds(const QString& text) {
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 0)
        usage(QLatin1String("--timeout takes a number of seconds, 0 for none: ") + text);
    return seconds;
}

Encryption encryptionNamed(const QString& name) {
    const QStringList names = {"optional", "mandatory", "strict"};
    const qsizetype index = names.indexOf(name.toLower());
    if (index < 0)
        usage(QLatin1String("--encryption takes optional, mandatory or strict: ") + name);
    return Encryption(index);
}

ConsistentRead consistentReadNamed(const QString& name) {
    const QStringList names = {"auto", "lock", "off"};
    const qsizetype index = names.indexOf(name.toLower());
    if (index < 0)
        usage(QLatin1String("--consistent-read takes auto, lock or off: ") + name);
    return ConsistentRead(index);
}

void applyEncryption(const QCommandLineParser& parser, ConnectionSettings& connection) {
    if (parser.isSet("encryption"))
        connection.encryption = encryptionNamed(parser.value("encryption"));
    if (parser.isSet("trust-server-certificate"))
        connection.trustServerCertificate = true;
    if (parser.isSet("ca-file"))
        connection.caFile = parser.value("ca-file");
    if (parser.isSet("host-name-in-certificate"))
        connection.hostNameInCertificate = parser.value("host-name-in-certificate");
}

// Before connecting, so that a folder that cannot be made costs no login.
void makeOutputFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return;
    if (info.exists())
        usage(QLatin1String("The output folder is a file: ") + QDir::toNativeSeparators(folder));
    if (!QDir().mkpath(folder))
        usage(QLatin1String("The output folder cannot be made: ") +
              QDir::toNativeSeparators(folder));
}

Settings settingsFrom(const QCommandLineParser& parser) {
    Settings settings;
    settings.outputPath = QDir::currentPath();
    QString configFile = parser.value("config");
    if (configFile.isEmpty())
        configFile = programSettingsFile();
    else if (!QFileInfo(configFile).isFile())
        usage(QLatin1String("No settings file at ") + configFile);
    if (const auto failure = failureOf([&] { ReadCfg(configFile, settings); }))
        usage(failure->description);
    // A settings file names the window's output folder; the command line
    // writes into the current folder unless told otherwise.
    settings.outputPath = QDir::currentPath();

    const auto take = [&](const char* option, QString& target) {
        if (parser.isSet(option))
            target = parser.value(option);
    };
    take("server", settings.connection.server);
    take("database", settings.connection.database);
    take("user", settings.connection.userId);
    take("out", settings.outputPath);
    take("table-filter", settings.filters.tables);
    take("proc-filter", settings.filters.procs);
    take("trigger-filter", settings.filters.triggers);
    take("view-filter", settings.filters.views);
    take("function-filter", settings.filters.functions);
    if (parser.isSet("timeout"))
        settings.connection.queryTimeoutSeconds = timeoutSeconds(parser.value("timeout"));
    applyEncryption(parser, settings.connection);
    if (parser.isSet("consistent-read"))
        settings.consistentRead = consistentReadNamed(parser.value("consistent-read"));
    settings.outputPath = trimmedOutputPath(settings.outputPath);
    // The window's viewer is for the window; a run from a script or a pipe
    // opens nothing.
    settings.viewer.clear();
    if (const auto failure = failureOf([&] { requireOutputFolder(settings.outputPath); }))
        usage(failure->description);
    if (!parser.isSet("list"))
        makeOutputFolder(settings.outputPath);
    for (const Toggle& toggle : toggles())
        applySwitch(parser, toggle.on, toggle.off, settings.*toggle.checkBox);
    settings.connection.password = readPassword(parser, settings.connection.userId);
    return settings;
}

void defineOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Writes the rows of tables and the source of procedures, triggers, views and functions "
        "of one SQL Server database into five script files.\n\n"
        "The password comes from QUARVEX_PASSWORD or, with --password-stdin, from the first "
        "line of standard input, asked for without echo at a terminal. An empty user means "
        "integrated login.");
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {{"v", "version"}, "Displays version information."},
        {"config", "Settings file in the window's format.", "file"},
        {"server", "Server (host, host,port or host\\instance).", "server"},
        {"database", "Database.", "database"},
        {"user", "SQL Server login; empty for integrated login.", "user"},
        {"password-stdin", "Read the password from standard input."},
        {"out", "Output folder (default: the current folder).", "folder"},
        {"timeout", "Seconds to wait for a silent server (default 600, 0: for ever).", "seconds"},
        {"encryption",
         "TLS for the connection: optional (as the server offers; the default), mandatory (the "
         "whole session, the certificate checked) or strict (TDS 8, Microsoft's Driver 18).",
         "level"},
        {"trust-server-certificate",
         "Encrypt without checking the server's certificate (a self-signed server)."},
        {"ca-file", "PEM file of the authority that signed the server's certificate.", "file"},
        {"host-name-in-certificate", "Name the server's certificate must carry.", "name"},
        {"consistent-read",
         "How the tables' rows are read: auto (from one snapshot where the database allows "
         "snapshot isolation, else table by table; the default), lock (under shared table locks "
         "held to the end, which make writers wait) or off (table by table).",
         "mode"},
    };
    const CatalogueFilters filters = Settings().filters;
    const auto byDefault = [](const QString& filter) {
        return QStringLiteral(" (default, unless the settings file says otherwise: %1).")
            .arg(filter);
    };
    const QList<QCommandLineOption> listing = {
        {"table-filter", "SQL condition for tables" + byDefault(filters.tables), "sql"},
        {"proc-filter", "SQL condition for procedures" + byDefault(filters.procs), "sql"},
        {"trigger-filter", "SQL condition for triggers" + byDefault(filters.triggers), "sql"},
        {"view-filter", "SQL condition for views" + byDefault(filters.views), "sql"},
        {"function-filter", "SQL condition for functions" + byDefault(filters.functions), "sql"},
        {"list", "Print the objects the window would list and stop: kind, owner, name and id, "
                 "separated by TABs. In owners and names a backslash, TAB, CR, LF or other "
                 "control character is written C-style: \\\\, \\t, \\r, \\n or \\ and three "
                 "octal digits."},
        {"all", "Script every listed object, in list order."},
        {"key-order", "Before the run, put the chosen tables in an order their foreign keys "
                      "can load in."},
        {"quiet", "Print only errors and the final summary."},
        {"progress", "Redraw one progress line on standard error even when it is not a "
                     "terminal (by default only at a terminal)."},
    };
    parser.addOptions(options);
    parser.addOptions(toggleOptions());
    parser.addOptions(listing);
    parser.addPositionalArgument(
        "object",
        "KIND:OWNER.NAME or id:NUMBER, in load order. A table may carry a row filter after the "
        "word where, in one argument: \"table:dbo.Orders where Region = 'EU'\"; with --all it "
        "gives that table its filter and keeps its place.",
        "[OBJECT...]");
}

// The object arguments with their row filters, each filter checked before
// anything connects.
QList<ObjectArgument> objectArguments(const QStringList& arguments) {
    QList<ObjectArgument> objects;
    for (const QString& argument : arguments) {
        const ObjectArgument object = splitObjectArgument(argument);
        if (!object.rowFilter.isEmpty()) {
            if (!object.name.startsWith(QLatin1String("table:")) &&
                !object.name.startsWith(QLatin1String("id:")))
                usage(QLatin1String("Only a table takes a row filter: ") + argument);
            if (const auto failure =
                    failureOf([&] { checkRowFilter(object.name, object.rowFilter); }))
                usage(failure->description);
        }
        objects.append(object);
    }
    return objects;
}

// Why a named object is not listed, from a second listing without filters,
// made only when a name is missing and then kept.
std::function<QString(const QString&)> explainMissing(const Settings& settings) {
    auto unfiltered = std::make_shared<std::optional<cli::CliToolkit>>();
    return [settings, unfiltered](const QString& name) -> QString {
        if (!unfiltered->has_value()) {
            unfiltered->emplace().echoStatus = false;
            RunState quiet;
            if (LoadList(**unfiltered, quiet, settings.connection, CatalogueFilters{}))
                return QStringLiteral("whether it exists could not be told");
        }
        return cli::whyNotListed(name, (*unfiltered)->list, settings.filters);
    };
}

// The named objects in the order named, each given its row filter where it
// stands in the list.
QList<ObjectRef> chooseObjects(cli::CliToolkit& toolkit, RunState& runState,
                               const QList<ObjectArgument>& objects, const Settings& settings) {
    QStringList names;
    for (const ObjectArgument& object : objects)
        names.append(object.name);
    QList<ObjectRef> refs = cli::selectObjects(toolkit.list, names, explainMissing(settings));
    for (qsizetype i = 0; i < refs.size(); ++i) {
        if (objects[i].rowFilter.isEmpty())
            continue;
        RowFilter(toolkit, runState, cli::positionOf(toolkit.list, refs[i]), objects[i].rowFilter);
        refs[i].rowFilter = objects[i].rowFilter;
    }
    return refs;
}

// Writes text to standard output; a write that fails (a full disk, a closed
// pipe) fails the program, since the reader would take what it got for all.
int printed(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    int error = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        error = errno;
    if (error == 0)
        return Success;
    QTextStream(stderr) << cli::prefixedLines(
        QLatin1String("Standard output could not be written: ") +
        QString::fromLocal8Bit(std::strerror(error)));
    return RunFailed;
}

const char* const exitStatuses =
    "\nExit status:\n"
    "  0  every chosen object was scripted (or --list printed the list)\n"
    "  1  the run failed: no connection, a refused query, a file that "
    "cannot be written\n"
    "  2  a usage error; nothing was written\n"
    "  3  the run finished, and some objects were skipped with a note "
    "in their script file\n"
    "  129, 130, 143  SIGHUP, SIGINT or SIGTERM stopped it; the script files are "
    "unchanged\n";

// A password typed on the command line is seen by every user of the machine
// in the process list, so the option does not exist; its name gets a hint.
void refusePasswordOption(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return;
        if (argument == QLatin1String("--password") || argument.startsWith("--password="))
            usage("--password is not accepted: other users can read a command line. Set "
                  "QUARVEX_PASSWORD or give --password-stdin");
    }
}

// A terminal gets one line drawn again in place; a log or a pipe gets lines
// that stay, a few of them only.
cli::ProgressShown progressShown(const QCommandLineParser& parser) {
    if (parser.isSet("quiet"))
        return cli::ProgressShown::Nothing;
    if (parser.isSet("progress") || isatty(STDERR_FILENO))
        return cli::ProgressShown::RedrawnLine;
    return cli::ProgressShown::StillLines;
}

int run(QCoreApplication& app) {
    QCommandLineParser parser;
    defineOptions(parser);
    refusePasswordOption(app.arguments());
    if (!parser.parse(app.arguments()))
        usage(parser.errorText());
    if (parser.isSet("help"))
        return printed(parser.helpText() + QLatin1String(exitStatuses));
    if (parser.isSet("version"))
        return printed(QStringLiteral("quarvex-cli " QUARVEX_VERSION "\n"));

    const QList<ObjectArgument> objects = objectArguments(parser.positionalArguments());
    const bool allFiltered = std::all_of(objects.begin(), objects.end(), [](const auto& object) {
        return !object.rowFilter.isEmpty();
    });
    const bool named = !objects.isEmpty() && !(parser.isSet("all") && allFiltered);
    const int modes = int(parser.isSet("list")) + int(parser.isSet("all")) + int(named);
    if (modes != 1)
        usage("Give exactly one of --list, --all or object names (with --all, only tables "
              "with a row filter)");
    if (parser.isSet("list") && parser.isSet("key-order"))
        usage("--key-order orders the objects to script, not the listing");
    // Before the settings, so that a mistyped name costs no connection and
    // no notice of the output folder.
    QStringList names;
    for (const ObjectArgument& object : objects)
        names.append(object.name);
    if (const auto failure = failureOf([&] { cli::checkObjectNames(names); }))
        usage(failure->description);
    if (parser.isSet("quiet") && parser.isSet("progress"))
        usage("--quiet and --progress exclude each other");
    cli::CliToolkit toolkit(progressShown(parser));
    // From here on a signal ends the run as a failure ends it.
    const SignalCancel signalCancel(toolkit.cancellation());
    const Settings settings = settingsFrom(parser);

    RunState runState;
    if (!parser.isSet("out") && !parser.isSet("list") && !parser.isSet("quiet"))
        toolkit.printLine(
            QLatin1String("No --out given; writing the scripts into the current folder ") +
            QDir::toNativeSeparators(settings.outputPath));
    toolkit.list.onItemCheck = [&](int item) { lstNames_ItemCheck(toolkit, runState, item); };
    // A folder where others could swap the files for links is refused
    // before any connection.
    if (!parser.isSet("list"))
        if (const auto failure = failureOf([&] { requireUnsharedFolder(settings.outputPath); })) {
            toolkit.printLine(failure->description);
            return RunFailed;
        }

    toolkit.echoStatus = false;
    const auto listingFailure = LoadList(toolkit, runState, settings.connection, settings.filters);
    toolkit.echoStatus = true;
    if (listingFailure && signalCancel.signal()) {
        toolkit.printLine(toolkit.status());
        return signalCancel.exitStatus();
    }
    if (listingFailure)
        return RunFailed;

    if (parser.isSet("list")) {
        QString listing;
        for (int i = 0; i < toolkit.list.count(); ++i) {
            const ObjectRef object = toolkit.list.entry(i).object;
            listing += cli::listingKindWord(object.kind) + u'\t' + cEscaped(object.owner) + u'\t' +
                       cEscaped(object.name) + u'\t' + QString::number(object.id) + u'\n';
        }
        // How many there are, and what the filters hide, apart from the listing.
        toolkit.printLine(toolkit.status());
        return printed(listing);
    }

    QList<ObjectRef> chosen;
    if (const auto failure =
            failureOf([&] { chosen = chooseObjects(toolkit, runState, objects, settings); }))
        usage(failure->description);
    if (parser.isSet("all")) {
        for (int i = 0; i < toolkit.list.count(); ++i)
            toolkit.list.setChecked(i, true);
    } else {
        for (const ObjectRef& object : chosen)
            toolkit.list.setChecked(cli::positionOf(toolkit.list, object), true);
    }

    // Its status line goes to standard error with the other progress.
    const auto keyOrderFailure = parser.isSet("key-order")
                                     ? failureOf([&] { KeyOrder(toolkit, runState, settings); })
                                     : std::nullopt;
    if (keyOrderFailure) {
        toolkit.printLine(keyOrderFailure->description);
        return RunFailed;
    }

    ScriptContext context{toolkit, runState, settings};
    RunSummary summary;
    if (const auto failure = failureOf([&] { summary = CreateScripts(context); })) {
        // A cancelled run has said so on its status line, unless quiet.
        if (failure->kind == FailureKind::Cancelled) {
            if (parser.isSet("quiet"))
                toolkit.printLine(failure->description);
            return signalCancel.signal() ? signalCancel.exitStatus() : RunFailed;
        }
        toolkit.printLine(failure->description);
        toolkit.printLine(QStringLiteral("The script files in the output folder are unchanged."));
        return RunFailed;
    }
    toolkit.eraseProgressLine();
    if (parser.isSet("quiet"))
        toolkit.printLine(toolkit.status());
    // Its status line has said so.
    if (summary.nothingTicked)
        return UsageError;
    return summary.skipped > 0 ? Skipped : Success;
}

// Qt's own warnings go to standard error too, behind the name like ours.
void prefixedQtMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    std::fputs(cli::prefixedLines(message).toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char* argv[]) {
    keepMemoryOutOfCoreDumps();
    qInstallMessageHandler(prefixedQtMessage);
    failWritesPastFileSizeLimit();
    QCoreApplication app(argc, argv);
    setProgramIdentity();
    try {
        return run(app);
    } catch (const UsageFailure& failure) {
        QTextStream(stderr) << cli::prefixedLines(failure.message)
                            << cli::prefixedLines(QStringLiteral("Try 'quarvex-cli --help'."));
        return UsageError;
    }
}
