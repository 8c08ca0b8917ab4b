#include "app/FrmQuarvex.h"

#include "app/FieldAtFault.h"
#include "app/TextBox.h"
#include "base/ProcedureError.h"
#include "base/Version.h"
#include "catalogue/KeyOrder.h"
#include "catalogue/LoadList.h"
#include "catalogue/RowFilter.h"
#include "catalogue/SelectionOrder.h"
#include "io/SettingsFile.h"
#include "model/OutputPath.h"
#include "model/ReportingForm.h"
#include "scripting/CreateScripts.h"
#include "scripting/ScriptContext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <cstdlib>

namespace quarvex {

namespace {

// The window keeps check boxes as 0 clear, 1 set, 2 greyed; Qt counts the
// greyed state as 1 and the set one as 2.
int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return Checked;
    case Qt::PartiallyChecked:
        return Greyed;
    case Qt::Unchecked:
        break;
    }
    return Unchecked;
}

void setCheckValue(QCheckBox* box, int value) {
    box->setTristate(value == Greyed);
    box->setCheckState(value == Checked  ? Qt::Checked
                       : value == Greyed ? Qt::PartiallyChecked
                                         : Qt::Unchecked);
}

// One line per paragraph: the message box wraps them to its own width.
const QStringList& helpLines() {
    static const QStringList lines{
        QStringLiteral("Writes the ticked tables, procedures, triggers, views and functions of one "
                       "SQL Server database to 5 script files: Tables.sql, Procs.sql, Trigs.sql, "
                       "Views.sql and Funcs.sql.  The five appear together, once the run has "
                       "finished; a run that fails leaves the previous ones as they were."),
        QString(),
        QStringLiteral("Table rows are scripted as Inserts, with identity inserts and reseeding "
                       "where needed, after a Truncate of each table, or after Deletes grouped in "
                       "reverse order before any Insert.  Grouped, tables related by foreign keys "
                       "load when ticked in a suitable order; Key Order finds one from the keys.  "
                       "Row Filter gives the chosen table a condition: only its rows that meet it "
                       "are read, and only they are deleted.  The merge option instead updates, "
                       "inserts and deletes on each table's key, for tables that cannot be "
                       "emptied.  Large tables are read and written row by row; Cancel or "
                       "Escape stops a run."),
        QString(),
        QStringLiteral("Tables.sql changes the target all at once or not at all: it stages the "
                       "rows, checks that no row it leaves behind refers to a row it deletes, "
                       "then applies everything in one transaction and prints what it changed "
                       "in each table.  When anything fails it changes nothing and says why.  "
                       "Preview writes the same script ending in a rollback.  Consistent read "
                       "reads every ticked table as of one moment: from a snapshot where the "
                       "database allows one (Automatic), or under shared table locks."),
        QString(),
        QStringLiteral("Procedures, triggers, views and functions are scripted as stored, as "
                       "Alter, or as CREATE OR ALTER (SQL Server 2016 SP1 and later).  The "
                       "encryption option puts With Encryption before the As or For after the "
                       "object's name (please verify the place)."),
        QString(),
        QStringLiteral("Tables with newer types (the date and time types of 2008, xml, alias, "
                       "hierarchy, spatial and sql_variant types) are skipped unless newer types "
                       "are ticked; CLR types are always skipped.  Objects are also skipped when "
                       "no place is found for Alter or With Encryption.  Every skip is announced "
                       "and noted in its script file."),
        QString(),
        QStringLiteral("Scripts are intended as updates to existing objects (permissions intact) "
                       "when moving objects and lookup data, e.g., test to production.  Leave User "
                       "ID empty for integrated login; Encryption says how much of the connection "
                       "travels inside TLS."),
        QString(),
        QStringLiteral("Quarvex " QUARVEX_VERSION
                       ", made by the Quarvex developers for people who move data."),
    };
    return lines;
}

} // namespace

FrmQuarvex::FrmQuarvex(FrmQuarvexServices services, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services)) {
    if (!m_services.loadList)
        m_services.loadList = LoadList;
    if (!m_services.askRowFilter)
        m_services.askRowFilter = [this](const QString& table,
                                         const QString& condition) -> std::optional<QString> {
            QInputDialog dialog(this);
            dialog.setWindowTitle(QStringLiteral("Row Filter"));
            dialog.setLabelText(QLatin1String("Condition for the rows of ") + table +
                                QLatin1String(" (empty for every row):"));
            dialog.setTextValue(condition);
            // The table's name is the server's text: shown as it is, never as markup.
            if (auto* label = dialog.findChild<QLabel*>())
                label->setTextFormat(Qt::PlainText);
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return dialog.textValue();
        };
    if (m_services.settingsFile.isEmpty())
        m_services.settingsFile = programSettingsFile();
    if (!m_services.confirmStop)
        m_services.confirmStop = [this] {
            return QMessageBox::question(this, QApplication::applicationName(),
                                         QStringLiteral("Scripts are being written. Cancel "
                                                        "them (the script files stay as they "
                                                        "were) and exit?")) == QMessageBox::Yes;
        };
    buildControls();
    connectHandlers();
    Form_Load();
}

FrmQuarvex::~FrmQuarvex() {
    // The list's item-check handler must not outlive the run state it uses.
    m_toolkit->objectList().onItemCheck = nullptr;
}

void FrmQuarvex::connectHandlers() {
    connect(m_cmdTab, &QButtonGroup::idClicked, this, &FrmQuarvex::cmdTab_Click);
    connect(m_cmdAction, &QButtonGroup::idClicked, this, &FrmQuarvex::cmdAction_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &FrmQuarvex::cancelWork);

    m_toolkit->objectList().onItemCheck = [this](int item) {
        // A tick moves its entry, and the row then shows another one; Row
        // Filter follows the entry. The run's own unticks are not the user's.
        if (!m_runState.SuppressItemCheck && !m_toolkit->isBusy())
            aimRowFilterAt(item);
        lstNames_ItemCheck(*m_toolkit, m_runState, item);
    };
    // A click, even on the row already current, and a move with the keys.
    connect(m_lstNames, &QAbstractItemView::pressed, this,
            [this](const QModelIndex& index) { aimRowFilterAt(index.row()); });
    connect(m_lstNames, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_runState.SuppressItemCheck)
            aimRowFilterAt(row);
    });

    // Any change of a connection or filter text, typed or set by the program,
    // makes the next page switch reload the list. The output folder, the
    // viewer and the options do not affect the list.
    // How the connection is protected counts as a connection setting too.
    const auto changed = [this] { m_runState.ConfigChanged = true; };
    for (TextBox* box : {m_txtUserID, m_txtPassword, m_txtServer, m_txtDatabase, m_txtCAFile,
                         m_txtTblFilt, m_txtProcFilt, m_txtTrigFilt, m_txtViewFilt, m_txtFuncFilt})
        connect(box, &QLineEdit::textChanged, this, changed);
    connect(m_cboEncryption, &QComboBox::currentIndexChanged, this, changed);
    connect(m_chkTrustCert, &QCheckBox::toggled, this, changed);

    // The filter the user typed in last is the likeliest culprit of a query
    // the server refuses.
    for (TextBox* box : {m_txtTblFilt, m_txtProcFilt, m_txtTrigFilt, m_txtViewFilt, m_txtFuncFilt})
        connect(box, &QLineEdit::textEdited, this,
                [this, box] { m_lastEditedFilter = box->objectName(); });

    for (TextBox* box : findChildren<TextBox*>())
        connect(box, &TextBox::gotFocus, this,
                [this, box](Qt::FocusReason reason) { SelectTextOnTab(*box, reason); });
}

void FrmQuarvex::Form_Load() {
    reportingAs(*m_toolkit, m_runState, QStringLiteral("Form_Load"), [&] {
        m_cmdTab->button(0)->setEnabled(true);
        m_cmdTab->button(1)->setEnabled(false);
        adjustSize();
        placeCentred();
        m_txtPath->setText(defaultOutputFolder());
        readSettings();
    });
}

void FrmQuarvex::placeCentred() {
    const QScreen* shownOn = screen();
    if (!shownOn)
        return;
    const QRect area = shownOn->availableGeometry();
    // Before the window is first shown its frame is not known; leave room
    // for a title bar and borders.
    QSize frame = frameGeometry().size() - size();
    if (frame.isNull())
        frame = QSize(2 * 4, 32 + 4);
    resize(size().boundedTo(area.size() - frame));
    const QSize outer = size() + frame;
    move(area.left() + (area.width() - outer.width()) / 2,
         area.top() + (area.height() - outer.height()) / 2);
}

void FrmQuarvex::closeEvent(QCloseEvent* event) {
    Form_Unload();
    // Closing is never cancelled, not even when the settings were not saved.
    event->accept();
}

void FrmQuarvex::Form_Unload() {
    reportingAs(*m_toolkit, m_runState, QStringLiteral("Form_Unload"), [&] { writeSettings(); });
}

void FrmQuarvex::cmdTab_Click(int index) {
    reportingAs(*m_toolkit, m_runState, QStringLiteral("cmdTab_Click"), [&] {
        if (index != 0 && index != 1)
            raiseUnexpectedCase();
        // The flag is cleared first: a failed load (it reports itself) is
        // retried only after another edit, or while the list is empty.
        if (index == 0 && (m_toolkit->objectList().count() == 0 || m_runState.ConfigChanged)) {
            m_runState.ConfigChanged = false;
            const Settings current = settings();
            if (const auto failure = loadList(current)) {
                stayForCorrection(*failure, current);
                return;
            }
        }
        // The pages share one place, so showing one hides the other.
        m_pages->setCurrentWidget(m_fraConfig->isHidden() ? m_fraConfig : m_fraProcess);
        for (QAbstractButton* button : m_cmdTab->buttons())
            button->setEnabled(!button->isEnabled());
        m_lblTabName->setText(QStringLiteral("Processing Configuration").split(u' ').at(index));
        m_cmdTab->button(std::abs(index - 1))->setFocus();
    });
}

// A failed listing keeps the configuration page, where the mistake can be
// put right, and the next "Next Tab" lists again: what the list holds no
// longer matches the settings.
void FrmQuarvex::stayForCorrection(const Failure& failure, const Settings& tried) {
    m_runState.ConfigChanged = true;
    if (auto* field = findChild<QWidget*>(fieldAtFault(failure, tried, m_lastEditedFilter)))
        field->setFocus(Qt::OtherFocusReason);
}

void FrmQuarvex::cmdAction_Click(int index) {
    reportingAs(*m_toolkit, m_runState, QStringLiteral("cmdAction_Click"), [&] {
        m_txtPath->setText(trimmedOutputPath(m_txtPath->text()));
        repaint();
        switch (index) {
        case 1:
            createScripts();
            break;
        case 2:
            close();
            break;
        case 3:
            Help();
            break;
        case 4:
            SelectType(*m_toolkit, m_runState);
            break;
        case 5:
            SelectAll(*m_toolkit, m_runState);
            break;
        case 6:
            DeselectAll(*m_toolkit, m_runState);
            break;
        case 7:
            KeyOrder(*m_toolkit, m_runState, settings());
            break;
        case 8:
            rowFilter();
            break;
        default:
            raiseUnexpectedCase();
        }
    });
}

void FrmQuarvex::Help() {
    reraisingAs(QStringLiteral("Help"), [&] {
        m_toolkit->showMessage(helpLines().join(u'\n'), MessageIcon::Information,
                               QStringLiteral("Quarvex Help"));
    });
}

void FrmQuarvex::SelectTextOnTab(QLineEdit& box, Qt::FocusReason reason) {
    reportingAs(*m_toolkit, m_runState, QStringLiteral("SelectTextOnTab"), [&] {
        // A click keeps the caret where the user put it; arriving by the
        // keyboard, typing replaces the whole text.
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
            return;
        box.setSelection(0, int(box.text().size()));
    });
}

Settings FrmQuarvex::settings() const {
    Settings current;
    current.connection = ConnectionSettings{m_txtServer->text(), m_txtDatabase->text(),
                                            m_txtUserID->text(), m_txtPassword->text()};
    current.connection.encryption = Encryption(m_cboEncryption->currentIndex());
    current.connection.trustServerCertificate = m_chkTrustCert->isChecked();
    current.connection.caFile = m_txtCAFile->text();
    current.filters =
        CatalogueFilters{m_txtTblFilt->text(), m_txtProcFilt->text(), m_txtTrigFilt->text(),
                         m_txtViewFilt->text(), m_txtFuncFilt->text()};
    current.outputPath = m_txtPath->text();
    current.viewer = m_txtViewer->text();
    current.chkUnicode = checkValue(m_chkUnicode);
    current.chkAlter = checkValue(m_chkAlter);
    current.chkGroup = checkValue(m_chkGroup);
    current.chkEncrypt = checkValue(m_chkEncrypt);
    current.chkNewTypes = checkValue(m_chkNewTypes);
    current.chkCreateOrAlter = checkValue(m_chkCreateOrAlter);
    current.chkMerge = checkValue(m_chkMerge);
    current.chkPreview = checkValue(m_chkPreview);
    current.consistentRead = ConsistentRead(m_cboConsistentRead->currentIndex());
    return current;
}

// Setting a connection or filter box marks the configuration changed, as
// typing into it does.
void FrmQuarvex::applySettings(const Settings& settings) {
    const auto setText = [](TextBox* box, const QString& text) {
        if (box->text() != text)
            box->setText(text);
    };
    setText(m_txtUserID, settings.connection.userId);
    setText(m_txtServer, settings.connection.server);
    setText(m_txtDatabase, settings.connection.database);
    m_cboEncryption->setCurrentIndex(int(settings.connection.encryption));
    m_chkTrustCert->setChecked(settings.connection.trustServerCertificate);
    setText(m_txtCAFile, settings.connection.caFile);
    setText(m_txtProcFilt, settings.filters.procs);
    setText(m_txtTrigFilt, settings.filters.triggers);
    setText(m_txtTblFilt, settings.filters.tables);
    setText(m_txtViewFilt, settings.filters.views);
    setText(m_txtFuncFilt, settings.filters.functions);
    setText(m_txtPath, settings.outputPath);
    setText(m_txtViewer, settings.viewer);
    setCheckValue(m_chkUnicode, settings.chkUnicode);
    setCheckValue(m_chkAlter, settings.chkAlter);
    setCheckValue(m_chkGroup, settings.chkGroup);
    setCheckValue(m_chkEncrypt, settings.chkEncrypt);
    setCheckValue(m_chkNewTypes, settings.chkNewTypes);
    setCheckValue(m_chkCreateOrAlter, settings.chkCreateOrAlter);
    setCheckValue(m_chkMerge, settings.chkMerge);
    setCheckValue(m_chkPreview, settings.chkPreview);
    m_cboConsistentRead->setCurrentIndex(int(settings.consistentRead));
}

std::optional<Failure> FrmQuarvex::loadList(const Settings& current) {
    std::optional<Failure> failure;
    runInBackground([&](Toolkit& toolkit, RunState& runState) {
        failure = m_services.loadList(toolkit, runState, current.connection, current.filters);
    });
    return failure;
}

// A cancelled run has said so on the status line; it is no error to report.
void FrmQuarvex::createScripts() {
    const Settings current = settings();
    const auto failure = failureOf([&] {
        runInBackground([&](Toolkit& toolkit, RunState& runState) {
            ScriptContext context{toolkit, runState, current};
            CreateScripts(context);
        });
    });
    if (failure && failure->kind != FailureKind::Cancelled)
        quarvex::raise(*failure);
}

void FrmQuarvex::aimRowFilterAt(int row) {
    const ObjectList& list = m_toolkit->objectList();
    m_rowFilterTarget.reset();
    if (row >= 0 && row < list.count())
        m_rowFilterTarget = list.entry(row).object.id;
}

// Where the entry the user last clicked or ticked stands now; the current
// one when there is none (the id is the object's, unique in its database).
int FrmQuarvex::rowFilterIndex() const {
    const ObjectList& list = m_toolkit->objectList();
    if (m_rowFilterTarget)
        for (int i = 0; i < list.count(); ++i)
            if (list.entry(i).object.id == *m_rowFilterTarget)
                return i;
    return list.currentIndex();
}

// The condition of the entry last clicked or ticked, from a one-line dialog;
// an empty one clears it.
void FrmQuarvex::rowFilter() {
    ObjectList& list = m_toolkit->objectList();
    const int current = rowFilterIndex();
    if (current < 0)
        quarvex::raise(QStringLiteral("RowFilter: No table entry is selected"));
    const ObjectRef object = list.entry(current).object;
    if (object.kind != ObjectKind::Table)
        quarvex::raise(QStringLiteral("RowFilter: Only a table has rows to filter"));
    const auto condition =
        m_services.askRowFilter(object.owner + QLatin1Char('.') + object.name, object.rowFilter);
    if (condition)
        RowFilter(*m_toolkit, m_runState, current, *condition);
}

void FrmQuarvex::readSettings() {
    // What was read before a failure stays in the controls.
    Settings read = settings();
    const auto failure = failureOf([&] { ReadCfg(m_services.settingsFile, read); });
    applySettings(read);
    if (failure)
        quarvex::raise(failure->description);
}

void FrmQuarvex::writeSettings() {
    WriteCfg(m_services.settingsFile, settings());
}

} // namespace quarvex
