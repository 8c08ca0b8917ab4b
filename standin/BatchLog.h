#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace quarvex::standin {

// Records every SQL batch received, so that tests can see exactly what a
// client sent. Each record is a line "@@batch <spid> <bytes>", then the
// batch in UTF-8, then a line break.
class BatchLog {
public:
    explicit BatchLog(const QString& path);
    bool isOpen() const { return m_file.isOpen(); }
    void record(int spid, const QString& batch);

    static QStringList read(const QString& path);

private:
    QFile m_file;
};

} // namespace quarvex::standin
