#include "scripting/ObjectScript.h"

#include "base/ProcedureError.h"

#include <QFile>
#include <QTest>

using namespace quarvex;

namespace {

QString expectedFile(const QString& name) {
    QFile file(QStringLiteral(QUARVEX_TEST_DATA "/scripting/expected/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The script without its boxed note.
QString body(const QString& script) {
    return script.mid(script.indexOf("GO\r\n") + 4);
}

} // namespace

class ObjectScriptTest : public QObject {
    Q_OBJECT

private slots:
    void workedExamples_data() {
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("expected");
        QTest::newRow("neither box") << false << false << "proc-p-create.sql";
        QTest::newRow("both boxes") << true << true << "proc-p-alter-encrypt.sql";
    }

    void workedExamples() {
        QFETCH(bool, alter);
        QFETCH(bool, encrypt);
        QFETCH(QString, expected);
        const QString script = objectScript(factsOf(ObjectKind::Proc), "p",
                                            "CREATE PROCEDURE p AS select 1", {alter, encrypt});
        QCOMPARE(script, expectedFile(expected));
    }

    void definitions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("definition");
        QTest::addColumn<bool>("alter");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("result"); // body, or the error
        const int proc = int(ObjectKind::Proc);
        const int trigger = int(ObjectKind::Trigger);
        const int view = int(ObjectKind::View);

        QTest::newRow("trimmed at both ends, line break kept")
            << proc << "\r\n\t CREATE PROC a AS select 1\r\n\r\n " << false << false
            << "CREATE PROC a AS select 1\r\nGO\r\n\r\n";
        QTest::newRow("inner line ends kept, trailing one replaced")
            << view << "create view v as select 1\n--x\n"
            << false << false << "create view v as select 1\n--x\r\nGO\r\n\r\n";
        QTest::newRow("comment lines before CREATE")
            << proc << "-- one\r\n/* two */\r\ncreate procedure a as select 1" << true << false
            << "-- one\r\n/* two */\r\nALTER procedure a as select 1\r\nGO\r\n\r\n";
        QTest::newRow("indented CREATE is not found")
            << proc << "-- c\r\n  CREATE PROC a AS select 1" << false << false
            << "Could not locate CREATE statement when generating script";
        QTest::newRow("CREATE then TAB fails the keyword check")
            << proc << "CREATE\tPROC a AS select 1" << false << false
            << "Could not locate CREATE PROC statement when generating script";
        QTest::newRow("trigger keyword")
            << trigger << "CREATE VIEW x AS select 1" << false << false
            << "Could not locate CREATE TRIGGER statement when generating script";
        QTest::newRow("trigger with FOR")
            << trigger << "CREATE TRIGGER t ON a FOR INSERT AS select 1" << false << true
            << "CREATE TRIGGER t ON a \r\nWITH ENCRYPTION\r\nFOR INSERT AS select 1\r\nGO\r\n\r\n";
        QTest::newRow("marker must be a whole word")
            << proc << "CREATE PROC CAST_AS\tAS\r\nselect 1" << false << true
            << "CREATE PROC CAST_AS\t\r\nWITH ENCRYPTION\r\nAS\r\nselect 1\r\nGO\r\n\r\n";
        QTest::newRow("lower-case create, position kept past a sharp s")
            << view << "create view [straße] as select 1" << true << true
            << "ALTER view [straße] \r\nWITH ENCRYPTION\r\nas select 1\r\nGO\r\n\r\n";
    }

    void definitions() {
        QFETCH(int, kind);
        QFETCH(QString, definition);
        QFETCH(bool, alter);
        QFETCH(bool, encrypt);
        QFETCH(QString, result);
        QString outcome;
        const auto failure = failureOf([&] {
            outcome =
                body(objectScript(factsOf(ObjectKind(kind)), "x", definition, {alter, encrypt}));
        });
        QCOMPARE(failure ? failure->description : outcome, result);
    }
};

QTEST_GUILESS_MAIN(ObjectScriptTest)
#include "ObjectScriptTest.moc"
