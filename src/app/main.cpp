#include "app/FrmQuarvex.h"
#include "base/Secrets.h"
#include "base/Version.h"
#include "io/SettingsFile.h"
#include "io/TextFile.h"
#include "model/SignalCancel.h"

#include <QApplication>
#include <QByteArrayView>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

namespace {

// --help and --version are answered without a window, so that they work
// where there is no display; the manual page is made from them.
bool asksForHelpOrVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView argument(argv[i]);
        if (argument == "--help" || argument == "-h" || argument == "--help-all" ||
            argument == "--version" || argument == "-v")
            return true;
    }
    return false;
}

int answerWithoutWindow(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    quarvex::setProgramIdentity();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the tables, procedures, triggers, views and scalar functions of one SQL Server "
        "database and writes the ticked ones into five script files: the rows of the tables as "
        "inserts, and the source text of the other objects.\n\n"
        "The settings of the window, all but the password, are kept in quarvex.cfg in the "
        "user's configuration folder; quarvex-cli reads the same file."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app); // prints and exits
    return 0;
}

// Where no display can be opened, Qt's platform plugin ends the program with
// an abort and advice to reinstall it. While the application starts, its
// messages are held back, and a fatal one becomes one line and exit status 1.
void startupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (QByteArrayView(context.category ? context.category : "").startsWith("qt.qpa"))
            return;
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray shown = !wayland.isEmpty() ? "WAYLAND_DISPLAY=" + wayland
                             : !display.isEmpty()
                                 ? "DISPLAY=" + display
                                 : QByteArray("neither DISPLAY nor WAYLAND_DISPLAY "
                                              "is set");
    std::fprintf(stderr,
                 "quarvex: No display to open the window on (%s); quarvex-cli works without "
                 "one.\n",
                 shown.constData());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[]) {
    if (asksForHelpOrVersion(argc, argv))
        return answerWithoutWindow(argc, argv);
    // The password box holds a password for as long as the window is open.
    quarvex::keepMemoryOutOfCoreDumps();
    quarvex::failWritesPastFileSizeLimit();
    const QtMessageHandler previous = qInstallMessageHandler(startupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    quarvex::setProgramIdentity();
    QGuiApplication::setDesktopFileName(QStringLiteral("quarvex"));
    quarvex::FrmQuarvex window;
    // SIGINT, SIGTERM and SIGHUP end the work under way as a failure ends
    // it, then the program; the watching thread hands them to the window.
    const quarvex::SignalCancel signalCancel(
        [&window] {
            QMetaObject::invokeMethod(&window, &quarvex::FrmQuarvex::stopForSignal,
                                      Qt::QueuedConnection);
        },
        [] {});
    window.show();
    const int status = QApplication::exec();
    return signalCancel.signal() ? signalCancel.exitStatus() : status;
}
