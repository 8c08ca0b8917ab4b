#include "standin/log/BatchLog.h"

namespace quarvex::standin {

BatchLog::BatchLog(const QString& path)
    : m_file(path) {
    if (!path.isEmpty())
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void BatchLog::write(const char* kind, int spid, const QString& text) {
    if (!m_file.isOpen())
        return;
    const QByteArray bytes = text.toUtf8();
    m_file.write(QStringLiteral("@@%1 %2 %3\n")
                     .arg(QLatin1String(kind))
                     .arg(spid)
                     .arg(bytes.size())
                     .toUtf8());
    m_file.write(bytes);
    m_file.write("\n");
    m_file.flush();
}

QStringList BatchLog::read(const QString& path, const QByteArray& kind) {
    QFile file(path);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    const QByteArray all = file.readAll();
    qsizetype at = 0;
    while (at < all.size()) {
        const qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            break;
        const QList<QByteArray> header = all.mid(at, end - at).split(' ');
        if (header.size() != 3 || !header[0].startsWith("@@"))
            break;
        const qsizetype size = header[2].toLongLong();
        if (header[0].mid(2) == kind)
            texts.append(QString::fromUtf8(all.mid(end + 1, size)));
        at = end + 1 + size + 1;
    }
    return texts;
}

} // namespace quarvex::standin
