#include "io/TextFile.h"

#include "scripting/ProcedureError.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace quarvex {

namespace {

const QByteArray byteOrderMark("\xFF\xFE", 2);

QString fileContext(const QString& fileName) {
    return QStringLiteral("\r\n\r\n[") + fileName + QLatin1Char(']');
}

QByteArray encode(const QString& text, ScriptEncoding encoding) {
    if (encoding == ScriptEncoding::Unicode) {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return encoder(text);
    }
    QStringEncoder encoder(QStringConverter::System);
    return encoder(text);
}

// A file marked read-only would refuse the write (or, being replaced, pass its
// read-only mark on to the new file), so it is made writable first.
void makeWritable(const QString& fileName) {
    QFile file(fileName);
    if (file.exists() && !(file.permissions() & QFileDevice::WriteOwner))
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
}

// Writes every byte or raises the platform's reason. The device must be
// unbuffered: a buffered QSaveFile hands a short write at commit() back as
// success, which would leave a cut-off file in place of the old one.
void writeAll(QFileDevice& file, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            raise(file.errorString());
        done += written;
    }
}

} // namespace

ScriptEncoding TextFiles::encodingOf(const QString& fileName) const {
    if (fileName.endsWith(QLatin1String(".cfg"), Qt::CaseSensitive))
        return ScriptEncoding::Ansi;
    return m_scriptEncoding;
}

QString TextFiles::ReadFile(const QString& fileName) const {
    return reraisingAs(
        QStringLiteral("ReadFile"),
        [&] {
            QFile file(fileName);
            if (!file.open(QIODevice::ReadOnly))
                raise(file.errorString());
            const QByteArray bytes = file.readAll();
            if (file.error() != QFileDevice::NoError)
                raise(file.errorString());
            if (encodingOf(fileName) == ScriptEncoding::Ansi) {
                QStringDecoder decoder(QStringConverter::System);
                return QString(decoder(bytes));
            }
            if (bytes.size() < 2)
                raise(QStringLiteral("Input past end of file"));
            if (!bytes.startsWith(byteOrderMark))
                raise(QStringLiteral("Unicode signature not detected"));
            QStringDecoder decoder(QStringConverter::Utf16LE);
            return QString(decoder(bytes.mid(2)));
        },
        fileContext(fileName));
}

void TextFiles::WriteFile(const QString& fileName, const QString& text) const {
    reraisingAs(
        QStringLiteral("WriteFile"),
        [&] {
            QByteArray bytes;
            if (encodingOf(fileName) == ScriptEncoding::Unicode)
                bytes = byteOrderMark;
            bytes += encode(text, encodingOf(fileName));

            makeWritable(fileName);
            QSaveFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                raise(file.errorString());
            writeAll(file, bytes);
            if (!file.commit())
                raise(file.errorString());
        },
        fileContext(fileName));
}

void TextFiles::AppendFile(const QString& fileName, const QString& text) const {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            makeWritable(fileName);
            QFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
                raise(file.errorString());
            QByteArray bytes;
            const ScriptEncoding encoding = encodingOf(fileName);
            if (encoding == ScriptEncoding::Unicode && file.size() == 0)
                bytes = byteOrderMark;
            bytes += encode(text, encoding);
            writeAll(file, bytes);
        },
        fileContext(fileName));
}

} // namespace quarvex
