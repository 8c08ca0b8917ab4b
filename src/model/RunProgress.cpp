#include "model/RunProgress.h"

namespace quarvex {

namespace {

QString rowsOf(const RunProgress& progress) {
    QString text = ProgressText::grouped(progress.rows);
    if (progress.expectedRows >= 0)
        text += QLatin1String(" of ") + ProgressText::grouped(progress.expectedRows);
    return text + QLatin1String(" rows");
}

QString timeLeft(double seconds) {
    if (seconds < 120)
        return QLatin1String("about ") + QString::number(qMax(1, qRound(seconds))) +
               QLatin1String(" s left");
    return QLatin1String("about ") + QString::number(qRound(seconds / 60)) +
           QLatin1String(" min left");
}

} // namespace

QString ProgressText::grouped(qint64 number) {
    QString digits = QString::number(qAbs(number));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return number < 0 ? QLatin1Char('-') + digits : digits;
}

QString ProgressText::stillReading(const RunProgress& progress) {
    return QLatin1String("still reading ") + progress.name + QLatin1String(": ") + rowsOf(progress);
}

QString ProgressText::text(const RunProgress& progress) {
    if (progress.name != m_name || progress.entry != m_entry) {
        m_name = progress.name;
        m_entry = progress.entry;
        m_tableClock.start();
    }
    QString text = progress.name + QLatin1String(" (") + QString::number(progress.entry) +
                   QLatin1String(" of ") + QString::number(progress.entries) + QLatin1Char(')');
    if (!progress.table)
        return text;
    text += QLatin1String(": ") + rowsOf(progress);
    // Under half a second the pace says little.
    const qint64 elapsedMs = m_tableClock.elapsed();
    if (elapsedMs < 500 || progress.rows <= 0)
        return text;
    const double perSecond = double(progress.rows) * 1000.0 / double(elapsedMs);
    text += QLatin1String(", ") + grouped(qRound64(perSecond)) + QLatin1String(" rows/s");
    if (progress.expectedRows > progress.rows)
        text += QLatin1String(", ") +
                timeLeft(double(progress.expectedRows - progress.rows) / perSecond);
    return text;
}

} // namespace quarvex
