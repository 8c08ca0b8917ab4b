// Listing a large catalogue in the window: "Next Tab" on a database of many
// objects, with the status line repainted for every entry as the user sees it.

#include "app/FrmQuarvex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using namespace quarvex;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: quarvex-bench-list HOST,PORT\n";
        return 2;
    }
    QTemporaryDir folder;
    QFile settings(folder.filePath("bench.cfg"));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("txtUserID=bench\r\ntxtServer=" + QByteArray(argv[1]) +
                   "\r\ntxtProcFilt=\r\ntxtTrigFilt=\r\ntxtTblFilt=\r\ntxtViewFilt=\r\n"
                   "txtFuncFilt=\r\n");
    settings.close();

    FrmQuarvexServices services;
    services.settingsFile = settings.fileName();
    QString shown;
    services.showMessage = [&shown](const QString& text, MessageIcon, const QString&) {
        shown = text;
    };
    FrmQuarvex window(services);
    window.show();

    QElapsedTimer timer;
    timer.start();
    window.cmdTab_Click(0);
    const qint64 elapsed = timer.elapsed();
    if (!shown.isEmpty()) {
        QTextStream(stderr) << shown << "\n";
        return 1;
    }
    QTextStream(stdout) << "list_entries " << window.toolkit().objectList().count() << "\n"
                        << "list_s " << double(elapsed) / 1000.0 << "\n";
    return 0;
}
