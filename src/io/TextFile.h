#pragma once

#include <QFile>
#include <QString>
#include <functional>
#include <memory>

namespace quarvex {

class CreatedFiles;

// How script files are written: the system's 8-bit encoding (ANSI), or
// UTF-16 little-endian behind the byte-order mark FF FE (Unicode).
enum class ScriptEncoding { Ansi, Unicode };

// Every file of the program is read and written whole through this class;
// it alone decides the encoding of a file. A name ending in ".cfg" (lower
// case) is always ANSI; any other file follows the script encoding.
//
// Failures raise the procedure's name ("ReadFile: ", "AppendFile: ", ...) + the
// platform's description + CR LF CR LF + "[" + path + "]"; a file that
// cannot be written is a FileWrite failure.
//
// Given the files a script run creates, every file is written through the
// descriptor WriteNewFile created it with: nothing is reopened, or changed,
// by name, and a file the run did not create is not written at all.
class TextFiles {
public:
    explicit TextFiles(ScriptEncoding scriptEncoding = ScriptEncoding::Ansi,
                       std::shared_ptr<CreatedFiles> created = {})
        : m_scriptEncoding(scriptEncoding)
        , m_created(std::move(created)) {}

    ScriptEncoding encodingOf(const QString& fileName) const;

    // Whether the file's bytes are UTF-8: an ANSI file where the system's
    // 8-bit encoding is UTF-8, as on Linux.
    bool writesUtf8(const QString& fileName) const;

    // The whole text of the file, without the byte-order mark.
    QString ReadFile(const QString& fileName) const;

    // Replaces the file with the text. The new content is written beside the
    // old file and takes its place in one step, so a failed write leaves the
    // old file as it was. A read-only file is replaced too.
    void WriteFile(const QString& fileName, const QString& text) const;

    // Creates the file anew with the text. Whatever stands at that name, a
    // file or a link, is removed first and the file is created exclusively,
    // so nothing is ever written through a link planted there. Raises
    // "WriteNewFile: ..." when the old entry cannot be removed.
    void WriteNewFile(const QString& fileName, const QString& text) const;

    // Adds the text at the end of the file, creating it when missing. In
    // Unicode the mark is written only into an empty file. The text arrives
    // whole or not at all: a failed write cuts the file back to its old
    // length.
    void AppendFile(const QString& fileName, const QString& text) const;

    // Raises "WriteFile: " + reason + CR LF CR LF + "[" + path + "]" (a
    // FileWrite failure) when the file may not be replaced: it is marked
    // read-only or cannot be opened for writing, or its folder is missing.
    // Changes nothing.
    void requireReplaceable(const QString& fileName) const;

    // Puts the file from in the place of the file to, in one step: a reader
    // sees the old file or the new one, never a mix. A link at to is
    // replaced, not followed; a file from that is not the one created there
    // (or, without created files, that is a link) is refused. Raises
    // "MoveFile: ...".
    void MoveFile(const QString& from, const QString& to) const;

    // Removes the file (a link itself, not its target); false when that
    // fails. A missing file is no failure.
    bool RemoveFile(const QString& fileName) const;

    // The open file that WriteNewFile created at fileName, or nullptr
    // without created files. Raises "The file was not created by this run"
    // for another file.
    QFile* createdFile(const QString& fileName) const;

private:
    ScriptEncoding m_scriptEncoding;
    std::shared_ptr<CreatedFiles> m_created;
};

// One block added at the end of a file and kept open for the appends that
// make it up (a table's part of "Tables.sql", batch by batch), so that a
// long series of them pays for no opening, stat or seek each. The block
// opens with a head written before its final text is known (a note naming a
// row count); finish() puts the final head in its place, moving the rest of
// the block through the scratch file only when the two differ in length. A
// failed write, or discard(), cuts the file back to where the block began,
// so that no part of a block is left to look like a whole one. Failures
// raise "AppendFile: ...".
class BlockAppender {
public:
    BlockAppender(const TextFiles& files, const QString& fileName, const QString& head);

    void append(const QString& text);

    // The same for text already encoded as UTF-8, for a file that
    // TextFiles::writesUtf8.
    void appendUtf8(QByteArrayView bytes);

    // Puts finalHead in place of the head and closes the file. scratchFile
    // is made anew, as WriteNewFile makes it, when the rest must move.
    void finish(const QString& finalHead, const QString& scratchFile);

    // Cuts the file back to its length before the block and closes it.
    void discard();

private:
    QByteArray headBytes(const QString& head) const;
    void appendBytes(QByteArrayView bytes);
    void changeBlock(const std::function<void()>& change);
    void moveRestBehind(const QByteArray& head, const QString& scratchFile);
    void release();

    std::unique_ptr<QFile> m_ownFile; // opened by name, without created files
    QFile* m_file = nullptr;          // null once finished or discarded
    QString m_fileName;
    ScriptEncoding m_encoding;
    qint64 m_start = 0;
    qint64 m_headSize = 0;
};

// Makes a write past the process's file-size limit fail like any other
// write, to be reported and cut back, instead of killing the program with
// SIGXFSZ. Called once at start-up.
void failWritesPastFileSizeLimit();

} // namespace quarvex
