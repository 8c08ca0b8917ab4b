#include "scripting/ViewerLauncher.h"

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
