#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

namespace quarvex::test {

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    QString path(const QString& fileName) const { return m_dir.filePath(fileName); }
    QString folder() const { return m_dir.path(); }

    QByteArray bytes(const QString& fileName) const { return bytesAt(path(fileName)); }

    // Any file's bytes, empty when it cannot be read.
    static QByteArray bytesAt(const QString& filePath) {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void write(const QString& fileName, const QByteArray& content) const {
        QFile file(path(fileName));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace quarvex::test
