#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "io/TextFile.h"
#include "scripting/BoxPrint.h"
#include "scripting/ConsistentReadSession.h"
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
    // The server's refusals that break a consistent read end the run, each
    // with a message of its own; the same numbers in another way of
    // reading, and other refusals, still only skip the table.
    void consistentReadFailures_data() {
        using Way = ConsistentReadSession::Way;
        QTest::addColumn<Way>("way");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message"); // empty: the failure stays as it was
        QTest::newRow("snapshot refused")
            << Way::Snapshot << 3952 << "(ALLOW_SNAPSHOT_ISOLATION is OFF)";
        QTest::newRow("table altered")
            << Way::Snapshot << 3961 << "dbo.T was altered by another session";
        QTest::newRow("lock time-out")
            << Way::Locks << 1222 << "dbo.T: waited longer than the lock time-out (5 s)";
        QTest::newRow("lock time-out, no locks asked for") << Way::Snapshot << 1222 << QString();
        QTest::newRow("table by table") << Way::TableByTable << 3961 << QString();
        QTest::newRow("another refusal") << Way::Locks << 208 << QString();
    }

    void consistentReadFailures() {
        QFETCH(ConsistentReadSession::Way, way);
        QFETCH(int, number);
        QFETCH(QString, message);
        const ConsistentReadSession reading(way, {}, 5000);
        const Failure refused{"server text", FailureKind::Refused, "HY000", number, "select 1"};
        const Failure judged = reading.judged(refused, "dbo.T");
        QCOMPARE(judged.endsRun(), !message.isEmpty());
        QVERIFY2(judged.description.contains(message.isEmpty() ? "server text" : message),
                 qPrintable(judged.description));
    }

    // A name shown in a skip note or a listing stays on one line, and no two
    // names look alike once escaped (a backslash doubled: CliTest's listing).
    void escapedNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("escaped");
        QTest::addColumn<bool>("unsafe");
        const auto row = [](const char* name, const QString& text, const QString& escaped,
                            bool unsafe) { QTest::newRow(name) << text << escaped << unsafe; };
        row("plain", "Order Details", "Order Details", false);
        row("line breaks and TAB", "a\r\nb\tc", "a\\r\\nb\\tc", true);
        row("NUL and escape in octal", QString("x") + QChar(0) + QChar(0x1B) + "9", "x\\000\\0339",
            true);
        row("DEL and beyond are not control characters here", QString("\x7F\u00e9"),
            QString("\x7F\u00e9"), false);
    }

    void escapedNames() {
        QFETCH(QString, name);
        QFETCH(QString, escaped);
        QFETCH(bool, unsafe);
        QCOMPARE(cEscaped(name), escaped);
        QCOMPARE(hasControlCharacter(name), unsafe);
    }

    void boxPrint_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        const auto row = [](const char* name, const char* text, const char* printed) {
            QTest::newRow(name) << text << printed;
        };
        row("empty text", "", "''");
        row("apostrophe and every kind of line break", "It's\r\nA\nB\rC", "'It''s A B C'");
        row("LF CR is two breaks", "a\n\rb", "'a  b'");
        row("sql context after two breaks", "Table x skipped: bad\r\n\r\n[select 1]",
            "'Table x skipped: bad  [select 1]'");
        row("surrogate pair counts two", "\U0001F600", "'\U0001F600'");
    }

    void boxPrint() {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        QCOMPARE(BoxPrint(text), note(printed));
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

    // The skip is shown whatever becomes of its note. A script file that
    // cannot take the note cannot take anything after it: the run must end.
    void reportSkip_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("endsRun");
        QTest::newRow("no file: shown only") << "" << false;
        QTest::newRow("a file that cannot be written") << "missing/Tables.sql" << true;
    }

    void reportSkip() {
        QFETCH(QString, file);
        QFETCH(bool, endsRun);
        test::TempFolder folder;
        test::RecordingToolkit toolkit;
        const QString path = file.isEmpty() ? QString() : folder.path(file);
        const auto failure = failureOf([&] { ReportSkip(toolkit, TextFiles(), "m", path); });
        QCOMPARE(toolkit.messages.size(), 1);
        QCOMPARE(failure.has_value(), endsRun);
        if (failure) {
            QVERIFY2(failure->description.startsWith("AppendFile: "),
                     qPrintable(failure->description));
            QCOMPARE(failure->kind, FailureKind::FileWrite);
        }
    }
};

QTEST_GUILESS_MAIN(NotesAndErrorsTest)
#include "NotesAndErrorsTest.moc"
