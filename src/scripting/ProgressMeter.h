#pragma once

#include "model/Cancellation.h"
#include "model/RunProgress.h"

#include <QElapsedTimer>
#include <QString>

namespace quarvex {

class Toolkit;

// Counts a script run's work and tells the toolkit where it stands, at most
// ten times a second, and at once when a table's rows begin. Per row it costs a counter and the
// cancel flag; the clock is looked at every few rows only. Until started it counts nothing.
class ProgressMeter {
public:
    // A run of entries ticked entries, worth units in all.
    void start(Toolkit& toolkit, int entries, qint64 units);

    // The next entry, worth units of the whole.
    void beginEntry(const QString& name, qint64 units);
    // Its rows are read next; expectedRows is -1 when unknown.
    void beginRows(qint64 expectedRows);
    // One row was read. Raises the cancelled failure when the run was
    // asked to stop.
    void row() {
        if (!m_toolkit)
            return;
        ++m_progress.rows;
        if (m_cancellation->isCancelled())
            raiseCancelled();
        if ((m_progress.rows & (rowsPerClockLook - 1)) == 0)
            report();
    }
    void endEntry();

private:
    static constexpr qint64 rowsPerClockLook = 16;

    void report();

    Toolkit* m_toolkit = nullptr;
    const Cancellation* m_cancellation = nullptr;
    RunProgress m_progress;
    qint64 m_entryUnits = 0;
    qint64 m_unitsBefore = 0; // of the entries finished
    QElapsedTimer m_sinceReport;
};

} // namespace quarvex
