#include "scripting/ViewerCommand.h"

#include "app/ViewerProcess.h"
#include "base/ProcedureError.h"
#include "support/RecordingToolkit.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quarvex;

class ViewerCommandTest : public QObject {
    Q_OBJECT

private slots:
    // The viewer text is split like a shell command and the script's path,
    // blanks and all, goes last as one argument; a viewer that cannot start
    // names itself, and an empty text asks for none.
    void openInViewer_data() {
        QTest::addColumn<QString>("viewer");
        QTest::addColumn<QStringList>("started"); // program, then its arguments
        QTest::addColumn<QString>("failure");     // empty: nothing raised
        const QString script = "/tmp/out folder/Tables.sql";
        QTest::newRow("path arrives as one argument")
            << "sh '/opt/my viewer/view' --read-only"
            << QStringList{"sh", "/opt/my viewer/view", "--read-only", script} << "";
        QTest::newRow("program not installed")
            << "no-such-viewer --new" << QStringList{"no-such-viewer", "--new", script}
            << "The viewer could not be started: no-such-viewer --new (No such file or "
               "directory)";
        QTest::newRow("quote left open")
            << "view 'x" << QStringList{}
            << "The viewer could not be started: view 'x (a quote is left open)";
        QTest::newRow("no viewer") << "  " << QStringList{} << "";
    }

    void openInViewer() {
        QFETCH(QString, viewer);
        QFETCH(QStringList, started);
        QFETCH(QString, failure);
        test::RecordingToolkit toolkit;
        toolkit.unstartable = {"no-such-viewer"};
        const auto raised = failureOf(
            [&] { quarvex::openInViewer(toolkit, viewer, "/tmp/out folder/Tables.sql"); });
        QCOMPARE(raised.value_or(Failure{}).description, failure);
        QStringList asked;
        for (const auto& start : toolkit.viewers)
            asked << start.program << start.arguments;
        QCOMPARE(asked, started);
    }

    // The window's process: the arguments arrive as given, and the database
    // password stays behind.
    void processGetsItsArgumentsWithoutThePassword() {
        test::TempFolder folder;
        folder.write("record.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                                  "echo \"${QUARVEX_PASSWORD-none}\" >> \"$0.tmp\"\n"
                                  "mv \"$0.tmp\" \"$0.args\"\n");
        qputenv("QUARVEX_PASSWORD", "s3cret");
        const auto failure =
            startViewerProcess("sh", {folder.path("record.sh"), "--read-only", "a b.sql"});
        qunsetenv("QUARVEX_PASSWORD");
        QCOMPARE(failure.value_or("<started>"), QStringLiteral("<started>"));
        QTRY_VERIFY(QFile::exists(folder.path("record.sh.args")));
        QCOMPARE(folder.bytes("record.sh.args"), QByteArray("--read-only\na b.sql\nnone\n"));
        QVERIFY(startViewerProcess("no-such-viewer", {}).has_value());
    }

    void shellWords_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks separate")
            << "  gedit   --new-window " << QStringList{"gedit", "--new-window"};
        QTest::newRow("single quotes keep blanks and backslashes")
            << "'/opt/my viewer/view' 'a\\b'" << QStringList{"/opt/my viewer/view", "a\\b"};
        QTest::newRow("double quotes and their escapes")
            << "\"say \\\"hi\\\" \\$x \\n\"" << QStringList{"say \"hi\" $x \\n"};
        QTest::newRow("backslash outside quotes") << "my\\ viewer" << QStringList{"my viewer"};
        QTest::newRow("quotes join one word") << "a'b c'\"d\"" << QStringList{"ab cd"};
        QTest::newRow("empty quotes are a word") << "view ''" << QStringList{"view", ""};
    }

    void shellWords() {
        QFETCH(QString, command);
        QFETCH(QStringList, words);
        QCOMPARE(quarvex::shellWords(command).value_or(QStringList{"<open quote>"}), words);
    }
};

QTEST_GUILESS_MAIN(ViewerCommandTest)
#include "ViewerCommandTest.moc"
