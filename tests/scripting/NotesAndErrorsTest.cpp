#include "io/TextFile.h"
#include "scripting/BoxPrint.h"
#include "base/ProcedureError.h"
#include "scripting/ReportSkip.h"
#include "support/RecordingToolkit.h"
#include "support/TempFolder.h"

#include <QTest>
#include <new>
#include <stdexcept>

using namespace quarvex;

namespace {

QString frame(int stars) {
    return "------" + QString(stars, u'*') + "\r\n";
}

QString note(const QString& printed) {
    return frame(int(printed.size())) + "print " + printed + "\r\n" + frame(int(printed.size())) +
           "GO\r\n\r\n";
}

} // namespace

class NotesAndErrorsTest : public QObject {
    Q_OBJECT

private slots:
    void boxPrint_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        QTest::newRow("empty text") << ""
                                    << "''";
        QTest::newRow("footer") << "End TABLE scripts"
                                << "'End TABLE scripts'";
        QTest::newRow("apostrophe and every kind of line break") << "It's\r\nA\nB\rC"
                                                                 << "'It''s A B C'";
        QTest::newRow("LF CR is two breaks") << "a\n\rb"
                                             << "'a  b'";
        QTest::newRow("sql context after two breaks") << "Table x skipped: bad\r\n\r\n[select 1]"
                                                      << "'Table x skipped: bad  [select 1]'";
        QTest::newRow("surrogate pair counts two") << "\U0001F600"
                                                   << "'\U0001F600'";
    }

    void boxPrint() {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        QCOMPARE(BoxPrint(text), note(printed));
    }

    void boxPrintFramesCountUtf16Units() {
        QVERIFY(BoxPrint("It's\r\nA\nB\rC").startsWith(frame(13)));
        QVERIFY(BoxPrint("\U0001F600").startsWith(frame(4)));
    }

    // The chain a user sees when a file cannot be written during a run.
    void reraisedErrorsPileUpFromTheOutsideIn() {
        test::TempFolder folder;
        const QString path = folder.path("no such folder/Tables.sql");
        const auto failure = failureOf([&] {
            reraisingAs("cmdAction_Click", [&] {
                reraisingAs("CreateScripts", [&] { TextFiles().WriteFile(path, "x"); });
            });
        });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("cmdAction_Click: CreateScripts: WriteFile: "),
                 qPrintable(failure->description));
        QVERIFY(failure->description.endsWith("\r\n\r\n[" + path + "]"));
    }

    void foreignErrorsKeepOnlyTheirDescription_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("description");
        QTest::newRow("standard exception") << 0 << "GetHex: boom";
        QTest::newRow("out of memory") << 1 << "GetHex: Out of memory";
        QTest::newRow("unexpected case") << 2 << "GetHex: Unexpected fall to Case Else";
    }

    void foreignErrorsKeepOnlyTheirDescription() {
        QFETCH(int, kind);
        QFETCH(QString, description);
        const auto failure = failureOf([&] {
            reraisingAs("GetHex", [&] {
                if (kind == 0)
                    throw std::runtime_error("boom");
                if (kind == 1)
                    throw std::bad_alloc();
                raiseUnexpectedCase();
            });
        });
        QCOMPARE(failure.value_or(Failure{"<none>"}).description, description);
    }

    void reraisingPassesResultThrough() {
        QCOMPARE(reraisingAs("X", [] { return 42; }), 42);
    }

    void reportSkipShowsAndNotes() {
        test::TempFolder folder;
        test::RecordingToolkit toolkit;
        const QString message = "Table [a b] skipped: it's gone";
        ReportSkip(toolkit, TextFiles(), message, folder.path("Tables.sql"));
        QCOMPARE(toolkit.messageTexts(), QStringList{message});
        QCOMPARE(toolkit.messages.first().icon, MessageIcon::Exclamation);
        QVERIFY(toolkit.messages.first().title.isEmpty());
        QCOMPARE(QString::fromUtf8(folder.bytes("Tables.sql")), BoxPrint(message));
    }

    void reportSkipWithoutFileOnlyShows() {
        test::TempFolder folder;
        test::RecordingToolkit toolkit;
        ReportSkip(toolkit, TextFiles(), "Proc x skipped: y", QString());
        QCOMPARE(toolkit.messages.size(), 1);
        QVERIFY(QDir(folder.folder()).isEmpty());
    }

    // A script file that cannot take the note cannot take anything after it:
    // the skip is still shown, and the run is told to end.
    void reportSkipEndsTheRunWhenTheNoteCannotBeWritten() {
        test::TempFolder folder;
        test::RecordingToolkit toolkit;
        const auto failure = failureOf(
            [&] { ReportSkip(toolkit, TextFiles(), "m", folder.path("missing/Tables.sql")); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("AppendFile: "), qPrintable(failure->description));
        QCOMPARE(failure->kind, FailureKind::FileWrite);
        QCOMPARE(toolkit.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(NotesAndErrorsTest)
#include "NotesAndErrorsTest.moc"
