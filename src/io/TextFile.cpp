#include "io/TextFile.h"

#include "base/ProcedureError.h"
#include "io/CreatedFiles.h"
#include "io/SharedFolder.h"

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

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
// read-only mark on to the new file), so it is made writable first: on the
// descriptor of the file itself, never through a link standing at the name.
void makeWritable(const QString& fileName) {
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(fileName).constData(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat info {};
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))
        ::fchmod(descriptor, (info.st_mode & 07777) | S_IWUSR);
    ::close(descriptor);
#else
    QFile file(fileName);
    if (file.exists() && !(file.permissions() & QFileDevice::WriteOwner))
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
#endif
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

void seekTo(QFileDevice& file, qint64 position) {
    if (!file.seek(position))
        raise(file.errorString(), FailureKind::FileWrite);
}

// Copies what is left of an open source in pieces, so that a large file never
// has to fit in memory.
void copyRest(QFileDevice* source, QFileDevice& target) {
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

// The file replaced by the bytes, through its open descriptor.
void rewrite(QFileDevice& file, const QByteArray& bytes) {
    if (!file.resize(0))
        raise(file.errorString(), FailureKind::FileWrite);
    seekTo(file, 0);
    writeAll(file, bytes);
}

// The file replaced by the text: written beside the old file, which it
// replaces in one step only when complete.
void replaceWith(const QString& fileName, ScriptEncoding encoding, const QString& text) {
    reraisingAs(
        QStringLiteral("WriteFile"),
        [&] {
            makeWritable(fileName);
            QSaveFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                raise(file.errorString(), FailureKind::FileWrite);
            writeAll(file, fileBytes(text, encoding));
            if (!file.commit())
                raise(file.errorString(), FailureKind::FileWrite);
        },
        fileContext(fileName));
}

// The text added at the end of the file; the mark goes only into an empty
// file. What is added is one block of a script: a failure part way cuts the
// file back to its old length, so that no cut-off statement is left to look
// like a complete one.
void appendTo(QFileDevice& file, ScriptEncoding encoding, const QString& text) {
    const qint64 oldLength = file.size();
    try {
        seekTo(file, oldLength);
        writeAll(file, oldLength == 0 ? fileBytes(text, encoding) : encode(text, encoding));
    } catch (...) {
        file.resize(oldLength);
        throw;
    }
}

// Creates the file named by file anew, open for writing, with the bytes.
void createNew(QFile& file, const QString& fileName, const QByteArray& bytes) {
    reraisingAs(
        QStringLiteral("WriteNewFile"),
        [&] {
            // Removing a link removes the link, not its target; creating
            // exclusively then refuses anything that appeared in between.
            removeEntry(fileName);
            openNewFile(file, fileName, QIODevice::ReadWrite);
            writeAll(file, bytes);
        },
        fileContext(fileName));
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
            QByteArray bytes;
            if (QFile* created = createdFile(fileName)) {
                seekTo(*created, 0);
                bytes = created->readAll();
                if (created->error() != QFileDevice::NoError)
                    raise(created->errorString());
            } else {
                QFile file(fileName);
                if (!file.open(QIODevice::ReadOnly))
                    raise(file.errorString());
                bytes = file.readAll();
                if (file.error() != QFileDevice::NoError)
                    raise(file.errorString());
            }
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
    const ScriptEncoding encoding = encodingOf(fileName);
    if (QFile* created = createdFile(fileName))
        return reraisingAs(
            QStringLiteral("WriteFile"), [&] { rewrite(*created, fileBytes(text, encoding)); },
            fileContext(fileName));
    replaceWith(fileName, encoding, text);
}

void TextFiles::WriteNewFile(const QString& fileName, const QString& text) const {
    const QByteArray bytes = fileBytes(text, encodingOf(fileName));
    if (!m_created) {
        QFile file;
        createNew(file, fileName, bytes);
        return;
    }
    reraisingAs(
        QStringLiteral("WriteNewFile"), [&] { writeAll(m_created->create(fileName), bytes); },
        fileContext(fileName));
}

void TextFiles::AppendFile(const QString& fileName, const QString& text) const {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            if (QFile* created = createdFile(fileName))
                return appendTo(*created, encodingOf(fileName), text);
            makeWritable(fileName);
            QFile file(fileName);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
                raise(file.errorString(), FailureKind::FileWrite);
            appendTo(file, encodingOf(fileName), text);
        },
        fileContext(fileName));
}

void TextFiles::requireReplaceable(const QString& fileName) const {
    reraisingAs(
        QStringLiteral("WriteFile"),
        [&] {
            requireReplaceableEntry(fileName);
            const QFileInfo info(fileName);
            // A link there is replaced by the move, never followed.
            if (info.isSymLink())
                return;
            if (!info.exists()) {
                // A missing folder would fail the first write anyway.
                if (!info.dir().exists())
                    raise(QString::fromLocal8Bit(std::strerror(ENOENT)), FailureKind::FileWrite);
                return;
            }
            // The mark counts even where the system would let this user
            // write anyway (root): the user marked the file to be kept.
            if (!(info.permissions() & QFileDevice::WriteOwner))
                raise(QStringLiteral("The file is read-only"), FailureKind::FileWrite);
            if (!info.isWritable())
                raise(QString::fromLocal8Bit(std::strerror(EACCES)), FailureKind::FileWrite);
        },
        fileContext(fileName));
}

void TextFiles::MoveFile(const QString& from, const QString& to) const {
    reraisingAs(
        QStringLiteral("MoveFile"),
        [&] {
            requireReplaceableEntry(to);
            if (m_created && m_created->find(from))
                return m_created->moveIntoPlace(from, to);
            // A file left by an earlier run: only a file of this user's, never
            // a link, takes a script's place.
            requireReplaceableEntry(from);
            if (QFileInfo(from).isSymLink())
                raise(QStringLiteral("The file to move is a link"), FailureKind::FileWrite);
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

bool TextFiles::RemoveFile(const QString& fileName) const {
    if (m_created)
        return m_created->remove(fileName);
    return !failureOf([&] { removeEntry(fileName); });
}

QFile* TextFiles::createdFile(const QString& fileName) const {
    if (!m_created)
        return nullptr;
    if (QFile* file = m_created->find(fileName))
        return file;
    raise(QStringLiteral("The file was not created by this run"), FailureKind::FileWrite);
}

BlockAppender::BlockAppender(const TextFiles& files, const QString& fileName, const QString& head)
    : m_fileName(fileName)
    , m_encoding(files.encodingOf(fileName)) {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            m_file = files.createdFile(fileName);
            if (!m_file) {
                makeWritable(fileName);
                m_ownFile = std::make_unique<QFile>(fileName);
                if (!m_ownFile->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
                    raise(m_ownFile->errorString(), FailureKind::FileWrite);
                m_file = m_ownFile.get();
            }
            m_start = m_file->size();
            seekTo(*m_file, m_start);
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
    changeBlock([&] { writeAll(*m_file, bytes); });
}

void BlockAppender::finish(const QString& finalHead, const QString& scratchFile) {
    const QByteArray head = headBytes(finalHead);
    changeBlock([&] {
        if (head.size() != m_headSize) {
            moveRestBehind(head, scratchFile);
        } else {
            seekTo(*m_file, m_start);
            writeAll(*m_file, head);
        }
    });
    release();
}

// Any failure of a change takes the whole block back.
void BlockAppender::changeBlock(const std::function<void()>& change) {
    reraisingAs(
        QStringLiteral("AppendFile"),
        [&] {
            if (!m_file)
                raise(QStringLiteral("The file is closed"), FailureKind::FileWrite);
            try {
                change();
            } catch (...) {
                discard();
                throw;
            }
        },
        fileContext(m_fileName));
}

// The block's rest goes into the scratch file and comes back behind the new
// head; the file is cut back to the block's start in between. The scratch
// file is created anew and read back through the same descriptor.
void BlockAppender::moveRestBehind(const QByteArray& head, const QString& scratchFile) {
    QFile scratch;
    createNew(scratch, scratchFile, QByteArray());
    seekTo(*m_file, m_start + m_headSize);
    copyRest(m_file, scratch);
    seekTo(scratch, 0);
    if (!m_file->resize(m_start))
        raise(m_file->errorString(), FailureKind::FileWrite);
    seekTo(*m_file, m_start);
    writeAll(*m_file, head);
    copyRest(&scratch, *m_file);
    scratch.close();
    removeEntry(scratchFile);
}

void BlockAppender::discard() {
    if (!m_file)
        return;
    m_file->resize(m_start);
    release();
}

// A file of the run's own stays open for the appends after the block.
void BlockAppender::release() {
    if (m_ownFile)
        m_ownFile->close();
    m_file = nullptr;
}

void failWritesPastFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace quarvex
