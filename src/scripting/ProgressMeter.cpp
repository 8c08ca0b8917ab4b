#include "scripting/ProgressMeter.h"

#include "model/Toolkit.h"

namespace quarvex {

namespace {

constexpr qint64 reportEveryMs = 100;

} // namespace

void ProgressMeter::start(Toolkit& toolkit, int entries, qint64 units) {
    m_toolkit = &toolkit;
    m_cancellation = &toolkit.cancellation();
    m_progress = RunProgress{};
    m_progress.entries = entries;
    m_progress.units = units;
    m_unitsBefore = 0;
    m_sinceReport.invalidate();
}

void ProgressMeter::beginEntry(const QString& name, qint64 units) {
    if (!m_toolkit)
        return;
    m_progress.name = name;
    ++m_progress.entry;
    m_progress.table = false;
    m_progress.rows = 0;
    m_progress.expectedRows = -1;
    m_entryUnits = units;
    report();
}

void ProgressMeter::beginRows(qint64 expectedRows) {
    if (!m_toolkit)
        return;
    m_progress.table = true;
    m_progress.expectedRows = expectedRows;
    // Told at once: nothing may follow for long, and a table's count is
    // worth seeing.
    m_sinceReport.invalidate();
    report();
}

void ProgressMeter::endEntry() {
    if (!m_toolkit)
        return;
    m_unitsBefore += m_entryUnits;
    m_progress.unitsDone = m_unitsBefore;
    m_entryUnits = 0;
}

// Skipped within a tenth of a second of the last report.
void ProgressMeter::report() {
    if (m_sinceReport.isValid() && m_sinceReport.elapsed() < reportEveryMs)
        return;
    m_sinceReport.start();
    // A table that turns out larger than counted fills its share, no more.
    m_progress.unitsDone = m_unitsBefore + qBound<qint64>(0, m_progress.rows, m_entryUnits);
    m_toolkit->setProgress(m_progress);
}

} // namespace quarvex
