#include "io/TextFile.h"

#include "base/ProcedureError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>

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

bool systemEncodingIsUtf8() {
    static const bool utf8 = [] {
        QStringEncoder encoder(QStringConverter::System);
        return QByteArray(encoder(QStringView(u"\u00E9\u20AC"))) == "\xC3\xA9\xE2\x82\xAC";
    }();
    return utf8;
}

// The bytes of a whole file holding the text.
QByteArray fileBytes(const QString& text, ScriptEncoding encoding) {
    QByteArray bytes = encoding == ScriptEncoding::Unicode ? byteOrderMark : QByteArray();
    bytes += encode(text, encoding);
    return bytes;
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
void writeAll(QFileDevice& file, QByteArrayView bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            raise(file.errorString(), FailureKind::FileWrite);
        done += written;
    }
}

// Opens source positioned just after its byte-order mark (if any) and the
// encoded head; false when the file does not begin that way.
bool openAfterHead(QFile& source, ScriptEncoding encoding, const QString& head) {
    QByteArray expected = encoding == ScriptEncoding::Unicode ? byteOrderMark : QByteArray();
    expected += encode(head, encoding);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    if (source.read(expected.size()) == expected)
        return true;
    source.close();
    return false;
}

// Copies what is left of an open source in pieces, so that a large file never
// has to fit in memory.
void copyRest(QFile* source, QFileDevice& target) {
    if (!source)
        return;
    constexpr qint64 pieceSize = 1 << 20;
    while (!source->atEnd()) {
        const QByteArray piece = source->read(pieceSize);
        if (piece.isEmpty() && source->error() != QFileDevice::NoError)
            raise(source->errorString());
        writeAll(target, piece);
    }
}

// The file replaced by the text and the rest of source: written beside the
// old file, which it replaces in one step only when complete.
void replaceWith(const QString& fileName, ScriptEncoding encoding, const QString& text,
                 QFile* rest) {
    reraisingAs(
        QStringLiteral("WriteFile"),
        [&] {
            makeWritable(fileName);
            QSaveFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                raise(file.errorString(), FailureKind::FileWrite);
            writeAll(file, fileBytes(text, encoding));
            copyRest(rest, file);
            if (!file.commit())
                raise(file.errorString(), FailureKind::FileWrite);
        },
        fileContext(fileName));
}

// The text and the rest of source added at the end of the file; the mark
// goes only into an empty file. What is added is one block of a script: a
// failure part way cuts the file back to its old length, so that no cut-off
// statement is left to look like a complete one.
void appendWith(const QString& fileName, ScriptEncoding encoding, const QString& text,
                QFile* rest) {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            makeWritable(fileName);
            QFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
                raise(file.errorString(), FailureKind::FileWrite);
            const qint64 oldLength = file.size();
            try {
                writeAll(file, oldLength == 0 ? fileBytes(text, encoding) : encode(text, encoding));
                copyRest(rest, file);
            } catch (...) {
                file.resize(oldLength);
                throw;
            }
        },
        fileContext(fileName));
}

// Creates the file named by file anew, open for writing, with the bytes.
void createNew(QFile& file, const QByteArray& bytes) {
    reraisingAs(
        QStringLiteral("WriteNewFile"),
        [&] {
            // Removing a link removes the link, not its target; creating
            // exclusively then refuses anything that appeared in between.
            QFile old(file.fileName());
            const bool removed = old.remove();
            if (!file.open(QIODevice::NewOnly | QIODevice::Unbuffered))
                raise(removed ? file.errorString() : old.errorString(), FailureKind::FileWrite);
            writeAll(file, bytes);
        },
        fileContext(file.fileName()));
}

} // namespace

ScriptEncoding TextFiles::encodingOf(const QString& fileName) const {
    if (fileName.endsWith(QLatin1String(".cfg"), Qt::CaseSensitive))
        return ScriptEncoding::Ansi;
    return m_scriptEncoding;
}

bool TextFiles::writesUtf8(const QString& fileName) const {
    return encodingOf(fileName) == ScriptEncoding::Ansi && systemEncodingIsUtf8();
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
    replaceWith(fileName, encodingOf(fileName), text, nullptr);
}

void TextFiles::WriteNewFile(const QString& fileName, const QString& text) const {
    QFile file(fileName);
    createNew(file, fileBytes(text, encodingOf(fileName)));
}

void TextFiles::AppendFile(const QString& fileName, const QString& text) const {
    appendWith(fileName, encodingOf(fileName), text, nullptr);
}

void TextFiles::ReplaceFileHead(const QString& fileName, const QString& oldHead,
                                const QString& newHead) const {
    const ScriptEncoding encoding = encodingOf(fileName);
    QFile source(fileName);
    if (!openAfterHead(source, encoding, oldHead)) {
        QString text = ReadFile(fileName);
        if (text.startsWith(oldHead))
            text.replace(0, oldHead.size(), newHead);
        WriteFile(fileName, text);
        return;
    }
    replaceWith(fileName, encoding, newHead, &source);
}

void TextFiles::requireReplaceable(const QString& fileName) const {
    reraisingAs(
        QStringLiteral("WriteFile"),
        [&] {
            QFile file(fileName);
            if (!file.exists()) {
                // A missing folder would fail the first write anyway.
                if (!QFileInfo(fileName).dir().exists())
                    raise(QString::fromLocal8Bit(std::strerror(ENOENT)), FailureKind::FileWrite);
                return;
            }
            // The mark counts even where the system would let this user
            // write anyway (root): the user marked the file to be kept.
            if (!(file.permissions() & QFileDevice::WriteOwner))
                raise(QStringLiteral("The file is read-only"), FailureKind::FileWrite);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
                raise(file.errorString(), FailureKind::FileWrite);
        },
        fileContext(fileName));
}

void TextFiles::MoveFile(const QString& from, const QString& to) const {
    reraisingAs(
        QStringLiteral("MoveFile"),
        [&] {
            // QFile::rename refuses an existing target; rename(2) replaces it
            // atomically, and a link standing there is replaced, not followed.
            std::error_code error;
            std::filesystem::rename(QFile::encodeName(from).toStdString(),
                                    QFile::encodeName(to).toStdString(), error);
            if (error)
                raise(QString::fromStdString(error.message()), FailureKind::FileWrite);
        },
        fileContext(to));
}

BlockAppender::BlockAppender(const TextFiles& files, const QString& fileName, const QString& head)
    : m_file(fileName)
    , m_encoding(files.encodingOf(fileName)) {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            makeWritable(fileName);
            if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
                raise(m_file.errorString(), FailureKind::FileWrite);
            m_start = m_file.size();
            if (!m_file.seek(m_start))
                raise(m_file.errorString(), FailureKind::FileWrite);
        },
        fileContext(fileName));
    const QByteArray bytes = headBytes(head);
    appendBytes(bytes);
    m_headSize = bytes.size();
}

// The mark goes only at the start of the file.
QByteArray BlockAppender::headBytes(const QString& head) const {
    return m_start == 0 ? fileBytes(head, m_encoding) : encode(head, m_encoding);
}

void BlockAppender::append(const QString& text) {
    appendBytes(encode(text, m_encoding));
}

void BlockAppender::appendUtf8(QByteArrayView bytes) {
    if (m_encoding != ScriptEncoding::Ansi || !systemEncodingIsUtf8())
        raise(QStringLiteral("AppendFile: The file is not written in UTF-8"));
    appendBytes(bytes);
}

void BlockAppender::appendBytes(QByteArrayView bytes) {
    changeBlock([&] { writeAll(m_file, bytes); });
}

void BlockAppender::finish(const QString& finalHead, const QString& scratchFile) {
    const QByteArray head = headBytes(finalHead);
    changeBlock([&] {
        if (head.size() != m_headSize) {
            moveRestBehind(head, scratchFile);
        } else {
            if (!m_file.seek(m_start))
                raise(m_file.errorString(), FailureKind::FileWrite);
            writeAll(m_file, head);
        }
    });
    m_file.close();
}

// Any failure of a change takes the whole block back.
void BlockAppender::changeBlock(const std::function<void()>& change) {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            if (!m_file.isOpen())
                raise(QStringLiteral("The file is closed"), FailureKind::FileWrite);
            try {
                change();
            } catch (...) {
                discard();
                throw;
            }
        },
        fileContext(m_file.fileName()));
}

// The block's rest goes into the scratch file and comes back behind the new
// head; the file is cut back to the block's start in between.
void BlockAppender::moveRestBehind(const QByteArray& head, const QString& scratchFile) {
    QFile scratch(scratchFile);
    createNew(scratch, QByteArray());
    if (!m_file.seek(m_start + m_headSize))
        raise(m_file.errorString(), FailureKind::FileWrite);
    copyRest(&m_file, scratch);
    scratch.close();
    if (!scratch.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        raise(scratch.errorString(), FailureKind::FileWrite);
    if (!m_file.resize(m_start) || !m_file.seek(m_start))
        raise(m_file.errorString(), FailureKind::FileWrite);
    writeAll(m_file, head);
    copyRest(&scratch, m_file);
    scratch.close();
    scratch.remove();
}

void BlockAppender::discard() {
    if (!m_file.isOpen())
        return;
    m_file.resize(m_start);
    m_file.close();
}

void failWritesPastFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace quarvex
