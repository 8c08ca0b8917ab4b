// The processor time a run's progress costs per row: the counter, the
// cancel flag, a look at the clock every few rows and, ten times a second,
// the command line's line drawn again. run.sh sets it against quarvex-cli's
// whole processor time per row.

#include "cli/CliToolkit.h"
#include "scripting/ProgressMeter.h"

#include <QCoreApplication>
#include <QTextStream>
#include <ctime>

using namespace quarvex;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QString(argv[1]).toLongLong() : 200'000'000;

    // Drawn to standard error, which run.sh throws away.
    cli::CliToolkit toolkit(cli::ProgressShown::RedrawnLine);
    ProgressMeter meter;
    meter.start(toolkit, 1, rows);
    meter.beginEntry(QStringLiteral("BenchRows"), rows);
    meter.beginRows(rows);
    const std::clock_t start = std::clock();
    for (qint64 row = 0; row < rows; ++row)
        meter.row();
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    meter.endEntry();
    QTextStream(stdout) << "progress_ns " << seconds * 1e9 / double(rows) << "\n";
    return 0;
}
