#include "io/TextFile.h"

#include "base/ProcedureError.h"
#include "io/CreatedFiles.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#ifdef Q_OS_UNIX
#include "support/FileSizeLimit.h"
#endif

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ScriptEncoding)

namespace {

QString failureText(const std::function<void()>& body) {
    return failureOf(body).value_or(Failure{QStringLiteral("<no error>")}).description;
}

QByteArray utf16le(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void writesExactBytes_data() {
        QTest::addColumn<ScriptEncoding>("encoding");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");

        const QString mixed = QStringLiteral("O'Brien\r\ncafé €");
        QTest::newRow("ansi script is locale bytes without mark")
            << ScriptEncoding::Ansi << "a.sql" << mixed << mixed.toUtf8();
        QTest::newRow("unicode script has mark and two bytes a unit")
            << ScriptEncoding::Unicode << "a.sql" << mixed
            << QByteArray("\xFF\xFE", 2) + utf16le(mixed);
        QTest::newRow("settings file is ansi even in unicode mode")
            << ScriptEncoding::Unicode << "Quarvex.cfg" << mixed << mixed.toUtf8();
        QTest::newRow("upper-case CFG follows the script encoding")
            << ScriptEncoding::Unicode << "Quarvex.CFG" << QStringLiteral("x")
            << QByteArray("\xFF\xFEx\x00", 4);
        QTest::newRow("empty unicode text is just the mark")
            << ScriptEncoding::Unicode << "e.sql" << QString() << QByteArray("\xFF\xFE", 2);
    }

    void writesExactBytes() {
        QFETCH(ScriptEncoding, encoding);
        QFETCH(QString, fileName);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);

        test::TempFolder folder;
        const TextFiles files(encoding);
        files.WriteFile(folder.path(fileName), text);
        QCOMPARE(folder.bytes(fileName), bytes);
        QCOMPARE(files.ReadFile(folder.path(fileName)), text);
    }

    // What stands at the name already is replaced whole or appended to, even
    // when it is read-only.
    void existingFiles_data() {
        QTest::addColumn<bool>("append");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("longer content replaced") << false << false << QByteArray("new");
        QTest::newRow("read-only file replaced by a writable one")
            << false << true << QByteArray("new");
        QTest::newRow("read-only file appended to")
            << true << true << QByteArray("a much longer earlier content") + "new";
    }

    void existingFiles() {
        QFETCH(bool, append);
        QFETCH(bool, readOnly);
        QFETCH(QByteArray, after);
        test::TempFolder folder;
        const QString path = folder.path("a.sql");
        folder.write("a.sql", "a much longer earlier content");
        if (readOnly)
            QFile::setPermissions(path, QFileDevice::ReadOwner);
        if (append)
            TextFiles().AppendFile(path, "new");
        else
            TextFiles().WriteFile(path, "new");
        QCOMPARE(folder.bytes("a.sql"), after);
        if (!append)
            QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
    }

#ifdef Q_OS_UNIX
    // A replacement that fails half way (here: past the file size limit,
    // which holds even for root) must leave the old file as it was. (Appends
    // that fail: the script run's tests.)
    void failedWriteLeavesTheFileAsItWas() {
        test::TempFolder folder;
        const QString path = folder.path("Tables.sql");
        folder.write("Tables.sql", "set nocount on\r\nGO\r\n");
        const auto failure =
            test::underFileSizeLimit(64, [&] { TextFiles().WriteFile(path, QString(4096, u'x')); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("WriteFile: "), qPrintable(failure->description));
        QVERIFY(failure->description.endsWith("\r\n\r\n[" + path + "]"));
        QCOMPARE(failure->kind, FailureKind::FileWrite);
        QCOMPARE(folder.bytes("Tables.sql"), QByteArray("set nocount on\r\nGO\r\n"));
    }
#endif

    // The scratch file is made anew: whatever was planted under its name is
    // replaced, never written through (a link to a file: the script run's
    // tests).
    void writeNewFileNeverWritesThroughALink_data() {
        QTest::addColumn<bool>("directory");
        QTest::newRow("dangling link") << false;
        QTest::newRow("directory that cannot be removed") << true;
    }

    void writeNewFileNeverWritesThroughALink() {
        QFETCH(bool, directory);
        test::TempFolder folder;
        const QString path = folder.path("Temp.sql");
        if (directory)
            QDir(folder.folder()).mkpath("Temp.sql/inside");
        else
            QFile::link(folder.path("target.sql"), path);

        const auto failure = failureOf([&] { TextFiles().WriteNewFile(path, "rows"); });
        if (directory) {
            QVERIFY(failure.has_value());
            QVERIFY2(failure->description.startsWith("WriteNewFile: "),
                     qPrintable(failure->description));
            QCOMPARE(failure->kind, FailureKind::FileWrite);
            return;
        }
        QVERIFY(!failure.has_value());
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(folder.bytes("Temp.sql"), QByteArray("rows"));
        QVERIFY(!QFileInfo::exists(folder.path("target.sql")));
    }

    // A run's own files change only through the handle they were created
    // with; a file the run did not create is not written at all.
    void createdFilesChangeThroughTheirHandle() {
        test::TempFolder folder;
        const TextFiles files(ScriptEncoding::Unicode, std::make_shared<CreatedFiles>());
        const QString path = folder.path(".Tables.sql.quarvex-new");
        files.WriteNewFile(path, "head é\r\n");
        files.AppendFile(path, "rows ü\r\n");
        QCOMPARE(files.ReadFile(path), QStringLiteral("head é\r\nrows ü\r\n"));

        folder.write("Procs.sql", "old");
        const auto failure = failureOf([&] { files.AppendFile(folder.path("Procs.sql"), "x"); });
        QVERIFY(failure.has_value());
        QVERIFY2(
            failure->description.startsWith("AppendFile: The file was not created by this run"),
            qPrintable(failure->description));
        QCOMPARE(folder.bytes("Procs.sql"), QByteArray("old"));
    }

    // A table's block: its note is written before the rows are counted and
    // put right at the end, in place or by moving the rows behind it.
    void blockHeads_data() {
        QTest::addColumn<ScriptEncoding>("encoding");
        QTest::addColumn<QString>("before"); // the file's text before the block
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("finalHead"); // null: the block is discarded
        QTest::addColumn<bool>("linkAsScratch");

        const auto ansi = ScriptEncoding::Ansi;
        const auto unicode = ScriptEncoding::Unicode;
        QTest::newRow("same length, put in place") << ansi << "top\r\n"
                                                   << "n=%n\r\n"
                                                   << "n=42\r\n"
                                                   << false;
        QTest::newRow("longer, rows move") << ansi << "top\r\n"
                                           << "n=9\r\n"
                                           << "n=10\r\n"
                                           << false;
        QTest::newRow("shorter, rows move") << ansi << "top\r\n"
                                            << "n=10\r\n"
                                            << "n=9\r\n"
                                            << false;
        QTest::newRow("unicode, rows move") << unicode << "top é\r\n"
                                            << "n=9\r\n"
                                            << "n=10 é\r\n"
                                            << false;
        QTest::newRow("unicode, empty file keeps one mark") << unicode << QString() << "n=9\r\n"
                                                            << "n=100\r\n"
                                                            << false;
        QTest::newRow("link planted as scratch file is replaced") << ansi << "top\r\n"
                                                                  << "n=9\r\n"
                                                                  << "n=10\r\n"
                                                                  << true;
        QTest::newRow("discarded block leaves the file as it was") << ansi << "top\r\n"
                                                                   << "n=9\r\n"
                                                                   << QString() << false;
    }

    void blockHeads() {
        QFETCH(ScriptEncoding, encoding);
        QFETCH(QString, before);
        QFETCH(QString, head);
        QFETCH(QString, finalHead);
        QFETCH(bool, linkAsScratch);
        test::TempFolder folder;
        const TextFiles files(encoding);
        const QString path = folder.path("Tables.sql");
        if (!before.isNull())
            files.WriteFile(path, before);
        if (linkAsScratch)
            QVERIFY(QFile::link(folder.path("precious.sql"), folder.path("Temp.sql")));

        BlockAppender block(files, path, head);
        block.append("rows ü\r\n");
        block.append(QString(3 << 20, u'x')); // more than one piece of a copy
        if (finalHead.isNull())
            block.discard();
        else
            block.finish(finalHead, folder.path("Temp.sql"));

        const QString rows = QStringLiteral("rows ü\r\n") + QString(3 << 20, u'x');
        QCOMPARE(files.ReadFile(path), finalHead.isNull() ? before : before + finalHead + rows);
        QCOMPARE(folder.bytes("Tables.sql").count("\xFF\xFE"),
                 encoding == ScriptEncoding::Unicode ? 1 : 0);
        QVERIFY(!QFileInfo::exists(folder.path("precious.sql")));
        QVERIFY(!QFileInfo::exists(folder.path("Temp.sql")) ||
                QFileInfo(folder.path("Temp.sql")).isSymLink());
    }

#ifdef Q_OS_UNIX
    // A block that cannot be written whole (past the file size limit) is
    // taken back, down to its head.
    void failedBlockIsTakenBack() {
        test::TempFolder folder;
        const QString path = folder.path("Tables.sql");
        folder.write("Tables.sql", "top\r\n");
        const auto failure = test::underFileSizeLimit(4096, [&] {
            BlockAppender block(TextFiles(), path, "note\r\n");
            block.append(QString(8192, u'x'));
        });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("AppendFile: "), qPrintable(failure->description));
        QCOMPARE(failure->kind, FailureKind::FileWrite);
        QCOMPARE(folder.bytes("Tables.sql"), QByteArray("top\r\n"));
    }
#endif

    void readFailures_data() {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::addColumn<QString>("description");
        QTest::newRow("missing file") << QByteArray() << "No such file or directory";
        QTest::newRow("ansi file read as unicode")
            << QByteArray("abc") << "Unicode signature not detected";
        QTest::newRow("empty file") << QByteArray("") << "Input past end of file";
    }

    void readFailures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, description);
        test::TempFolder folder;
        const QString path = folder.path("x.sql");
        if (!content.isNull())
            folder.write("x.sql", content);

        const QString failure =
            failureText([&] { TextFiles(ScriptEncoding::Unicode).ReadFile(path); });
        QCOMPARE(failure, "ReadFile: " + description + "\r\n\r\n[" + path + "]");
        QCOMPARE(QFileInfo::exists(path), !content.isNull());
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "TextFileTest.moc"
