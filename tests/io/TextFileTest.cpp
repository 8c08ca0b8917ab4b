#include "io/TextFile.h"

#include "base/ProcedureError.h"
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
        QTest::newRow("surrogate pair stays two units")
            << ScriptEncoding::Unicode << "a.sql" << QStringLiteral("\U0001F600")
            << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6);
        QTest::newRow("settings file is ansi even in unicode mode")
            << ScriptEncoding::Unicode << "Quarvex.cfg" << mixed << mixed.toUtf8();
        QTest::newRow("upper-case CFG follows the script encoding")
            << ScriptEncoding::Unicode << "Quarvex.CFG" << QStringLiteral("x")
            << QByteArray("\xFF\xFEx\x00", 4);
        QTest::newRow("empty ansi text is an empty file")
            << ScriptEncoding::Ansi << "e.sql" << QString() << QByteArray();
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

    void writeReplacesLongerOldContent() {
        test::TempFolder folder;
        folder.write("a.sql", "a much longer earlier content");
        TextFiles().WriteFile(folder.path("a.sql"), "new");
        QCOMPARE(folder.bytes("a.sql"), QByteArray("new"));
    }

    void writeReplacesReadOnlyFileWithWritableOne() {
        test::TempFolder folder;
        folder.write("ro.sql", "old");
        QFile::setPermissions(folder.path("ro.sql"), QFileDevice::ReadOwner);
        TextFiles().WriteFile(folder.path("ro.sql"), "new");
        QCOMPARE(folder.bytes("ro.sql"), QByteArray("new"));
        QVERIFY(QFileInfo(folder.path("ro.sql")).permissions() & QFileDevice::WriteOwner);
    }

#ifdef Q_OS_UNIX
    // A write that fails half way (here: past the file size limit, which
    // holds even for root) must leave the file exactly as it was: a
    // replacement keeps the old file, an append cuts off what it added.
    void failedWriteLeavesTheFileAsItWas_data() {
        QTest::addColumn<QString>("procedure");
        QTest::newRow("replace") << "WriteFile";
        QTest::newRow("append") << "AppendFile";
        QTest::newRow("append with copy") << "AppendFileWithCopy";
    }

    void failedWriteLeavesTheFileAsItWas() {
        QFETCH(QString, procedure);
        test::TempFolder folder;
        const QString path = folder.path("Tables.sql");
        folder.write("Tables.sql", "set nocount on\r\nGO\r\n");
        folder.write("Temp.sql", "note\r\n" + QByteArray(4096, 'x'));
        const TextFiles files;
        const auto failure = test::underFileSizeLimit(64, [&] {
            if (procedure == "WriteFile")
                files.WriteFile(path, QString(4096, u'x'));
            else if (procedure == "AppendFile")
                files.AppendFile(path, QString(4096, u'x'));
            else
                files.AppendFileWithCopy(path, "counted\r\n", folder.path("Temp.sql"), "note\r\n");
        });

        QVERIFY(failure.has_value());
        const QString name = procedure == "WriteFile" ? "WriteFile: " : "AppendFile: ";
        QVERIFY2(failure->description.startsWith(name), qPrintable(failure->description));
        QVERIFY(failure->description.endsWith("\r\n\r\n[" + path + "]"));
        QCOMPARE(failure->kind, FailureKind::FileWrite);
        QCOMPARE(folder.bytes("Tables.sql"), QByteArray("set nocount on\r\nGO\r\n"));
    }
#endif

    // The scratch file is made anew: whatever was planted under its name is
    // replaced, never written through.
    void writeNewFileNeverWritesThroughALink_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("link to a file") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("directory that cannot be removed") << "directory";
    }

    void writeNewFileNeverWritesThroughALink() {
        QFETCH(QString, planted);
        test::TempFolder folder;
        const QString path = folder.path("Temp.sql");
        if (planted == "directory") {
            QDir(folder.folder()).mkpath("Temp.sql/inside");
        } else {
            if (planted == "link")
                folder.write("target.sql", "keep me");
            QFile::link(folder.path("target.sql"), path);
        }

        const auto failure = failureOf([&] { TextFiles().WriteNewFile(path, "rows"); });
        if (planted == "directory") {
            QVERIFY(failure.has_value());
            QVERIFY2(failure->description.startsWith("WriteNewFile: "),
                     qPrintable(failure->description));
            QCOMPARE(failure->kind, FailureKind::FileWrite);
            return;
        }
        QVERIFY(!failure.has_value());
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(folder.bytes("Temp.sql"), QByteArray("rows"));
        QCOMPARE(folder.bytes("target.sql"),
                 planted == "link" ? QByteArray("keep me") : QByteArray());
        QCOMPARE(QFileInfo::exists(folder.path("target.sql")), planted == "link");
    }

    void appendWritesMarkOnlyIntoEmptyFile() {
        test::TempFolder folder;
        const TextFiles files(ScriptEncoding::Unicode);
        files.AppendFile(folder.path("t.sql"), "ab");
        files.AppendFile(folder.path("t.sql"), "c");
        QCOMPARE(folder.bytes("t.sql"), QByteArray("\xFF\xFE"
                                                   "a\0b\0c\0",
                                                   8));
        QCOMPARE(files.ReadFile(folder.path("t.sql")), QStringLiteral("abc"));
    }

    void appendAfterEmptyWriteReadsBackAppendedText_data() {
        QTest::addColumn<ScriptEncoding>("encoding");
        QTest::newRow("ansi") << ScriptEncoding::Ansi;
        QTest::newRow("unicode") << ScriptEncoding::Unicode;
    }

    void appendAfterEmptyWriteReadsBackAppendedText() {
        QFETCH(ScriptEncoding, encoding);
        test::TempFolder folder;
        const TextFiles files(encoding);
        const QString path = folder.path("Temp.sql");
        files.WriteFile(path, QString());
        files.AppendFile(path, QStringLiteral("insert N'Ω'\r\n"));
        files.AppendFile(path, QStringLiteral("GO\r\n"));
        QCOMPARE(files.ReadFile(path), QStringLiteral("insert N'Ω'\r\nGO\r\n"));
    }

    void appendToReadOnlyFile() {
        test::TempFolder folder;
        folder.write("ro.sql", "a");
        QFile::setPermissions(folder.path("ro.sql"), QFileDevice::ReadOwner);
        TextFiles().AppendFile(folder.path("ro.sql"), "b");
        QCOMPARE(folder.bytes("ro.sql"), QByteArray("ab"));
    }

    // The scratch file's note is swapped for the counted one on the way into
    // the table file, and the deletes go in front of the first batch; the
    // bytes must be those of doing it in memory.
    void headReplacementsMatchTheWholeFileWay_data() {
        QTest::addColumn<ScriptEncoding>("encoding");
        QTest::addColumn<QString>("rest");
        QTest::newRow("ansi") << ScriptEncoding::Ansi << QString("insert N'é'\r\n").repeated(5000);
        QTest::newRow("unicode") << ScriptEncoding::Unicode
                                 << QString("insert N'Ω'\r\n").repeated(5000);
    }

    void headReplacementsMatchTheWholeFileWay() {
        QFETCH(ScriptEncoding, encoding);
        QFETCH(QString, rest);
        test::TempFolder folder;
        const TextFiles files(encoding);
        files.WriteFile(folder.path("Temp.sql"), "note %n\r\n" + rest);
        files.WriteFile(folder.path("Tables.sql"), "head\r\n");
        files.AppendFileWithCopy(folder.path("Tables.sql"), "note 5\r\n", folder.path("Temp.sql"),
                                 "note %n\r\n");
        QCOMPARE(files.ReadFile(folder.path("Tables.sql")), "head\r\nnote 5\r\n" + rest);

        files.ReplaceFileHead(folder.path("Tables.sql"), "head\r\n", "deletes\r\nhead\r\n");
        QCOMPARE(files.ReadFile(folder.path("Tables.sql")), "deletes\r\nhead\r\nnote 5\r\n" + rest);
    }

    void headReplacementsOfAnotherHead() {
        test::TempFolder folder;
        const TextFiles files;
        files.WriteFile(folder.path("Temp.sql"), "other\r\nbody");
        files.AppendFileWithCopy(folder.path("Tables.sql"), "note\r\n", folder.path("Temp.sql"),
                                 "note %n\r\n");
        QCOMPARE(files.ReadFile(folder.path("Tables.sql")),
                 QStringLiteral("note\r\nother\r\nbody"));
        files.ReplaceFileHead(folder.path("Tables.sql"), "missing", "x");
        QCOMPARE(files.ReadFile(folder.path("Tables.sql")),
                 QStringLiteral("note\r\nother\r\nbody"));
    }

    void readFailures_data() {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::addColumn<QString>("description");
        QTest::newRow("missing file") << QByteArray() << "No such file or directory";
        QTest::newRow("ansi file read as unicode")
            << QByteArray("abc") << "Unicode signature not detected";
        QTest::newRow("big-endian mark")
            << QByteArray("\xFE\xFF\x00x", 4) << "Unicode signature not detected";
        QTest::newRow("empty file") << QByteArray("") << "Input past end of file";
        QTest::newRow("one byte") << QByteArray("\xFF") << "Input past end of file";
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

    void writeIntoMissingFolderNamesTheFile() {
        test::TempFolder folder;
        const QString path = folder.path("missing/Tables.sql");
        const QString failure = failureText([&] { TextFiles().WriteFile(path, "x"); });
        QVERIFY2(failure.startsWith("WriteFile: "), qPrintable(failure));
        QVERIFY(failure.endsWith("\r\n\r\n[" + path + "]"));
        QVERIFY(!failure.contains("WriteFile: \r\n")); // the platform said why
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "TextFileTest.moc"
