#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

namespace quarvex {

// Where a script run stands. Units count the rows of every ticked table
// and one per other object, so that a bar over them moves evenly.
struct RunProgress {
    QString name;             // the entry being scripted, in its shown form
    int entry = 0;            // its number among the ticked entries, from 1
    int entries = 0;          // the ticked entries
    bool table = false;       // whether rows are being read
    qint64 rows = 0;          // rows of this table read so far
    qint64 expectedRows = -1; // what the server said it holds; -1 when unknown
    qint64 unitsDone = 0;
    qint64 units = 0;
};

// The status text of a run's progress, with the pace of the current table:
// "Orders (3 of 12): 1 200 000 of 5 000 000 rows, 410 000 rows/s, about 9 s
// left". The pace is measured from the first report of each table.
class ProgressText {
public:
    QString text(const RunProgress& progress);

    // "still reading Orders: 1 200 000 of 5 000 000 rows"
    static QString stillReading(const RunProgress& progress);

    // 1200000 as "1 200 000".
    static QString grouped(qint64 number);

private:
    QString m_name;
    int m_entry = 0;
    QElapsedTimer m_tableClock;
};

} // namespace quarvex
