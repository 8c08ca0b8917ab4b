#include "scripting/ViewerLauncher.h"

#include "base/ProcedureError.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quarvex;

class ViewerLauncherTest : public QObject {
    Q_OBJECT

private slots:
    // The viewer text is split like a shell command; the script's path, blanks
    // and all, arrives as one argument. The database password stays behind.
    void pathArrivesAsOneArgumentWithoutThePassword() {
        test::TempFolder folder;
        folder.write("record.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                                  "echo \"${QUARVEX_PASSWORD-none}\" >> \"$0.tmp\"\n"
                                  "mv \"$0.tmp\" \"$0.args\"\n");
        QDir(folder.folder()).mkdir("out folder");
        const QString script = folder.path("out folder/Tables.sql");
        qputenv("QUARVEX_PASSWORD", "s3cret");
        startViewer("sh '" + folder.path("record.sh") + "' --read-only", script);
        qunsetenv("QUARVEX_PASSWORD");
        QTRY_VERIFY(QFile::exists(folder.path("record.sh.args")));
        QCOMPARE(folder.bytes("record.sh.args"), "--read-only\n" + script.toUtf8() + "\nnone\n");
    }

    // A viewer that cannot start names itself; an empty text asks for none.
    void viewerThatCannotStart_data() {
        QTest::addColumn<QString>("viewer");
        QTest::addColumn<QString>("failure"); // empty: nothing raised
        QTest::newRow("program not installed")
            << "no-such-viewer --new"
            << "The viewer could not be started: no-such-viewer --new (";
        QTest::newRow("quote left open")
            << "view 'x"
            << "The viewer could not be started: view 'x (a quote is left open)";
        QTest::newRow("no viewer") << "  "
                                   << "";
    }

    void viewerThatCannotStart() {
        QFETCH(QString, viewer);
        QFETCH(QString, failure);
        const auto raised = failureOf([&] { startViewer(viewer, "/tmp/Tables.sql"); });
        QCOMPARE(raised.has_value(), !failure.isEmpty());
        if (raised)
            QVERIFY2(raised->description.startsWith(failure), qPrintable(raised->description));
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

QTEST_GUILESS_MAIN(ViewerLauncherTest)
#include "ViewerLauncherTest.moc"
