// The window through its real widgets, offscreen; loading and messages go
// through the window's services, the real loader only against a stand-in.
#include "app/EntryDelegate.h"
#include "app/FrmQuarvex.h"
#include "base/Version.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ForeignKeyQuery.h"
#include "catalogue/LoadList.h"
#include "support/RecordingToolkit.h"
#include "support/StandIn.h"
#include "support/TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace quarvex;
using test::listed;

namespace {

struct Shown {
    QString text;
    MessageIcon icon;
    QString title;
};

// One window with its loads and messages counted; not movable.
class Harness {
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
                                            const CatalogueFilters&) -> std::optional<Failure> {
            ++loads;
            toolkit.objectList().clear();
            if (m_filler)
                m_filler(toolkit.objectList());
            return std::nullopt;
        };
        services.showMessage = [this](const QString& text, MessageIcon icon, const QString& title) {
            messages.append({text, icon, title});
        };
        services.askRowFilter = [this](const QString& table, const QString& condition) {
            rowFilterAsked.append(table + u'|' + condition);
            return rowFilterAnswer;
        };
        services.confirmStop = [this] {
            ++stopsAsked;
            return true;
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

    QListWidget* list() const { return control<QListWidget>("lstNames"); }
    QLineEdit* edit(const QString& name) const { return control<QLineEdit>(name); }
    void next() const { button("cmdTab", 0)->click(); }
    void action(int index) const { button("cmdAction", index)->click(); }
    void tick(const QString& name, bool on = true) const;
    // A line edit's text, a check box's tick or a combo box's choice.
    void set(const QString& name, const QVariant& value) const {
        if (auto* box = qobject_cast<QCheckBox*>(control(name)))
            box->setChecked(value.toBool());
        else if (auto* combo = qobject_cast<QComboBox*>(control(name)))
            combo->setCurrentIndex(value.toInt());
        else
            edit(name)->setText(value.toString());
    }
    QVariant value(const QString& name) const {
        if (auto* box = qobject_cast<QCheckBox*>(control(name)))
            return box->isChecked();
        if (auto* combo = qobject_cast<QComboBox*>(control(name)))
            return combo->currentIndex();
        return edit(name)->text();
    }
    // The real loader against the given server, as sa, scripts to the folder.
    void connectTo(const QString& server, const QString& output = {}) const {
        edit("txtServer")->setText(server);
        edit("txtUserID")->setText("sa");
        if (!output.isEmpty())
            edit("txtPath")->setText(output);
    }

    // One page shown, and only the button to the other enabled.
    void verifyPage(bool processing) const {
        QCOMPARE(control("fraConfig")->isHidden(), processing);
        QCOMPARE(control("fraProcess")->isHidden(), !processing);
        QCOMPARE(button("cmdTab", 0)->isEnabled(), !processing);
        QCOMPARE(button("cmdTab", 1)->isEnabled(), processing);
        QCOMPARE(control<QLabel>("lblTabName")->text(),
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
    std::optional<QString> rowFilterAnswer;
    QStringList rowFilterAsked;
    int stopsAsked = 0; // each answered yes
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

int rowOf(const ObjectList& list, const QString& name) {
    for (int i = 0; i < list.count(); ++i)
        if (list.entry(i).object.name == name)
            return i;
    return -1;
}

void Harness::tick(const QString& name, bool on) const {
    objects().setChecked(rowOf(objects(), name), on);
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

// The window as drawn, into $QUARVEX_SCREENSHOTS when set, for the eye.
void screenshot(const Harness& harness, const QString& name) {
    const QString folder = qEnvironmentVariable("QUARVEX_SCREENSHOTS");
    if (!folder.isEmpty())
        harness.window->grab().save(folder + "/window-" + name + ".png");
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

    // Starts on the configuration page; each switch shows one page and moves
    // the focus to the button back. An empty list loads again without edits.
    void switchesPages() {
        Harness harness;
        QAbstractButton* next = harness.button("cmdTab", 0);
        QAbstractButton* prev = harness.button("cmdTab", 1);
        harness.verifyPage(false);
        QVERIFY(harness.messages.isEmpty());
        QCOMPARE(harness.edit("txtPassword")->echoMode(), QLineEdit::Password);
        next->click();
        harness.verifyPage(true);
        QCOMPARE(harness.window->focusWidget(), prev);
        prev->click();
        harness.verifyPage(false);
        QCOMPARE(harness.window->focusWidget(), next);
        next->click();
        QCOMPARE(harness.loads, 2);
    }

    // Centred, and whole on the screen: a laptop's 1366x768 less its panel,
    // or the smaller screen of the test platform.
    void placedCentredAndWhole() {
        Harness harness;
        QVERIFY(harness.show());
        const QRect area = harness.window->screen()->availableGeometry();
        const QRect frame = harness.window->frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QString("%1x%2 at %3,%4")
                                                      .arg(frame.width())
                                                      .arg(frame.height())
                                                      .arg(frame.x())
                                                      .arg(frame.y())));
        QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 24);
        QVERIFY(qAbs(frame.center().y() - area.center().y()) <= 24);
        QVERIFY(frame.height() <= 768 - 40 && frame.width() <= 1366);
    }

    void tabVisitsControlsInOrder_data() {
        QTest::addColumn<bool>("processingPage");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("configuration page")
            << false
            << QStringList{"txtUserID",         "txtPassword",      "txtServer",   "txtDatabase",
                           "cboEncryption",     "chkTrustCert",     "txtCAFile",   "txtProcFilt",
                           "txtTrigFilt",       "txtTblFilt",       "txtViewFilt", "txtFuncFilt",
                           "txtViewer",         "txtPath",          "chkAlter",    "chkGroup",
                           "cboConsistentRead", "chkEncrypt",       "chkUnicode",  "chkPreview",
                           "chkNewTypes",       "chkCreateOrAlter", "chkMerge",    "Next Tab"};
        QTest::newRow("processing page")
            << true
            << QStringList{"lstNames",   "Create Scripts", "Exit",      "Help",       "Select Type",
                           "Select All", "Deselect All",   "Key Order", "Row Filter", "Prev Tab"};
    }

    void tabVisitsControlsInOrder() {
        QFETCH(bool, processingPage);
        QFETCH(QStringList, order);
        Harness harness;
        QVERIFY(harness.show());
        if (processingPage)
            harness.next();
        QWidget* start = harness.button("cmdTab", processingPage ? 1 : 0);
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

    void reloadsOnlyAfterConnectionOrFilterEdits_data() {
        QTest::addColumn<QString>("edited");
        QTest::addColumn<bool>("reloads");
        for (const char* box :
             {"txtUserID", "txtPassword", "txtServer", "txtDatabase", "txtCAFile", "txtTblFilt",
              "txtProcFilt", "txtTrigFilt", "txtViewFilt", "txtFuncFilt"})
            QTest::addRow("typing in %s reloads", box) << QString::fromLatin1(box) << true;
        QTest::newRow("ticking chkTrustCert reloads") << "chkTrustCert" << true;
        QTest::newRow("choosing another encryption reloads") << "cboEncryption" << true;
        for (const char* other :
             {"txtPath", "txtViewer", "chkAlter", "chkGroup", "chkEncrypt", "chkUnicode",
              "chkNewTypes", "chkCreateOrAlter", "chkMerge", "chkPreview", "cboConsistentRead"})
            QTest::addRow("changing %s keeps the list", other)
                << QString::fromLatin1(other) << false;
        QTest::newRow("no edit keeps the list") << QString() << false;
        QTest::newRow("filter set by the program reloads") << "set txtTblFilt" << true;
    }

    void reloadsOnlyAfterConnectionOrFilterEdits() {
        QFETCH(QString, edited);
        QFETCH(bool, reloads);
        Harness harness(fillGroups);
        QAbstractButton* next = harness.button("cmdTab", 0);
        QAbstractButton* prev = harness.button("cmdTab", 1);

        next->click();
        QCOMPARE(harness.loads, 1);
        harness.objects().setChecked(2, true);
        prev->click();

        if (edited.startsWith(u"set "))
            harness.control<QLineEdit>(edited.mid(4))->setText("1=1");
        else if (edited.startsWith(u"txt"))
            QTest::keyClicks(harness.control(edited), QStringLiteral("x"));
        else if (edited.startsWith(u"cbo"))
            harness.control<QComboBox>(edited)->setCurrentIndex(1);
        else if (!edited.isEmpty())
            harness.control<QCheckBox>(edited)->click();
        QCOMPARE(harness.window->runState().ConfigChanged, reloads);

        next->click();
        QCOMPARE(harness.loads, reloads ? 2 : 1);
        QVERIFY(!harness.window->runState().ConfigChanged);
        // A reload brings a fresh list; otherwise the ticks stay.
        QCOMPARE(listed(harness.objects()).first(), reloads ? u"A" : u"+C");
    }

    // A listing that waits on a silent server is cancelled as a run is,
    // with no message, and leaves the list empty.
    void listingCanBeCancelled() {
        test::StandIn server({.sample = false,
                              .script = "create table A (id int null)\nGO\n"
                                        "create table B (id int null)\nGO\n",
                              .stallAfterRows = 1});
        Harness harness({}, LoadList);
        harness.connectTo(server.serverText());
        harness.edit("txtTblFilt")->clear();
        auto* cancel = harness.control<QPushButton>("cmdCancel");
        QElapsedTimer sinceCancel;
        QTimer::singleShot(1500, [&] {
            QVERIFY(cancel->isEnabled());
            sinceCancel.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        harness.next();

        QVERIFY(sinceCancel.isValid());
        // Within a second, even while the server is silent (its sockets are
        // shut half a second after the cancel it does not answer).
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(harness.control<QLabel>("lblStatus")->text(), cancelledListingText());
        QVERIFY(harness.messages.isEmpty());
        QCOMPARE(harness.objects().count(), 0);
        QVERIFY(!cancel->isEnabled());
    }

    // A failed listing keeps the configuration page with the focus where the
    // mistake most likely is, and the next "Next Tab" lists again.
    void failedListingKeepsTheConfigurationPage_data() {
        QTest::addColumn<QString>("mistake");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("message"); // its start
        QTest::newRow("unreachable server") << "server"
                                            << "txtServer"
                                            << "LoadList: OpenConnection: ";
        QTest::newRow("wrong password") << "password"
                                        << "txtPassword"
                                        << "LoadList: OpenConnection: ";
        QTest::newRow("login refused for want of its database") << "database"
                                                                << "txtPassword"
                                                                << "LoadList: OpenConnection: ";
        QTest::newRow("filter that is more than a condition") << "txtViewFilt=1=1) or (1=1"
                                                              << "txtViewFilt"
                                                              << "LoadList: The view filter";
        QTest::newRow("filter the server refuses") << "txtTrigFilt=nosuch = 1"
                                                   << "txtTrigFilt"
                                                   << "LoadList: ";
    }

    void failedListingKeepsTheConfigurationPage() {
        QFETCH(QString, mistake);
        QFETCH(QString, focus);
        QFETCH(QString, message);
        test::StandIn server({.sample = false, .login = "loader", .password = "pw"});
        Harness harness({}, LoadList);
        QVERIFY(harness.show());
        harness.edit("txtUserID")->setText("loader");
        harness.edit("txtPassword")->setText(mistake == "password" ? "wrong" : "pw");
        harness.edit("txtServer")
            ->setText(mistake == "server" ? "127.0.0.1,1" : server.serverText());
        harness.edit("txtDatabase")->setText(mistake == "database" ? "Nowhere" : "Northwind");
        if (mistake.contains('=')) {
            auto* filter = harness.edit(mistake.section('=', 0, 0));
            filter->clear();
            QTest::keyClicks(filter, mistake.section('=', 1));
        }
        harness.next();

        QCOMPARE(harness.messages.size(), 1);
        QVERIFY2(harness.messages[0].text.startsWith(message),
                 qPrintable(harness.messages[0].text));
        QCOMPARE(harness.messages[0].icon, MessageIcon::Exclamation);
        harness.verifyPage(false);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        harness.next();
        QCOMPARE(harness.messages.size(), 2);
    }

    // The connection drops amid the foreign keys: the message names the
    // chain and the query, and the list keeps its order.
    void keyOrderFailureLeavesTheList() {
        QString schema = "create table A (id int not null primary key)\nGO\n"
                         "create table B (id int not null primary key, a int references A)\nGO\n";
        for (const char* other : {"X", "Y", "Z"})
            schema += QString("create table ") + other + " (a int references A)\nGO\n";
        test::StandIn server({.sample = false, .script = schema, .dropAfterRows = 3});
        Harness harness({}, LoadList);
        harness.connectTo(server.serverText());
        harness.edit("txtTblFilt")->setText("name in ('A','B')");
        harness.next();
        harness.tick("B");
        harness.tick("A");
        const QStringList before = listed(harness.objects());
        QCOMPARE(before, (QStringList{"+B", "+A"}));

        harness.action(7);
        QCOMPARE(harness.messages.size(), 1);
        const QString message = harness.messages[0].text;
        QVERIFY2(message.startsWith(u"cmdAction_Click: KeyOrder: ") &&
                     message.endsWith("\r\n\r\n[" + foreignKeyQuery(true) + "]"),
                 qPrintable(message));
        QCOMPARE(listed(harness.objects()), before);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // What the server sends is shown as it is: a table whose name is markup
    // reads as that markup in the status line, never as big red text and
    // an image; no label of the window reads markup at all.
    void serverTextIsShownAsPlainText() {
        const QString name = "<h1 style=color:red>ALL ROWS VERIFIED</h1><img src=x.png>";
        test::StandIn server({.sample = false,
                              .script = "create table [" + name +
                                        "] (id int not null primary key, up int null "
                                        "references [" +
                                        name + "] (id))\nGO\n"});
        Harness harness({}, LoadList);
        harness.connectTo(server.serverText());
        harness.next();
        harness.tick(name);
        harness.action(7);
        auto* status = harness.control<QLabel>("lblStatus");
        QVERIFY2(status->text().endsWith(name + " references itself"), qPrintable(status->text()));
        for (const QLabel* label : harness.window->findChildren<QLabel*>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        if (const QString shot = qEnvironmentVariable("QUARVEX_SCREENSHOT"); !shot.isEmpty()) {
            harness.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(harness.window.get()));
            QVERIFY(harness.window->grab().save(shot));
        }
    }

    // What the program does today, whole, with the build's version.
    void helpTellsWhatTheProgramDoes() {
        Harness harness;
        harness.next();
        harness.action(3);

        QCOMPARE(harness.messages.size(), 1);
        const Shown& help = harness.messages[0];
        QCOMPARE(help.title, QStringLiteral("Quarvex Help"));
        QCOMPARE(help.icon, MessageIcon::Information);
        const QString text = help.text.simplified();
        for (const char* told :
             {"Key Order", "Row Filter", "merge", "CREATE OR ALTER", "With Encryption",
              "newer types", "xml", "integrated login", "Encryption says", "Large tables are read",
              "Cancel", "all at once or not at all", "Preview", "Consistent read"})
            QVERIFY2(text.contains(QLatin1String(told)), told);
        for (const char* outdated : {".EXE", "SSPI", "NOT expected", "Unsupported column types"})
            QVERIFY2(!help.text.contains(QLatin1String(outdated)), outdated);
        QVERIFY(help.text.split(u'\n').last().contains(QStringLiteral(" " QUARVEX_VERSION ",")));
    }

    // The configuration page names the file its settings go to.
    void configurationCaptionNamesTheSettingsFile() {
        test::TempFolder folder;
        Harness harness({}, {}, folder.path("my <settings>.cfg"));
        const QLabel* caption = harness.control<QLabel>("lblConfigurationInfo");
        QCOMPARE(caption->text(), "Aside from password, this info is saved to " +
                                      folder.path("my <settings>.cfg") + ".");
        QCOMPARE(caption->textFormat(), Qt::PlainText);
    }

    // Without a saved folder: "Quarvex" in the documents folder, else home.
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
        const QString path = Harness().control<QLineEdit>("txtPath")->text();
        qputenv("HOME", oldHome);
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(path, home.filePath(expected));
        QVERIFY(!QFileInfo::exists(path)); // made by the first run, not by looking
    }

    // An error without a title shows the application's name; server messages
    // quote SQL that may look like markup, and it stays text.
    void messageBoxLooksAsAsked() {
        const QString text = QStringLiteral("LoadList: <b>x</b> where a < 1\n\n[select 1]");
        for (const auto& [icon, title, boxIcon, boxTitle] :
             {std::tuple(MessageIcon::Exclamation, "", QMessageBox::Warning, "Quarvex"),
              std::tuple(MessageIcon::Information, "Quarvex Help", QMessageBox::Information,
                         "Quarvex Help")}) {
            const auto box = QtToolkit::messageBox(text, icon, title, nullptr);
            QCOMPARE(box->icon(), boxIcon);
            QCOMPARE(box->windowTitle(), QString(boxTitle));
            QCOMPARE(box->text(), text);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        }
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
        auto* path = harness.edit("txtPath");
        path->setText(typed);
        harness.next();
        harness.action(5);
        QCOMPARE(path->text(), kept);
    }

    // Else the scripts would land in the root folder.
    void blankOutputFolderIsRefused() {
        Harness harness(fillGroups);
        harness.edit("txtPath")->setText("   ");
        harness.next();
        harness.objects().setChecked(0, true);
        harness.action(1);
        QCOMPARE(harness.messages.size(), 1);
        QCOMPARE(harness.messages[0].text,
                 QStringLiteral("cmdAction_Click: CreateScripts: No output folder given"));
        QVERIFY(harness.objects().isChecked(0));
    }

    // Input queued during a run must not act after it; closing waits.
    void inputDuringARunIsDiscarded_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("second click on Create Scripts") << "click create";
        QTest::newRow("blank typed on Create Scripts") << "space";
        QTest::newRow("tick of an entry") << "tick";
        QTest::newRow("window closed") << "close";
    }

    void inputDuringARunIsDiscarded() {
        QFETCH(QString, input);
        QTemporaryDir output;
        Harness harness(fillGroups);
        harness.edit("txtPath")->setText(output.path());
        harness.edit("txtServer")->setText("127.0.0.1,1");
        QVERIFY(harness.show());
        harness.next();
        QAbstractButton* create = harness.button("cmdAction", 1);
        harness.tick("C");
        harness.tick("P2");
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
        // The run fails at the closed port and reports it once; closing
        // asks first, and a yes cancels the run, which may then report
        // nothing.
        create->click();
        QTest::qWait(50);

        QCOMPARE(harness.messages.size() + int(input == u"close" && harness.messages.isEmpty()), 1);
        QCOMPARE(harness.stopsAsked, int(input == u"close"));
        QCOMPARE(harness.window->isVisible(), input != u"close");
        // Neither the queued tick nor the failed run changed a mark.
        QCOMPARE(listed(harness.objects()), before);
    }

    // Real input after a run is not discarded; with nothing ticked it keeps
    // the scripts just written.
    void secondPressWritesNothing() {
        test::StandIn server({.sample = false,
                              .script = "create table A (id int null)\nGO\n"
                                        "create procedure p as select 1\nGO\n"});
        test::TempFolder output;
        Harness harness({}, LoadList);
        harness.connectTo(server.serverText(), output.folder());
        harness.edit("txtViewer")->setText("true");
        for (const char* filter : {"txtTblFilt", "txtProcFilt"})
            harness.control<QLineEdit>(QLatin1String(filter))->clear();
        QVERIFY(harness.show());
        harness.next();
        harness.action(5);
        QAbstractButton* create = harness.button("cmdAction", 1);
        create->click();
        QCOMPARE(harness.messages.size(), 0);
        QCOMPARE(listed(harness.objects()), (QStringList{"p", "A"}));
        const QByteArray tables = output.bytes("Tables.sql");
        const QByteArray procs = output.bytes("Procs.sql");
        QVERIFY(tables.contains("insert into") || tables.contains("rows to A"));

        queueClick(harness.window.get(), create, create->rect().center());
        QTest::qWait(50);
        QCOMPARE(harness.control<QLabel>("lblStatus")->text(),
                 QStringLiteral("Nothing ticked: no script written"));
        QCOMPARE(output.bytes("Tables.sql"), tables);
        QCOMPARE(output.bytes("Procs.sql"), procs);
        QCOMPARE(harness.messages.size(), 0);
    }

    // A long table shows its figures and the bar moving; Cancel (or Escape)
    // ends the run as a failure ends it, within moments even when the
    // server has gone silent, and the next run works.
    void longRunShowsProgressAndCancels_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel amid the rows") << "button";
        QTest::newRow("Escape amid the rows") << "escape";
        QTest::newRow("Cancel while the server is silent") << "silent";
    }

    void longRunShowsProgressAndCancels() {
        QFETCH(QString, how);
        const bool silent = how == u"silent";
        test::StandInOptions options{.sample = false,
                                     .script = test::numberedTable("Big", 3000, 100) +
                                               "create procedure spA as select 1\nGO\n"};
        (silent ? options.stallAfterRows : options.packetDelayMs) = silent ? 600 : 40;
        test::StandIn server(options);
        test::TempFolder output;
        Harness harness({}, LoadList);
        harness.connectTo(server.serverText(), output.folder());
        harness.edit("txtViewer")->setText("true");
        for (const char* filter : {"txtTblFilt", "txtProcFilt"})
            harness.control<QLineEdit>(QLatin1String(filter))->clear();
        // Shown for the eye; activation is not needed (nor given where no
        // window manager runs).
        harness.window->show();
        harness.next();
        harness.tick("spA");
        harness.action(1);
        QList<QByteArray> scripts;
        for (const char* name : {"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"})
            scripts << output.bytes(QLatin1String(name));
        harness.tick("Big");
        harness.tick("spA");
        const QStringList before = listed(harness.objects());
        QCOMPARE(before, (QStringList{"+spA", "+Big"}));

        auto* bar = harness.control<QProgressBar>("prgRun");
        auto* cancel = harness.control<QPushButton>("cmdCancel");
        auto* status = harness.control<QLabel>("lblStatus");
        QVERIFY(!cancel->isEnabled());
        QStringList figures;
        int partlyFilled = 0; // samples of the bar neither empty nor full
        QElapsedTimer sinceCancel;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            figures << status->text();
            partlyFilled += int(bar->value() > 0 && bar->value() < bar->maximum());
            const bool due = silent ? !server.receivedBatches().filter("from dbo.Big").isEmpty() &&
                                          status->text().contains(" rows")
                                    : bar->value() > 0 && status->text().contains("rows/s");
            if (!due || sinceCancel.isValid())
                return;
            QVERIFY(cancel->isEnabled());
            screenshot(harness, "running-" + how);
            sinceCancel.start();
            if (how == u"escape")
                QTest::keyClick(harness.list(), Qt::Key_Escape);
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        watcher.start(20);
        harness.action(1);
        watcher.stop();

        QVERIFY(sinceCancel.isValid());
        // Within a second, even while the server is silent (its sockets are
        // shut half a second after the cancel it does not answer).
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(status->text(), QStringLiteral("Cancelled: the script files are unchanged"));
        screenshot(harness, "cancelled-" + how);
        QVERIFY(harness.messages.isEmpty());
        QCOMPARE(listed(harness.objects()), before);
        QList<QByteArray> after;
        for (const char* name : {"Tables.sql", "Procs.sql", "Trigs.sql", "Views.sql", "Funcs.sql"})
            after << output.bytes(QLatin1String(name));
        QCOMPARE(after, scripts);
        QCOMPARE(QDir(output.folder()).entryList(QDir::Files | QDir::Hidden).size(), 5);
        QVERIFY(!cancel->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // The figures: the entry of the ticked ones, its rows of the count.
        // A silent server may stop before the next report: its figures can
        // stand at the count alone.
        const QRegularExpression figure("^Big \\(2 of 2\\): [0-9 ]+ of 3 000 rows(, [0-9 ]+ "
                                        "rows/s, about [0-9]+ (s|min) left)?$");
        QVERIFY2(!figures.filter(figure).isEmpty(), qPrintable(figures.join('\n')));
        if (!silent) {
            QVERIFY2(!figures.filter("rows/s, about").isEmpty(), qPrintable(figures.join('\n')));
            QVERIFY(partlyFilled > 0);
        }

        // Silent, the server would hold Big again; the procedure stands for
        // a run that works.
        if (silent)
            harness.tick("Big", false);
        harness.action(1);
        QVERIFY(harness.messages.isEmpty());
        QCOMPARE(status->text(), QString::number(silent ? 0 : 1) +
                                     " tables/1 procs/0 triggers/0 views/0 functions scripted");
        QCOMPARE(output.bytes("Tables.sql").contains("Loading 3000 rows to Big..."), !silent);
    }

    // Everything but the password comes back, however the window closed.
    void settingsSurviveARestart_data() {
        QTest::addColumn<int>("closeBy");
        QTest::newRow("exit button") << 0;
        QTest::newRow("closing the window") << 1;
    }

    void settingsSurviveARestart() {
        QFETCH(int, closeBy);
        test::TempFolder folder;
        const QString file = folder.path("quarvex.cfg");
        const QList<std::pair<QString, QVariant>> kept = {
            {"txtServer", "db1,1433"},  {"txtPath", "/tmp/out"},
            {"chkUnicode", true},       {"chkGroup", false},
            {"chkNewTypes", true},      {"chkMerge", true},
            {"cboEncryption", 2},       {"chkTrustCert", true},
            {"chkCreateOrAlter", true}, {"txtCAFile", "/etc/ssl/our ca.pem"},
            {"chkPreview", true},       {"cboConsistentRead", 1}};
        {
            Harness first({}, {}, file);
            QVERIFY(first.show());
            for (const auto& [name, value] : kept)
                first.set(name, value);
            first.edit("txtTblFilt")->setText("  name = 'a=b'  ");
            first.edit("txtPassword")->setText("hunter2");
            if (closeBy == 0) {
                first.next();
                first.action(2);
            } else {
                first.window->close();
            }
            QVERIFY(!first.window->isVisible());
            QVERIFY(first.messages.isEmpty());
        }
        QVERIFY(!folder.bytes("quarvex.cfg").isEmpty());
        QVERIFY(!folder.bytes("quarvex.cfg").contains("hunter2"));

        Harness second({}, {}, file);
        for (const auto& [name, value] : kept)
            QCOMPARE(second.value(name), value);
        QCOMPARE(second.control<QComboBox>("cboEncryption")->currentText(), u"Strict");
        QCOMPARE(second.control<QComboBox>("cboConsistentRead")->currentText(),
                 u"Lock while reading");
        QCOMPARE(second.edit("txtTblFilt")->text(), u"name = 'a=b'");
        QCOMPARE(second.edit("txtPassword")->text(), QString());
        QVERIFY(second.window->runState().ConfigChanged);
        QVERIFY(second.messages.isEmpty());
    }

    // Row Filter sets a table entry's condition, shown after its name; tick
    // and place stay. Other kinds and not-one-condition are refused.
    void rowFilterButton_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("shown");   // the entry's text from its name on
        QTest::addColumn<QString>("message"); // start of the message, if any
        QTest::newRow("a condition")
            << "B" << std::optional<QString>(" Qty > 1 ") << "B (dbo) where Qty > 1\t" << QString();
        QTest::newRow("cancelled") << "B" << std::optional<QString>() << "B (dbo) \t" << QString();
        QTest::newRow("not one condition")
            << "B" << std::optional<QString>("1=1) or (1=1") << "B (dbo) \t"
            << "cmdAction_Click: RowFilter: The row filter of dbo.B \"1=1) or (1=1\" is not";
        QTest::newRow("a procedure") << "P1" << std::optional<QString>("1=1") << "P1 (dbo) \t"
                                     << "cmdAction_Click: RowFilter: Only a table";
    }

    void rowFilterButton() {
        QFETCH(QString, current);
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        Harness harness(fillGroups);
        harness.next();
        harness.tick("C");
        harness.tick("B");
        const QStringList before = listed(harness.objects());
        harness.objects().setCurrentIndex(rowOf(harness.objects(), current));
        harness.rowFilterAnswer = answer;
        harness.action(8);

        QCOMPARE(listed(harness.objects()), before);
        const int row = rowOf(harness.objects(), current);
        const ListEntry entry = harness.objects().entry(row);
        QVERIFY2(entry.text.section(u'\t', 1).startsWith(shown), qPrintable(entry.text));
        QCOMPARE(entry.object.rowFilter, shown.contains("where") ? "Qty > 1" : QString());
        QCOMPARE(harness.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(harness.messages[0].text.startsWith(message),
                     qPrintable(harness.messages[0].text));

        // Asked again, the dialog starts from the condition the entry has.
        harness.rowFilterAnswer = QString();
        harness.action(8);
        if (current == "B")
            QCOMPARE(harness.rowFilterAsked.last(), "dbo.B|" + entry.object.rowFilter);
        QCOMPARE(harness.objects().entry(row).object.rowFilter, QString());
    }

    // A tick moves its entry and the row then shows another; Row Filter
    // asks for the entry last clicked or ticked, not for the one that slid
    // under the row. B is ticked; ticking C (row 2) gives B C A D, and row 2
    // then shows A.
    void rowFilterFollowsTheEntryTouchedLast_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("asked");
        QTest::newRow("mouse tick of C, D current") << "mouse"
                                                    << "dbo.C|";
        QTest::newRow("space bar on C") << "space"
                                        << "dbo.C|";
        QTest::newRow("tick of C, then a click on the row it left") << "mouse, click"
                                                                    << "dbo.A|";
        QTest::newRow("tick of C, then down a row") << "space, down"
                                                    << "dbo.D|";
        QTest::newRow("tick of C, then Select All") << "space, select all"
                                                    << "dbo.C|";
    }

    void rowFilterFollowsTheEntryTouchedLast() {
        QFETCH(QString, how);
        QFETCH(QString, asked);
        Harness harness(fillGroups);
        QVERIFY(harness.show());
        harness.next();
        QListWidget* list = harness.list();
        harness.tick("B");
        const int row = rowOf(harness.objects(), "C");
        if (how.startsWith("mouse")) {
            list->setCurrentRow(rowOf(harness.objects(), "D"));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxCenter(list, row));
        } else {
            list->setCurrentRow(row);
            QTest::keyClick(list, Qt::Key_Space);
        }
        QCOMPARE(listed(harness.objects()), (QStringList{"+B", "+C", "A", "D", "P1", "P2", "V1"}));
        if (how.endsWith("click"))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(row)).center());
        else if (how.endsWith("down"))
            QTest::keyClick(list, Qt::Key_Down);
        else if (how.endsWith("select all"))
            harness.action(5);

        harness.rowFilterAnswer.reset();
        harness.action(8);
        QCOMPARE(harness.rowFilterAsked, QStringList{asked});
    }

    // The id stands at one place in every entry, past the longest name, and
    // nothing is cut short: the list scrolls sideways instead.
    void idColumnLinesUp() {
        const QString longName(300, u'n');
        Harness harness([&](ObjectList& list) {
            list.append(catalogueEntry(ObjectKind::Table, "T", "dbo", 7));
            list.append(catalogueEntry(ObjectKind::Table, longName, "dbo", 123456));
        });
        QVERIFY(harness.show());
        harness.next();
        QListWidget* list = harness.list();
        auto* delegate = qobject_cast<EntryDelegate*>(list->itemDelegate());
        QVERIFY(delegate);
        const QFontMetrics metrics = list->fontMetrics();
        QVERIFY(delegate->idColumn() >
                delegate->nameColumn() + metrics.horizontalAdvance(longName + " (dbo) "));
        QStyleOptionViewItem option;
        option.initFrom(list);
        const QSize shortEntry = delegate->sizeHint(option, list->model()->index(0, 0));
        QCOMPARE(delegate->sizeHint(option, list->model()->index(1, 0)), shortEntry);
        QVERIFY(shortEntry.width() >= delegate->idColumn() + metrics.horizontalAdvance("123456"));
        QCOMPARE(list->textElideMode(), Qt::ElideNone);
        QCoreApplication::processEvents();
        QVERIFY(list->horizontalScrollBar()->maximum() > 0);
    }

    void entryColumns_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("columns"); // kind, name part, id
        QTest::newRow("table") << entryText(ObjectKind::Table, "Orders", "dbo", 117)
                               << QStringList{"Table:", "Orders (dbo) ", "117"};
        QTest::newRow("a TAB and a line break in the name show C-style")
            << entryText(ObjectKind::Proc, "a\tb\nc", "dbo", -5)
            << QStringList{"Proc: ", "a\\tb\\nc (dbo) ", "-5"};
        QTest::newRow("row filter after the owner")
            << objectEntry({ObjectKind::Table, "B", "dbo", 3, "Qty > 1"}).text
            << QStringList{"Table:", "B (dbo) where Qty > 1", "3"};
    }

    void entryColumns() {
        QFETCH(QString, entry);
        QFETCH(QStringList, columns);
        const EntryDelegate::Columns split = EntryDelegate::columnsOf(entry);
        QCOMPARE((QStringList{split.kind, split.name, split.id}), columns);
    }

    void badSettingsValueIsReportedAtStart() {
        test::TempFolder folder;
        folder.write("quarvex.cfg", "txtServer=never\r\nchkAlter=7\r\nchkUnicode=1\r\n");
        Harness harness({}, {}, folder.path("quarvex.cfg"));
        QCOMPARE(harness.messages.size(), 1);
        QCOMPARE(harness.messages[0].text,
                 QStringLiteral("Form_Load: ReadCfg: Invalid property value"));
        // Reading stops at chkAlter: chkUnicode before it was read.
        QVERIFY(harness.control<QCheckBox>("chkUnicode")->isChecked());
        QCOMPARE(harness.edit("txtServer")->text(), QStringLiteral("localhost"));
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
        auto* server = harness.edit("txtServer");
        server->setText("dbhost\\sales");

        if (how == u"tab" || how == u"tab after partial") {
            if (how == u"tab after partial")
                server->setSelection(0, 2);
            auto* before = harness.control("txtPassword");
            before->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(before, Qt::Key_Tab);
        } else if (how == u"backtab") {
            auto* after = harness.control("txtDatabase");
            after->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
        } else if (how == u"window") {
            server->setFocus(Qt::ActiveWindowFocusReason);
        } else {
            harness.control("txtDatabase")->setFocus(Qt::OtherFocusReason);
            QTest::mouseClick(server, Qt::LeftButton, {}, QPoint(8, server->height() / 2));
        }

        QCOMPARE(QApplication::focusWidget(), server);
        QCOMPARE(server->selectedText(), wholeText ? server->text() : QString());
    }

    void ticksKeepTheirOrderInTheList_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const char* cases[][3] = {
            {"ticking C, A, D gives C, A, D, B", "+C +A +D", "+C +A +D B P1 P2 V1"},
            {"unticking A gives C, D, A, B", "+C +A +D -A", "+C +D A B P1 P2 V1"},
            {"last of a ticked group stays put", "+A +B +C +D", "+A +B +C +D P1 P2 V1"},
            {"a proc moves among procs only", "+B +P2", "+B A C D +P2 P1 V1"},
            {"unticking the only tick keeps it at the head", "+C -C", "C A B D P1 P2 V1"},
        };
        for (const char* how : {"program", "space bar", "mouse"})
            for (const auto& row : cases)
                QTest::addRow("%s: %s", how, row[0])
                    << QString::fromLatin1(how) << QString::fromLatin1(row[1]).split(u' ')
                    << QString::fromLatin1(row[2]).split(u' ');
    }

    void ticksKeepTheirOrderInTheList() {
        QFETCH(QString, how);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        Harness harness(fillGroups);
        QVERIFY(harness.show());
        harness.next();
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
        QVERIFY(!harness.window->runState().SuppressItemCheck);
        QVERIFY(harness.messages.isEmpty());
    }

    // With D ticked: Select Type ticks the current entry's kind where each
    // stands, Select All all, Deselect All clears; none reorders.
    void bulkCommands_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Select Type on a proc ticks every proc")
            << "P2" << QList<int>{4} << QStringList{"+D", "A", "B", "C", "+P1", "+P2", "V1"};
        QTest::newRow("Select Type on a table ticks the tables")
            << "B" << QList<int>{4} << QStringList{"+D", "+A", "+B", "+C", "P1", "P2", "V1"};
        QTest::newRow("Select Type without a current entry ticks nothing")
            << QString() << QList<int>{4} << QStringList{"+D", "A", "B", "C", "P1", "P2", "V1"};
        QTest::newRow("Select All")
            << "B" << QList<int>{5} << QStringList{"+D", "+A", "+B", "+C", "+P1", "+P2", "+V1"};
        QTest::newRow("Select All, then Deselect All")
            << "B" << QList<int>{5, 6} << QStringList{"D", "A", "B", "C", "P1", "P2", "V1"};
    }

    void bulkCommands() {
        QFETCH(QString, current);
        QFETCH(QList<int>, commands);
        QFETCH(QStringList, expected);
        Harness harness(fillGroups);
        harness.next();
        ListWidgetObjectList& objects = harness.objects();
        harness.tick("D");
        objects.setCurrentIndex(current.isEmpty() ? -1 : rowOf(objects, current));
        for (const int command : commands)
            harness.action(command);
        QCOMPARE(listed(objects), expected);
        QVERIFY(!harness.window->runState().SuppressItemCheck);
        QVERIFY(harness.messages.isEmpty());
        // The handler is live again: a new tick is ordered.
        if (!objects.isChecked(0)) {
            harness.tick("C");
            QCOMPARE(listed(objects).first(), u"+C");
        }
    }

    // From row 30 at the top: a tick keeps the place, Select Type scrolls to
    // the last table (59), Select All to the end (-1), Deselect All stays.
    void scrollPosition_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("top");
        QTest::newRow("user ticks an entry in view") << "space" << 33 << 30;
        QTest::newRow("program unticks an entry out of view") << "untick" << 0 << 30;
        QTest::newRow("Select Type") << "4" << 3 << 59;
        QTest::newRow("Select All") << "5" << -1 << -1;
        QTest::newRow("Deselect All") << "6" << -1 << 30;
    }

    void scrollPosition() {
        QFETCH(QString, how);
        QFETCH(int, current);
        QFETCH(int, top);
        Harness harness(manyTablesThenProcs);
        QVERIFY(harness.show());
        harness.next();
        ListWidgetObjectList& objects = harness.objects();
        QListWidget* list = harness.list();
        objects.setChecked(5, true); // T5 to the top of the tables
        if (current >= 0 && how.toInt() > 0)
            objects.setCurrentIndex(current);
        objects.setTopIndex(30);
        QCOMPARE(visibleTopRow(list), 30);

        if (how == u"space") {
            list->setCurrentRow(current);
            QTest::keyClick(list, Qt::Key_Space);
        } else if (how == u"untick") {
            objects.setChecked(current, false);
        } else {
            harness.action(how.toInt());
        }
        if (top < 0) {
            QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
            QVERIFY(list->verticalScrollBar()->maximum() > 59);
        } else {
            QCOMPARE(visibleTopRow(list), top);
        }
        if (how.toInt() == 0) // the ticked entry became the current one
            QCOMPARE(objects.currentIndex(), current);
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
