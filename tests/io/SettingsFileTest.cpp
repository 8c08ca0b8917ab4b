#include "io/SettingsFile.h"

#include "base/ProcedureError.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace quarvex;

namespace {

QString fourteenLines() {
    return "chkUnicode=0\r\nchkAlter=1\r\nchkGroup=1\r\nchkEncrypt=0\r\n"
           "txtUserID=\r\ntxtServer=localhost\r\ntxtDatabase=Northwind\r\n"
           "txtProcFilt=name like 'sp%'\r\n"
           "txtTrigFilt=owner in ('dbo','specialUserID')\r\n"
           "txtTblFilt=name not like 'pbcat%' and name not like 'dtprop%'\r\n"
           "txtViewFilt=name not like 'sys%'\r\n"
           "txtFuncFilt=name like 'fn%'\r\ntxtPath=/opt/quarvex\r\n"
           "txtViewer=" +
           Settings::defaultViewer() + "\r\n";
}

Settings defaults() {
    Settings settings;
    settings.outputPath = "/opt/quarvex";
    return settings;
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private slots:
    void defaultFileHasFourteenLinesInDesignOrderThenTheLaterOnes() {
        QCOMPARE(settingsFileText(defaults()),
                 fourteenLines() + "chkNewTypes=0\r\nchkCreateOrAlter=0\r\nchkMerge=0\r\n"
                                   "cboEncryption=0\r\n"
                                   "chkTrustCert=0\r\ntxtCAFile=\r\n"
                                   "chkPreview=0\r\ncboConsistentRead=0\r\n");
    }

    // Files of older versions lack the later lines; they read whole, leave
    // those boxes clear and the connection Optional, untrusted, without CA.
    void olderFilesReadWithTheDefaults_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("newTypes");
        QTest::newRow("fourteen lines") << fourteenLines() << 0;
        QTest::newRow("fifteen lines") << fourteenLines() + "chkNewTypes=1\r\n" << 1;
        QTest::newRow("sixteen lines")
            << fourteenLines() + "chkNewTypes=1\r\nchkCreateOrAlter=0\r\n"
            << 1;
        QTest::newRow("seventeen lines")
            << fourteenLines() + "chkNewTypes=1\r\nchkCreateOrAlter=0\r\nchkMerge=0\r\n"
            << 1;
        QTest::newRow("twenty lines")
            << fourteenLines() + "chkNewTypes=1\r\nchkCreateOrAlter=0\r\nchkMerge=0\r\n"
                                 "cboEncryption=0\r\nchkTrustCert=0\r\ntxtCAFile=\r\n"
            << 1;
    }

    void olderFilesReadWithTheDefaults() {
        QFETCH(QString, file);
        QFETCH(int, newTypes);
        Settings settings;
        applySettingsFileText(file, settings);
        QCOMPARE(settings.chkNewTypes, newTypes);
        QCOMPARE(settings.chkCreateOrAlter, int(Unchecked));
        QCOMPARE(settings.chkMerge, int(Unchecked));
        QCOMPARE(settings.connection.encryption, Encryption::Optional);
        QVERIFY(!settings.connection.trustServerCertificate);
        QVERIFY(settings.connection.caFile.isEmpty());
        QCOMPARE(settings.chkPreview, int(Unchecked));
        QCOMPARE(settings.consistentRead, ConsistentRead::Automatic);
    }

    void anEncryptionChoiceOutOfRangeStopsTheReading() {
        Settings settings;
        QVERIFY(failureOf([&] {
                    applySettingsFileText("cboEncryption=3\r\ntxtCAFile=x\r\n", settings);
                }).has_value());
        QCOMPARE(settings.connection.encryption, Encryption::Optional);
    }

    void laterChoicesReadBack() {
        Settings saved;
        saved.chkPreview = Checked;
        saved.consistentRead = ConsistentRead::Lock;
        Settings read;
        applySettingsFileText(settingsFileText(saved), read);
        QCOMPARE(read.chkPreview, int(Checked));
        QCOMPARE(read.consistentRead, ConsistentRead::Lock);
    }

    void reading_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("alter");
        const auto row = [](const char* name, const char* file, const char* server, int alter) {
            QTest::newRow(name) << QString(file) << QString(server) << alter;
        };
        row("blanks around a value are trimmed, inner kept", "txtServer=  my host  \r\n", "my host",
            1);
        row("other letter case is another name", "TXTSERVER=x\r\n", "localhost", 1);
        row("a blank before the name", " txtServer=x\r\n", "localhost", 1);
        row("last line without a line break", "chkAlter=0\r\ntxtServer=x", "x", 0);
        row("first of two lines wins", "txtServer=a\r\ntxtServer=b\r\n", "a", 1);
        row("non-number clears a check box", "chkAlter=yes\r\n", "localhost", 0);
        row("number with blanks in front", "chkAlter= 1\r\n", "localhost", 1);
        row("unknown names and junk are ignored", "junk\r\ntxtNothing=1\r\n\r\nchkAlter=0\r\n",
            "localhost", 0);
    }

    void reading() {
        QFETCH(QString, file);
        QFETCH(QString, server);
        QFETCH(int, alter);
        Settings settings;
        applySettingsFileText(file, settings);
        QCOMPARE(settings.connection.server, server);
        QCOMPARE(settings.chkAlter, alter);
    }

    // Any line ending, with or without a byte-order mark: every value whole.
    void lineEndingsAndByteOrderMark_data() {
        QTest::addColumn<QString>("file");
        const QString lines[] = {"txtServer=db1,1433", "chkAlter=0", "txtTblFilt=name = 'a' ",
                                 "txtPath=/srv/out"};
        const auto joined = [&](const QStringList& ends) {
            QString text;
            for (int i = 0; i < 4; ++i)
                text += lines[i] + ends[i];
            return text;
        };
        QTest::newRow("CR LF") << joined({"\r\n", "\r\n", "\r\n", "\r\n"});
        QTest::newRow("LF") << joined({"\n", "\n", "\n", "\n"});
        QTest::newRow("mixed, no final break") << joined({"\n", "\r\n", "\n", ""});
        QTest::newRow("byte-order mark, CR LF")
            << "\uFEFF" + joined({"\r\n", "\r\n", "\r\n", "\r\n"});
        QTest::newRow("byte-order mark read as ANSI, LF")
            << "\u00EF\u00BB\u00BF" + joined({"\n", "\n", "\n", "\n"});
    }

    void lineEndingsAndByteOrderMark() {
        QFETCH(QString, file);
        Settings settings;
        applySettingsFileText(file, settings);
        QCOMPARE(settings.connection.server, QStringLiteral("db1,1433"));
        QCOMPARE(settings.chkAlter, 0);
        QCOMPARE(settings.filters.tables, QStringLiteral("name = 'a'"));
        QCOMPARE(settings.outputPath, QStringLiteral("/srv/out"));
    }

    void fileWithByteOrderMarkSetsItsFirstLine() {
        test::TempFolder folder;
        folder.write("quarvex.cfg", "\xEF\xBB\xBFtxtServer=db1\nchkGroup=0\n");
        Settings settings;
        ReadCfg(folder.path("quarvex.cfg"), settings);
        QCOMPARE(settings.connection.server, QStringLiteral("db1"));
        QCOMPARE(settings.chkGroup, 0);
    }

    void unreadableFileNamesTheChain() {
        test::TempFolder folder;
        QDir(folder.folder()).mkdir("quarvex.cfg"); // a folder where the file should be
        Settings settings;
        const auto failure = failureOf([&] { WriteCfg(folder.path("quarvex.cfg"), settings); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("WriteCfg: WriteFile: "),
                 qPrintable(failure->description));
    }

    // Beside the program only where a file already is; otherwise in the
    // user's configuration folder, made on the way.
    void settingsFilePlace() {
        test::TempFolder program;
        test::TempFolder home;
        qputenv("XDG_CONFIG_HOME", home.path("config").toUtf8());
        const QString withoutFile = settingsFilePath(program.folder(), "quarvex");
        program.write("quarvex.cfg", "txtServer=x\r\n");
        const QString withFile = settingsFilePath(program.folder(), "quarvex");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(withoutFile, home.path("config/quarvex/quarvex.cfg"));
        QVERIFY(QFileInfo(home.path("config/quarvex")).isDir());
        QCOMPARE(withFile, program.path("quarvex.cfg"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    setProgramIdentity();
    SettingsFileTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "SettingsFileTest.moc"
