// One tick on a long object list in the window's own list widget: the time
// from the user's check mark to the entry standing in its place.

#include "app/FrmQuarvex.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/SelectionOrder.h"
#include "model/RunState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

using namespace quarvex;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int entries = argc > 1 ? QString(argv[1]).toInt() : 30000;

    QTemporaryDir folder;
    FrmQuarvexServices services;
    services.settingsFile = folder.filePath("bench.cfg");
    services.showMessage = [](const QString&, MessageIcon, const QString&) {};
    services.loadList = [entries](Toolkit& toolkit, RunState&, const ConnectionSettings&,
                                  const CatalogueFilters&) -> std::optional<Failure> {
        ObjectList& list = toolkit.objectList();
        list.clear();
        for (int i = 0; i < entries; ++i)
            list.append(catalogueEntry(i < entries / 2 ? ObjectKind::Proc : ObjectKind::Table,
                                       QString("object%1").arg(i, 6, 10, QChar('0')), "dbo",
                                       i + 1));
        return std::nullopt;
    };
    FrmQuarvex window(services);
    window.show();
    window.cmdTab_Click(0);

    ObjectList& list = window.toolkit().objectList();
    QList<qint64> times;
    // Tick entries far down their group, the worst place: everything above
    // is scanned and the entry travels the whole way up.
    for (int round = 0; round < 5; ++round) {
        const int target = entries - 1 - round;
        QElapsedTimer timer;
        timer.start();
        list.setChecked(target, true);
        times.append(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    QTextStream(stdout) << "tick_ms " << double(times[times.size() / 2]) / 1e6 << "\n";
    return 0;
}
