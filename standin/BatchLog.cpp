#include "BatchLog.h"

namespace quarvex::standin {

BatchLog::BatchLog(const QString& path)
    : m_file(path) {
    if (!path.isEmpty())
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void BatchLog::record(int spid, const QString& batch) {
    if (!m_file.isOpen())
        return;
    const QByteArray text = batch.toUtf8();
    m_file.write(QStringLiteral("@@batch %1 %2\n").arg(spid).arg(text.size()).toUtf8());
    m_file.write(text);
    m_file.write("\n");
    m_file.flush();
}

QStringList BatchLog::read(const QString& path) {
    QFile file(path);
    QStringList batches;
    if (!file.open(QIODevice::ReadOnly))
        return batches;
    const QByteArray all = file.readAll();
    qsizetype at = 0;
    while (at < all.size()) {
        const qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            break;
        const QList<QByteArray> header = all.mid(at, end - at).split(' ');
        if (header.size() != 3 || header[0] != "@@batch")
            break;
        const qsizetype size = header[2].toLongLong();
        batches.append(QString::fromUtf8(all.mid(end + 1, size)));
        at = end + 1 + size + 1;
    }
    return batches;
}

} // namespace quarvex::standin
