// The window driven through its real widgets under the offscreen platform.
// Loading the list and showing messages go through the window's services,
// so no server and no modal box is needed; one case uses the real loader
// against a closed port, and one Key Order against a stand-in.
#include "app/FrmQuarvex.h"
#include "base/Version.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ForeignKeyQuery.h"
#include "catalogue/LoadList.h"
#include "support/StandIn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvex;

namespace {

struct Shown {
    QString text;
    MessageIcon icon;
    QString title;
};

// One window with its loads and messages counted. Not movable: the window's
// services point back into it.
class Harness {
    // Each window reads and writes a settings file of its own.
    QTemporaryDir m_settingsFolder;

public:
    using Filler = std::function<void(ObjectList&)>;

    explicit Harness(Filler filler = {}, FrmQuarvexServices::ListLoader loader = {},
                     const QString& settingsFile = {})
        : m_filler(std::move(filler)) {
        FrmQuarvexServices services;
        services.settingsFile =
            settingsFile.isEmpty() ? m_settingsFolder.filePath("quarvex.cfg") : settingsFile;
        services.loadList = loader ? std::move(loader)
                                   : [this](Toolkit& toolkit, RunState&, const ConnectionSettings&,
                                            const CatalogueFilters&) {
                                         ++loads;
                                         toolkit.objectList().clear();
                                         if (m_filler)
                                             m_filler(toolkit.objectList());
                                     };
        services.showMessage = [this](const QString& text, MessageIcon icon, const QString& title) {
            messages.append({text, icon, title});
        };
        window = std::make_unique<FrmQuarvex>(std::move(services));
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    template <typename Widget = QWidget> Widget* control(const QString& name) const {
        auto* found = window->findChild<Widget*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }

    QAbstractButton* button(const QString& group, int index) const {
        for (auto* candidate : window->findChildren<QAbstractButton*>(group))
            if (candidate->property("index").toInt() == index)
                return candidate;
        qFatal("no button %s(%d)", qPrintable(group), index);
    }

    QListWidget* list() const { return control<QListWidget>(QStringLiteral("lstNames")); }

    // One page shown, the other hidden, and only the button to the other
    // page enabled.
    void verifyPage(bool processing) const {
        QCOMPARE(control(QStringLiteral("fraConfig"))->isHidden(), processing);
        QCOMPARE(control(QStringLiteral("fraProcess"))->isHidden(), !processing);
        QCOMPARE(button(QStringLiteral("cmdTab"), 0)->isEnabled(), !processing);
        QCOMPARE(button(QStringLiteral("cmdTab"), 1)->isEnabled(), processing);
        QCOMPARE(control<QLabel>(QStringLiteral("lblTabName"))->text(),
                 processing ? QStringLiteral("Processing") : QStringLiteral("Configuration"));
    }
    ListWidgetObjectList& objects() const { return window->toolkit().objectList(); }

    // Shown and active, for anything that needs real focus or layout.
    bool show() {
        window->show();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowActive(window.get());
    }

    int loads = 0;
    QList<Shown> messages;
    std::unique_ptr<FrmQuarvex> window;

private:
    Filler m_filler;
};

// Four tables, two procs and a view, each entry carrying its own object.
void fillGroups(ObjectList& list) {
    qint32 id = 10;
    for (const char* name : {"A", "B", "C", "D"})
        list.append(catalogueEntry(ObjectKind::Table, QLatin1String(name), "dbo", id++));
    for (const char* name : {"P1", "P2"})
        list.append(catalogueEntry(ObjectKind::Proc, QLatin1String(name), "dbo", id++));
    list.append(catalogueEntry(ObjectKind::View, QStringLiteral("V1"), "dbo", id++));
}

// The object names in list order, ticked ones marked with "+".
QStringList listed(const ObjectList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names.append(QLatin1String(list.isChecked(i) ? "+" : "") + list.entry(i).object.name);
    return names;
}

int rowOf(const ObjectList& list, const QString& name) {
    for (int i = 0; i < list.count(); ++i)
        if (list.entry(i).object.name == name)
            return i;
    return -1;
}

// The middle of a row's check box, in the list's viewport.
QPoint checkBoxCenter(QListWidget* list, int row) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = list->item(row)->text();
    return list->style()
        ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
        .center();
}

// Input as the window system queues it: posted to the window, delivered only
// when the event loop runs again.
void queueClick(QWidget* window, QWidget* target, QPoint at) {
    const QPointF local = target->mapTo(window, at);
    const QPointF global = target->mapToGlobal(at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            window->windowHandle(),
            new QMouseEvent(type, local, global, Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
}

void queueKey(QWidget* window, Qt::Key key, const QString& text) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        QCoreApplication::postEvent(window->windowHandle(),
                                    new QKeyEvent(type, key, Qt::NoModifier, text));
}

int visibleTopRow(QListWidget* list) {
    QCoreApplication::processEvents();
    return list->indexAt(QPoint(2, 2)).row();
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("Quarvex")); }

    void startsOnConfigurationPage() {
        Harness harness;
        harness.verifyPage(false);
        QVERIFY(harness.messages.isEmpty());
        QCOMPARE(harness.control<QLineEdit>(QStringLiteral("txtPassword"))->echoMode(),
                 QLineEdit::Password);
        // Every load finds nothing, and an empty list loads again without edits.
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.button(QStringLiteral("cmdTab"), 1)->click();
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        QCOMPARE(harness.loads, 2);
    }

    void placedTowardsLowerRight() {
        Harness harness;
        const QRect area = harness.window->screen()->availableGeometry();
        const QRect frame = harness.window->frameGeometry();
        QVERIFY(area.contains(frame));
        QVERIFY2(area.right() - frame.right() < frame.left() - area.left(), "not to the right");
        QVERIFY2(area.bottom() - frame.bottom() < frame.top() - area.top(), "not towards bottom");
    }

    void tabVisitsControlsInOrder_data() {
        QTest::addColumn<bool>("processingPage");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("configuration page")
            << false << QStringList{"txtUserID",     "txtPassword",  "txtServer",   "txtDatabase",
                                    "cboEncryption", "chkTrustCert", "txtCAFile",   "txtProcFilt",
                                    "txtTrigFilt",   "txtTblFilt",   "txtViewFilt", "txtFuncFilt",
                                    "txtViewer",     "txtPath",      "chkAlter",    "chkGroup",
                                    "chkEncrypt",    "chkUnicode",   "chkNewTypes", "chkCreateOrAlter",
                                    "Next Tab"};
        QTest::newRow("processing page")
            << true
            << QStringList{"lstNames",   "Create Scripts", "Exit",      "Help",    "Select Type",
                           "Select All", "Deselect All",   "Key Order", "Prev Tab"};
    }

    void tabVisitsControlsInOrder() {
        QFETCH(bool, processingPage);
        QFETCH(QStringList, order);
        Harness harness;
        QVERIFY(harness.show());
        if (processingPage)
            harness.button(QStringLiteral("cmdTab"), 0)->click();
        QWidget* start = harness.button(QStringLiteral("cmdTab"), processingPage ? 1 : 0);
        start->setFocus(Qt::OtherFocusReason);

        QStringList visited;
        for (qsizetype i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            auto* button = qobject_cast<QPushButton*>(focus);
            visited.append(button ? button->text() : focus->objectName());
        }
        QCOMPARE(visited, order);
    }

    void switchesPages() {
        Harness harness(fillGroups);
        QAbstractButton* next = harness.button(QStringLiteral("cmdTab"), 0);
        QAbstractButton* prev = harness.button(QStringLiteral("cmdTab"), 1);
        next->click();
        harness.verifyPage(true);
        QCOMPARE(harness.window->focusWidget(), prev);
        prev->click();
        harness.verifyPage(false);
        QCOMPARE(harness.window->focusWidget(), next);
    }

    void reloadsOnlyAfterConnectionOrFilterEdits_data() {
        QTest::addColumn<QString>("edited");
        QTest::addColumn<bool>("reloads");
        for (const char* box :
             {"txtUserID", "txtPassword", "txtServer", "txtDatabase", "txtCAFile", "txtTblFilt",
              "txtProcFilt", "txtTrigFilt", "txtViewFilt", "txtFuncFilt"})
            QTest::addRow("typing in %s reloads", box) << QString::fromLatin1(box) << true;
        QTest::newRow("ticking chkTrustCert reloads") << "chkTrustCert" << true;
        QTest::newRow("choosing another encryption reloads") << "cboEncryption" << true;
        for (const char* other : {"txtPath", "txtViewer", "chkAlter", "chkGroup", "chkEncrypt",
                                  "chkUnicode", "chkNewTypes", "chkCreateOrAlter"})
            QTest::addRow("changing %s keeps the list", other)
                << QString::fromLatin1(other) << false;
        QTest::newRow("no edit keeps the list") << QString() << false;
        QTest::newRow("filter set by the program reloads") << "set txtTblFilt" << true;
    }

    void reloadsOnlyAfterConnectionOrFilterEdits() {
        QFETCH(QString, edited);
        QFETCH(bool, reloads);
        Harness harness(fillGroups);
        QAbstractButton* next = harness.button(QStringLiteral("cmdTab"), 0);
        QAbstractButton* prev = harness.button(QStringLiteral("cmdTab"), 1);

        next->click();
        QCOMPARE(harness.loads, 1);
        harness.objects().setChecked(2, true);
        prev->click();

        if (edited.startsWith(u"set "))
            harness.control<QLineEdit>(edited.mid(4))->setText(QStringLiteral("1=1"));
        else if (edited.startsWith(u"txt"))
            QTest::keyClicks(harness.control(edited), QStringLiteral("x"));
        else if (edited.startsWith(u"cbo"))
            harness.control<QComboBox>(edited)->setCurrentIndex(1);
        else if (!edited.isEmpty())
            harness.control<QCheckBox>(edited)->click();
        QCOMPARE(harness.window->fields().ConfigChanged, reloads);

        next->click();
        QCOMPARE(harness.loads, reloads ? 2 : 1);
        QVERIFY(!harness.window->fields().ConfigChanged);
        // A reload brings a fresh list; otherwise the ticks stay.
        QCOMPARE(listed(harness.objects()).first(), reloads ? u"A" : u"+C");
    }

    void unreachableServerIsReportedAndPageStillSwitches() {
        Harness harness({}, LoadList);
        harness.control<QLineEdit>(QStringLiteral("txtServer"))
            ->setText(QStringLiteral("127.0.0.1,1"));
        harness.control<QLineEdit>(QStringLiteral("txtUserID"))->setText(QStringLiteral("sa"));
        harness.button(QStringLiteral("cmdTab"), 0)->click();

        QCOMPARE(harness.messages.size(), 1);
        QVERIFY2(harness.messages[0].text.startsWith(u"LoadList: OpenConnection: "),
                 qPrintable(harness.messages[0].text));
        QCOMPARE(harness.messages[0].icon, MessageIcon::Exclamation);
        harness.verifyPage(true);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // The server drops the connection in the middle of the foreign keys (four
    // rows, the listing only two): the message names the chain and the query,
    // and the list keeps the order Key Order would have changed.
    void keyOrderFailureLeavesTheList() {
        QString schema = "create table A (id int not null primary key)\nGO\n"
                         "create table B (id int not null primary key, a int references A)\nGO\n";
        for (const char* other : {"X", "Y", "Z"})
            schema += QString("create table ") + other + " (a int references A)\nGO\n";
        test::StandIn server({.sample = false, .script = schema, .dropAfterRows = 3});
        Harness harness({}, LoadList);
        harness.control<QLineEdit>(QStringLiteral("txtServer"))->setText(server.serverText());
        harness.control<QLineEdit>(QStringLiteral("txtUserID"))->setText(QStringLiteral("sa"));
        harness.control<QLineEdit>(QStringLiteral("txtTblFilt"))
            ->setText(QStringLiteral("name in ('A','B')"));
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.objects().setChecked(rowOf(harness.objects(), "B"), true);
        harness.objects().setChecked(rowOf(harness.objects(), "A"), true);
        const QStringList before = listed(harness.objects());
        QCOMPARE(before, (QStringList{"+B", "+A"}));

        harness.button(QStringLiteral("cmdAction"), 7)->click();
        QCOMPARE(harness.messages.size(), 1);
        const QString message = harness.messages[0].text;
        QVERIFY2(message.startsWith(u"cmdAction_Click: KeyOrder: ") &&
                     message.endsWith("\r\n\r\n[" + foreignKeyQuery(true) + "]"),
                 qPrintable(message));
        QCOMPARE(listed(harness.objects()), before);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void helpShowsTheTextLineByLine() {
        Harness harness;
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.button(QStringLiteral("cmdAction"), 3)->click();

        QCOMPARE(harness.messages.size(), 1);
        const Shown& help = harness.messages[0];
        QCOMPARE(help.title, QStringLiteral("Quarvex.EXE Help"));
        QCOMPARE(help.icon, MessageIcon::Information);
        // The text itself is the window's own; here only that it came whole,
        // with the version the build gave the program.
        QVERIFY(help.text.split(u'\n').size() > 15);
        QVERIFY(help.text.split(u'\n').last().contains(QStringLiteral(" " QUARVEX_VERSION ",")));
    }

    // Without a saved folder the scripts go to "Quarvex" in the documents
    // folder, or in the home folder when there is none; never beside the
    // program, which may not be writable once installed.
    void defaultOutputFolder_data() {
        QTest::addColumn<bool>("hasDocuments");
        QTest::addColumn<QString>("expected"); // below the home folder
        QTest::newRow("documents folder") << true << "Documents/Quarvex";
        QTest::newRow("home folder only") << false << "Quarvex";
    }

    void defaultOutputFolder() {
        QFETCH(bool, hasDocuments);
        QFETCH(QString, expected);
        QTemporaryDir home;
        if (hasDocuments)
            QDir(home.path()).mkdir("Documents");
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
        const QString path = Harness().control<QLineEdit>(QStringLiteral("txtPath"))->text();
        qputenv("HOME", oldHome);
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(path, home.filePath(expected));
        QVERIFY(!QFileInfo::exists(path)); // made by the first run, not by looking
    }

    void messageBoxLooksAsAsked_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QMessageBox::Icon>("boxIcon");
        QTest::addColumn<QString>("boxTitle");
        QTest::newRow("error without title shows the application's name")
            << MessageIcon::Exclamation << QString() << QMessageBox::Warning
            << QStringLiteral("Quarvex");
        QTest::newRow("information keeps its title")
            << MessageIcon::Information << QStringLiteral("Quarvex.EXE Help")
            << QMessageBox::Information << QStringLiteral("Quarvex.EXE Help");
    }

    void messageBoxLooksAsAsked() {
        QFETCH(MessageIcon, icon);
        QFETCH(QString, title);
        QFETCH(QMessageBox::Icon, boxIcon);
        QFETCH(QString, boxTitle);
        // Server messages quote SQL that may look like markup; it stays text.
        const QString text = QStringLiteral("LoadList: <b>x</b> where a < 1\n\n[select 1]");
        const auto box = QtToolkit::messageBox(text, icon, title, nullptr);
        QCOMPARE(box->icon(), boxIcon);
        QCOMPARE(box->windowTitle(), boxTitle);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
    }

    void busyPointerIsOneStateNotAStack() {
        Harness harness;
        harness.window->toolkit().setBusy(true);
        harness.window->toolkit().setBusy(true);
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        harness.window->toolkit().setBusy(false);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // Every command trims the folder first; Select All stands for them.
    void trimsOutputFolder_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString sep = QDir::separator();
        const QString folder = QDir::toNativeSeparators(QStringLiteral("/srv/out dir"));
        QTest::newRow("blanks around are removed") << "  " + folder + "  " << folder;
        QTest::newRow("one trailing separator is removed") << folder + sep << folder;
        QTest::newRow("two trailing separators keep one") << folder + sep + sep << folder + sep;
        QTest::newRow("blanks go before the separator") << " " + folder + sep + " " << folder;
        QTest::newRow("root folder keeps its separator") << sep << sep;
    }

    void trimsOutputFolder() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        Harness harness;
        auto* path = harness.control<QLineEdit>(QStringLiteral("txtPath"));
        path->setText(typed);
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.button(QStringLiteral("cmdAction"), 5)->click();
        QCOMPARE(path->text(), kept);
    }

    // Joined to an empty folder, the script files would land in the root
    // folder; the run refuses before writing anything.
    void blankOutputFolderIsRefused() {
        Harness harness(fillGroups);
        harness.control<QLineEdit>(QStringLiteral("txtPath"))->setText(QStringLiteral("   "));
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.objects().setChecked(0, true);
        harness.button(QStringLiteral("cmdAction"), 1)->click();
        QCOMPARE(harness.messages.size(), 1);
        QCOMPARE(harness.messages[0].text,
                 QStringLiteral("cmdAction_Click: CreateScripts: No output folder given"));
        QVERIFY(harness.objects().isChecked(0));
    }

    // A run does not return to the event loop; what the user clicks or types
    // meanwhile must not act afterwards (a second run would rewrite the
    // scripts with nothing ticked).
    void inputDuringARunIsDiscarded_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("closes");
        QTest::newRow("second click on Create Scripts") << "click create" << false;
        QTest::newRow("blank typed on Create Scripts") << "space" << false;
        QTest::newRow("tick of an entry") << "tick" << false;
        // Closing is held back until the run has ended, never lost.
        QTest::newRow("window closed") << "close" << true;
    }

    void inputDuringARunIsDiscarded() {
        QFETCH(QString, input);
        QFETCH(bool, closes);
        QTemporaryDir output;
        Harness harness(fillGroups);
        harness.control<QLineEdit>(QStringLiteral("txtPath"))->setText(output.path());
        harness.control<QLineEdit>(QStringLiteral("txtServer"))
            ->setText(QStringLiteral("127.0.0.1,1"));
        QVERIFY(harness.show());
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        QAbstractButton* create = harness.button(QStringLiteral("cmdAction"), 1);
        harness.objects().setChecked(rowOf(harness.objects(), "C"), true);
        harness.objects().setChecked(rowOf(harness.objects(), "P2"), true);
        const QStringList before = listed(harness.objects());
        create->setFocus();
        QWidget* window = harness.window.get();

        if (input == u"click create")
            queueClick(window, create, create->rect().center());
        else if (input == u"space")
            queueKey(window, Qt::Key_Space, QStringLiteral(" "));
        else if (input == u"tick")
            queueClick(window, harness.list()->viewport(), checkBoxCenter(harness.list(), 0));
        else
            QCoreApplication::postEvent(window->windowHandle(), new QCloseEvent);
        // The run fails at the closed port and reports it once.
        create->click();
        QTest::qWait(50);

        QCOMPARE(harness.messages.size(), 1);
        QCOMPARE(harness.window->isVisible(), !closes);
        // Neither the queued tick nor the failed run changed a mark.
        QCOMPARE(listed(harness.objects()), before);
    }

    // The server goes away in the middle of the second table: the first was
    // scripted and unticked, but no script changed, so the list gets back
    // the ticks and the order it had and a second press redoes the run.
    void failedRunGivesBackTheTicks() {
        QString schema = "create table A (id int null)\ncreate table Many (n int null)\n";
        for (int n = 1; n <= 60; ++n)
            schema += QString("insert into Many values (%1)\n").arg(n);
        test::StandIn server({.sample = false, .script = schema + "GO\n", .dropAfterRows = 50});
        QTemporaryDir output;
        Harness harness({}, LoadList);
        harness.control<QLineEdit>(QStringLiteral("txtPath"))->setText(output.path());
        harness.control<QLineEdit>(QStringLiteral("txtServer"))->setText(server.serverText());
        harness.control<QLineEdit>(QStringLiteral("txtUserID"))->setText(QStringLiteral("sa"));
        harness.control<QLineEdit>(QStringLiteral("txtTblFilt"))->clear();
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.objects().setChecked(rowOf(harness.objects(), "A"), true);
        harness.objects().setChecked(rowOf(harness.objects(), "Many"), true);
        const QStringList before = listed(harness.objects());
        QCOMPARE(before, (QStringList{"+A", "+Many"}));

        harness.button(QStringLiteral("cmdAction"), 1)->click();
        QCOMPARE(harness.messages.size(), 1);
        QVERIFY2(harness.messages[0].text.startsWith(u"cmdAction_Click: CreateScripts: "),
                 qPrintable(harness.messages[0].text));
        QCOMPARE(listed(harness.objects()), before);
        QCOMPARE(QDir(output.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    // A second press after a run that unticked everything it scripted, given
    // as real input once the run is over, keeps the scripts just written.
    void secondPressWritesNothing() {
        test::StandIn server({.sample = false,
                              .script = "create table A (id int null)\nGO\n"
                                        "create procedure p as select 1\nGO\n"});
        QTemporaryDir output;
        Harness harness({}, LoadList);
        harness.control<QLineEdit>(QStringLiteral("txtPath"))->setText(output.path());
        harness.control<QLineEdit>(QStringLiteral("txtServer"))->setText(server.serverText());
        harness.control<QLineEdit>(QStringLiteral("txtUserID"))->setText(QStringLiteral("sa"));
        harness.control<QLineEdit>(QStringLiteral("txtViewer"))->setText(QStringLiteral("true"));
        for (const char* filter : {"txtTblFilt", "txtProcFilt"})
            harness.control<QLineEdit>(QLatin1String(filter))->clear();
        QVERIFY(harness.show());
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        harness.button(QStringLiteral("cmdAction"), 5)->click();
        QAbstractButton* create = harness.button(QStringLiteral("cmdAction"), 1);
        create->click();
        QCOMPARE(harness.messages.size(), 0);
        QCOMPARE(listed(harness.objects()), (QStringList{"p", "A"}));
        const auto bytes = [&](const char* name) {
            QFile file(QDir(output.path()).filePath(QLatin1String(name)));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray tables = bytes("Tables.sql");
        const QByteArray procs = bytes("Procs.sql");
        QVERIFY(tables.contains("insert into") || tables.contains("rows to A"));

        queueClick(harness.window.get(), create, create->rect().center());
        QTest::qWait(50);
        QCOMPARE(harness.control<QLabel>(QStringLiteral("lblStatus"))->text(),
                 QStringLiteral("Nothing ticked: no script written"));
        QCOMPARE(bytes("Tables.sql"), tables);
        QCOMPARE(bytes("Procs.sql"), procs);
        QCOMPARE(harness.messages.size(), 0);
    }

    // Everything but the password comes back in the next run, whichever way
    // the window was closed.
    void settingsSurviveARestart_data() {
        QTest::addColumn<int>("closeBy");
        QTest::newRow("exit button") << 0;
        QTest::newRow("closing the window") << 1;
    }

    void settingsSurviveARestart() {
        QFETCH(int, closeBy);
        QTemporaryDir folder;
        const QString file = folder.filePath("quarvex.cfg");
        {
            Harness first({}, {}, file);
            QVERIFY(first.show());
            first.control<QLineEdit>("txtServer")->setText("db1,1433");
            first.control<QLineEdit>("txtTblFilt")->setText("  name = 'a=b'  ");
            first.control<QLineEdit>("txtPassword")->setText("hunter2");
            first.control<QLineEdit>("txtPath")->setText("/tmp/out");
            first.control<QCheckBox>("chkUnicode")->setChecked(true);
            first.control<QCheckBox>("chkGroup")->setChecked(false);
            first.control<QCheckBox>("chkNewTypes")->setChecked(true);
            first.control<QComboBox>("cboEncryption")->setCurrentIndex(2);
            first.control<QCheckBox>("chkTrustCert")->setChecked(true);
            first.control<QLineEdit>("txtCAFile")->setText("/etc/ssl/our ca.pem");
            first.control<QCheckBox>("chkCreateOrAlter")->setChecked(true);
            if (closeBy == 0) {
                first.button(QStringLiteral("cmdTab"), 0)->click();
                first.button(QStringLiteral("cmdAction"), 2)->click();
            } else {
                first.window->close();
            }
            QVERIFY(!first.window->isVisible());
            QVERIFY(first.messages.isEmpty());
        }
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(!saved.readAll().contains("hunter2"));

        Harness second({}, {}, file);
        QCOMPARE(second.control<QLineEdit>("txtServer")->text(), QStringLiteral("db1,1433"));
        QCOMPARE(second.control<QLineEdit>("txtTblFilt")->text(), QStringLiteral("name = 'a=b'"));
        QCOMPARE(second.control<QLineEdit>("txtPassword")->text(), QString());
        QCOMPARE(second.control<QLineEdit>("txtPath")->text(), QStringLiteral("/tmp/out"));
        QVERIFY(second.control<QCheckBox>("chkUnicode")->isChecked());
        QVERIFY(!second.control<QCheckBox>("chkGroup")->isChecked());
        QVERIFY(second.control<QCheckBox>("chkNewTypes")->isChecked());
        QCOMPARE(second.control<QComboBox>("cboEncryption")->currentText(),
                 QStringLiteral("Strict"));
        QVERIFY(second.control<QCheckBox>("chkTrustCert")->isChecked());
        QCOMPARE(second.control<QLineEdit>("txtCAFile")->text(),
                 QStringLiteral("/etc/ssl/our ca.pem"));
        QVERIFY(second.control<QCheckBox>("chkCreateOrAlter")->isChecked());
        QVERIFY(second.window->fields().ConfigChanged);
        QVERIFY(second.messages.isEmpty());
    }

    void badSettingsValueIsReportedAtStart() {
        QTemporaryDir folder;
        QFile file(folder.filePath("quarvex.cfg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("txtServer=never\r\nchkAlter=7\r\nchkUnicode=1\r\n");
        file.close();
        Harness harness({}, {}, file.fileName());
        QCOMPARE(harness.messages.size(), 1);
        QCOMPARE(harness.messages[0].text,
                 QStringLiteral("Form_Load: ReadCfg: Invalid property value"));
        // Check boxes come first in the window's order: chkUnicode was read,
        // the boxes after chkAlter were not.
        QVERIFY(harness.control<QCheckBox>("chkUnicode")->isChecked());
        QCOMPARE(harness.control<QLineEdit>("txtServer")->text(), QStringLiteral("localhost"));
    }

    void selectsWholeTextOnlyWhenTabbedInto_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("wholeText");
        QTest::newRow("tab from the box before") << "tab" << true;
        QTest::newRow("shift+tab from the box after") << "backtab" << true;
        QTest::newRow("tab widens a partial selection") << "tab after partial" << true;
        QTest::newRow("mouse click keeps the caret") << "click" << false;
        QTest::newRow("focus coming back with the window selects nothing") << "window" << false;
    }

    void selectsWholeTextOnlyWhenTabbedInto() {
        QFETCH(QString, how);
        QFETCH(bool, wholeText);
        Harness harness;
        QVERIFY(harness.show());
        auto* server = harness.control<QLineEdit>(QStringLiteral("txtServer"));
        server->setText(QStringLiteral("dbhost\\sales"));

        if (how == u"tab" || how == u"tab after partial") {
            if (how == u"tab after partial")
                server->setSelection(0, 2);
            auto* before = harness.control(QStringLiteral("txtPassword"));
            before->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(before, Qt::Key_Tab);
        } else if (how == u"backtab") {
            auto* after = harness.control(QStringLiteral("txtDatabase"));
            after->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
        } else if (how == u"window") {
            server->setFocus(Qt::ActiveWindowFocusReason);
        } else {
            harness.control(QStringLiteral("txtDatabase"))->setFocus(Qt::OtherFocusReason);
            QTest::mouseClick(server, Qt::LeftButton, {}, QPoint(8, server->height() / 2));
        }

        QCOMPARE(QApplication::focusWidget(), server);
        QCOMPARE(server->selectedText(), wholeText ? server->text() : QString());
    }

    void ticksKeepTheirOrderInTheList_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const struct {
            const char* name;
            QStringList steps;
            QStringList expected;
        } cases[] = {
            {"ticking C, A, D gives C, A, D, B",
             {"+C", "+A", "+D"},
             {"+C", "+A", "+D", "B", "P1", "P2", "V1"}},
            {"unticking A gives C, D, A, B",
             {"+C", "+A", "+D", "-A"},
             {"+C", "+D", "A", "B", "P1", "P2", "V1"}},
            {"last of a ticked group stays put",
             {"+A", "+B", "+C", "+D"},
             {"+A", "+B", "+C", "+D", "P1", "P2", "V1"}},
            {"a proc moves among procs only",
             {"+B", "+P2"},
             {"+B", "A", "C", "D", "+P2", "P1", "V1"}},
            {"unticking the only tick keeps it at the head",
             {"+C", "-C"},
             {"C", "A", "B", "D", "P1", "P2", "V1"}},
        };
        for (const char* how : {"program", "space bar", "mouse"})
            for (const auto& row : cases)
                QTest::addRow("%s: %s", how, row.name)
                    << QString::fromLatin1(how) << row.steps << row.expected;
    }

    void ticksKeepTheirOrderInTheList() {
        QFETCH(QString, how);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        Harness harness(fillGroups);
        QVERIFY(harness.show());
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        ListWidgetObjectList& objects = harness.objects();
        QListWidget* list = harness.list();

        for (const QString& step : steps) {
            const int row = rowOf(objects, step.mid(1));
            const bool tick = step.startsWith(u'+');
            if (how == u"program") {
                objects.setChecked(row, tick);
            } else if (how == u"space bar") {
                list->setCurrentRow(row);
                QTest::keyClick(list, Qt::Key_Space);
            } else {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxCenter(list, row));
            }
            QCOMPARE(objects.currentIndex(), row);
        }

        QCOMPARE(listed(objects), expected);
        // The object behind each entry moved with its text.
        for (int i = 0; i < objects.count(); ++i) {
            const ObjectRef object = objects.entry(i).object;
            QCOMPARE(objects.text(i), entryText(object.kind, object.name, object.owner, object.id));
        }
        QVERIFY(!harness.window->fields().SuppressItemCheck);
        QVERIFY(harness.messages.isEmpty());
    }

    void selectTypeTicksTheCurrentKind_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("current proc ticks every proc")
            << "P2" << QStringList{"+D", "A", "B", "C", "+P1", "+P2", "V1"};
        QTest::newRow("current table ticks tables where they stand")
            << "B" << QStringList{"+D", "+A", "+B", "+C", "P1", "P2", "V1"};
        QTest::newRow("no current entry ticks nothing")
            << QString() << QStringList{"+D", "A", "B", "C", "P1", "P2", "V1"};
    }

    void selectTypeTicksTheCurrentKind() {
        QFETCH(QString, current);
        QFETCH(QStringList, expected);
        Harness harness(fillGroups);
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        ListWidgetObjectList& objects = harness.objects();
        objects.setChecked(rowOf(objects, QStringLiteral("D")), true);
        objects.setCurrentIndex(current.isEmpty() ? -1 : rowOf(objects, current));

        harness.button(QStringLiteral("cmdAction"), 4)->click();
        QCOMPARE(listed(objects), expected);
        QVERIFY(!harness.window->fields().SuppressItemCheck);
        QVERIFY(harness.messages.isEmpty());
    }

    void selectAllThenDeselectAllMovesNothing() {
        Harness harness(fillGroups);
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        ListWidgetObjectList& objects = harness.objects();
        objects.setChecked(rowOf(objects, QStringLiteral("C")), true);
        objects.setChecked(rowOf(objects, QStringLiteral("V1")), true);

        harness.button(QStringLiteral("cmdAction"), 5)->click();
        QCOMPARE(listed(objects), QStringList({"+C", "+A", "+B", "+D", "+P1", "+P2", "+V1"}));
        harness.button(QStringLiteral("cmdAction"), 6)->click();
        QCOMPARE(listed(objects), QStringList({"C", "A", "B", "D", "P1", "P2", "V1"}));
        QVERIFY(!harness.window->fields().SuppressItemCheck);

        // The handler is live again: a new tick is ordered.
        objects.setChecked(rowOf(objects, QStringLiteral("D")), true);
        QCOMPARE(listed(objects).first(), QStringLiteral("+D"));
    }

    void tickKeepsScrollPosition_data() {
        QTest::addColumn<bool>("byUser");
        QTest::newRow("user ticks an entry in view") << true;
        QTest::newRow("program unticks an entry out of view") << false;
    }

    void tickKeepsScrollPosition() {
        QFETCH(bool, byUser);
        Harness harness(manyTablesThenProcs);
        QVERIFY(harness.show());
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        ListWidgetObjectList& objects = harness.objects();
        QListWidget* list = harness.list();
        objects.setChecked(5, true); // T5 to the top of the tables
        objects.setTopIndex(30);
        QCOMPARE(visibleTopRow(list), 30);

        const int row = byUser ? 33 : 0;
        if (byUser) {
            list->setCurrentRow(row);
            QTest::keyClick(list, Qt::Key_Space);
        } else {
            objects.setChecked(row, false);
        }
        QCOMPARE(visibleTopRow(list), 30);
        QCOMPARE(objects.currentIndex(), row);
    }

    void bulkCommandsScrollAsTheyTick() {
        Harness harness(manyTablesThenProcs);
        QVERIFY(harness.show());
        harness.button(QStringLiteral("cmdTab"), 0)->click();
        ListWidgetObjectList& objects = harness.objects();
        QListWidget* list = harness.list();

        objects.setCurrentIndex(3);
        harness.button(QStringLiteral("cmdAction"), 4)->click(); // Select Type
        QCOMPARE(visibleTopRow(list), 59);                       // the last table

        harness.button(QStringLiteral("cmdAction"), 5)->click(); // Select All
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
        QVERIFY(list->verticalScrollBar()->maximum() > 59);

        objects.setTopIndex(10);
        harness.button(QStringLiteral("cmdAction"), 6)->click(); // Deselect All
        QCOMPARE(visibleTopRow(list), 10);
    }

private:
    // Sixty tables and forty procs: more than the list shows at once.
    static void manyTablesThenProcs(ObjectList& list) {
        for (int i = 0; i < 60; ++i)
            list.append(catalogueEntry(ObjectKind::Table, QStringLiteral("T%1").arg(i), "dbo", i));
        for (int i = 0; i < 40; ++i)
            list.append(
                catalogueEntry(ObjectKind::Proc, QStringLiteral("P%1").arg(i), "dbo", 100 + i));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
