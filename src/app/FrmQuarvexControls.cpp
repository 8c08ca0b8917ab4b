// The window's controls: their names, captions, default texts and order.
#include "app/EntryDelegate.h"
#include "app/FrmQuarvex.h"
#include "app/TextBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quarvex {

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Plain text: a status naming a table must not render the name's markup.
QLabel* label(const char* name, const QString& caption, QWidget* parent) {
    QLabel* result = named(new QLabel(caption, parent), name);
    result->setTextFormat(Qt::PlainText);
    return result;
}

QLabel* centredLabel(const char* name, const QString& caption, QWidget* parent) {
    QLabel* result = label(name, caption, parent);
    result->setAlignment(Qt::AlignCenter);
    return result;
}

TextBox* textBox(const char* name, const QString& text, QWidget* parent) {
    return named(new TextBox(text, parent), name);
}

QCheckBox* checkBox(const char* name, const QString& caption, bool set, QWidget* parent) {
    QCheckBox* result = named(new QCheckBox(caption, parent), name);
    result->setChecked(set);
    return result;
}

// Buttons of one row share their name and are told apart by index, as the
// group's id and as the "index" property.
QPushButton* groupButton(QButtonGroup* group, const char* name, int index, const QString& caption,
                         QWidget* parent) {
    QPushButton* button = named(new QPushButton(caption, parent), name);
    button->setProperty("index", index);
    button->setAutoDefault(false);
    group->addButton(button, index);
    return button;
}

// A path as the user knows it: below the home folder as "~/...".
QString shownPath(const QString& path) {
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(path));
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (native.startsWith(home + QDir::separator()))
        return QLatin1Char('~') + native.mid(home.size());
    return native;
}

} // namespace

void FrmQuarvex::buildControls() {
    setObjectName(QStringLiteral("frmQuarvex"));
    setWindowTitle(QStringLiteral("Quarvex to Scripts"));

    m_cmdTab = named(new QButtonGroup(this), "cmdTab");
    m_cmdTab->setExclusive(false);
    QPushButton* next = groupButton(m_cmdTab, "cmdTab", 0, QStringLiteral("Next Tab"), this);
    QPushButton* prev = groupButton(m_cmdTab, "cmdTab", 1, QStringLiteral("Prev Tab"), this);

    m_lblTabName = centredLabel("lblTabName", QStringLiteral("Configuration"), this);
    QFont bold = m_lblTabName->font();
    bold.setBold(true);
    m_lblTabName->setFont(bold);

    auto* header = new QHBoxLayout;
    header->addWidget(next);
    header->addWidget(m_lblTabName, 1);
    header->addWidget(prev);

    auto* line = named(new QFrame(this), "Line1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    // Both pages hold the same place; exactly one of them is shown.
    m_pages = new QStackedWidget(this);
    m_fraConfig = buildConfigPage();
    m_fraProcess = buildProcessPage();
    m_pages->addWidget(m_fraConfig);
    m_pages->addWidget(m_fraProcess);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(line);
    layout->addWidget(m_pages, 1);

    m_toolkit = std::make_unique<QtToolkit>(*this, *m_lblStatus, *m_lstNames,
                                            m_services.showMessage, m_services.startViewer);
    arrangeTabOrder();
}

QWidget* FrmQuarvex::buildConfigPage() {
    auto* page = named(new QWidget, "fraConfig");
    // The defaults live with the settings, shared with the command line.
    const Settings defaults;

    auto* fraSQL = named(new QGroupBox(QStringLiteral("SQL Info"), page), "fraSQL");
    m_txtUserID = textBox("txtUserID", {}, fraSQL);
    m_txtPassword = textBox("txtPassword", {}, fraSQL);
    m_txtPassword->setEchoMode(QLineEdit::Password);
    m_txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    m_txtServer = textBox("txtServer", defaults.connection.server, fraSQL);
    m_txtDatabase = textBox("txtDatabase", defaults.connection.database, fraSQL);
    m_cboEncryption = named(new QComboBox(fraSQL), "cboEncryption");
    // In the order of the Encryption values, whose indexes the file keeps.
    m_cboEncryption->addItems(
        {QStringLiteral("Optional"), QStringLiteral("Mandatory"), QStringLiteral("Strict")});
    m_chkTrustCert = checkBox("chkTrustCert", QStringLiteral("Trust server certificate"),
                              defaults.connection.trustServerCertificate, fraSQL);
    m_txtCAFile = textBox("txtCAFile", defaults.connection.caFile, fraSQL);
    m_txtProcFilt = textBox("txtProcFilt", defaults.filters.procs, fraSQL);
    m_txtTrigFilt = textBox("txtTrigFilt", defaults.filters.triggers, fraSQL);
    m_txtTblFilt = textBox("txtTblFilt", defaults.filters.tables, fraSQL);
    m_txtViewFilt = textBox("txtViewFilt", defaults.filters.views, fraSQL);
    m_txtFuncFilt = textBox("txtFuncFilt", defaults.filters.functions, fraSQL);

    auto* sql = new QGridLayout(fraSQL);
    sql->addWidget(label("lblUserID", QStringLiteral("User ID:"), fraSQL), 0, 0);
    sql->addWidget(m_txtUserID, 0, 1);
    sql->addWidget(label("lblPassword", QStringLiteral("Password:"), fraSQL), 0, 2);
    sql->addWidget(m_txtPassword, 0, 3);
    sql->addWidget(label("lblServer", QStringLiteral("Server:"), fraSQL), 1, 0);
    sql->addWidget(m_txtServer, 1, 1);
    sql->addWidget(label("lblDatabase", QStringLiteral("Database:"), fraSQL), 1, 2);
    sql->addWidget(m_txtDatabase, 1, 3);
    sql->addWidget(label("lblEncryption", QStringLiteral("Encryption:"), fraSQL), 2, 0);
    sql->addWidget(m_cboEncryption, 2, 1);
    sql->addWidget(m_chkTrustCert, 2, 2, 1, 2);
    sql->addWidget(label("lblCAFile", QStringLiteral("CA file:"), fraSQL), 3, 0);
    sql->addWidget(m_txtCAFile, 3, 1, 1, 3);
    const std::pair<const char*, QString> filterLabels[] = {
        {"lblProcFilt", QStringLiteral("Proc filter:")},
        {"lblTrigFilt", QStringLiteral("Trigger filter:")},
        {"lblTblFilt", QStringLiteral("Table filter:")},
        {"lblViewFilt", QStringLiteral("View filter:")},
        {"lblFuncFilt", QStringLiteral("Function filter:")},
    };
    TextBox* const filters[] = {m_txtProcFilt, m_txtTrigFilt, m_txtTblFilt, m_txtViewFilt,
                                m_txtFuncFilt};
    for (int i = 0; i < 5; ++i) {
        sql->addWidget(label(filterLabels[i].first, filterLabels[i].second, fraSQL), 4 + i, 0);
        sql->addWidget(filters[i], 4 + i, 1, 1, 3);
    }
    sql->setColumnStretch(1, 1);
    sql->setColumnStretch(3, 1);

    auto* fraFile = named(new QGroupBox(QStringLiteral("File Info"), page), "fraFile");
    m_txtViewer = textBox("txtViewer", defaults.viewer, fraFile);
    m_txtPath = textBox("txtPath", {}, fraFile);
    QLabel* fileInfo = label("lblFileInfo",
                             QStringLiteral("Five SQL script files are written here (overwriting) "
                                            "with table and object data."),
                             fraFile);
    fileInfo->setWordWrap(true);
    auto* file = new QGridLayout(fraFile);
    file->addWidget(label("lblViewer", QStringLiteral("File viewer:"), fraFile), 0, 0);
    file->addWidget(m_txtViewer, 0, 1);
    file->addWidget(label("lblPath", QStringLiteral("Output path:"), fraFile), 1, 0);
    file->addWidget(m_txtPath, 1, 1);
    file->addWidget(fileInfo, 2, 0, 1, 2);
    file->setColumnStretch(1, 1);

    m_chkAlter =
        checkBox("chkAlter",
                 QStringLiteral("Script Alter Procedure/Trigger/View/Function rather than Create."),
                 defaults.alter(), page);
    m_chkGroup = checkBox("chkGroup",
                          QStringLiteral("Script Deletes grouped together rather than Truncates."),
                          defaults.group(), page);
    m_chkEncrypt = checkBox(
        "chkEncrypt",
        QStringLiteral("Insert With Encryption into Procedure/Trigger/View/Function scripts."),
        defaults.encrypt(), page);
    m_chkUnicode = checkBox("chkUnicode",
                            QStringLiteral("Write out script files as Unicode rather than ANSI."),
                            defaults.unicode(), page);
    m_chkNewTypes = checkBox("chkNewTypes",
                             QStringLiteral("Script newer data types (date and time, xml, alias "
                                            "and spatial types) rather than skip the table."),
                             defaults.newTypes(), page);
    m_chkCreateOrAlter =
        checkBox("chkCreateOrAlter",
                 QStringLiteral("Script CREATE OR ALTER (SQL Server 2016 SP1 and later) rather "
                                "than CREATE or ALTER."),
                 defaults.createOrAlter(), page);
    m_chkMerge = checkBox("chkMerge",
                          QStringLiteral("Script rows as a merge on each table's key (update, "
                                         "insert, delete) rather than delete and insert."),
                          defaults.merge(), page);
    m_chkPreview = checkBox("chkPreview", QStringLiteral("Preview: report the changes, roll back."),
                            defaults.preview(), page);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    QLabel* info = centredLabel("lblConfigurationInfo",
                                QStringLiteral("Aside from password, this info is saved to %1.")
                                    .arg(shownPath(m_services.settingsFile)),
                                page);
    // A file name may hold anything, "<" too.
    info->setTextFormat(Qt::PlainText);
    info->setWordWrap(true);
    layout->addWidget(info);
    layout->addWidget(fraSQL);
    layout->addWidget(fraFile);
    layout->addWidget(m_chkAlter);
    layout->addLayout(consistentReadRow(page));
    layout->addWidget(m_chkEncrypt);
    // A row of its own would take the list's height; beside the shortest
    // caption it widens nothing.
    auto* unicodeRow = new QHBoxLayout;
    unicodeRow->addWidget(m_chkUnicode);
    unicodeRow->addWidget(m_chkPreview);
    unicodeRow->addStretch(1);
    layout->addLayout(unicodeRow);
    for (QCheckBox* option : {m_chkNewTypes, m_chkCreateOrAlter, m_chkMerge})
        layout->addWidget(option);
    layout->addStretch(1);
    return page;
}

// Beside the other choice about the tables' rows, so that the page grows no
// taller. The items are in the order of the ConsistentRead values, whose
// indexes the file keeps.
QHBoxLayout* FrmQuarvex::consistentReadRow(QWidget* page) {
    m_cboConsistentRead = named(new QComboBox(page), "cboConsistentRead");
    m_cboConsistentRead->addItems(
        {QStringLiteral("Automatic"), QStringLiteral("Lock while reading"), QStringLiteral("Off")});
    auto* row = new QHBoxLayout;
    row->addWidget(m_chkGroup);
    row->addStretch(1);
    row->addWidget(label("lblConsistentRead", QStringLiteral("Consistent read:"), page));
    row->addWidget(m_cboConsistentRead);
    return row;
}

QWidget* FrmQuarvex::buildProcessPage() {
    auto* page = named(new QWidget, "fraProcess");

    m_lstNames = named(new QListWidget(page), "lstNames");
    m_lstNames->setItemDelegate(new EntryDelegate(*m_lstNames));
    m_lstNames->setTextElideMode(Qt::ElideNone);
    m_lblStatus = centredLabel(
        "lblStatus", QStringLiteral("Dumps MSSQL7/2000/2005 table/object data to 5 script files"),
        page);
    // A long status (Key Order names tables) wraps instead of widening the window.
    m_lblStatus->setWordWrap(true);

    m_cmdAction = named(new QButtonGroup(this), "cmdAction");
    m_cmdAction->setExclusive(false);
    const QString captions[] = {QStringLiteral("Create Scripts"), QStringLiteral("Exit"),
                                QStringLiteral("Help"),           QStringLiteral("Select Type"),
                                QStringLiteral("Select All"),     QStringLiteral("Deselect All"),
                                QStringLiteral("Key Order"),      QStringLiteral("Row Filter")};
    auto* buttons = new QVBoxLayout;
    for (int index = 1; index <= 8; ++index) {
        // Help and the selection commands sit apart from the run commands.
        if (index == 3)
            buttons->addStretch(1);
        buttons->addWidget(groupButton(m_cmdAction, "cmdAction", index, captions[index - 1], page));
    }

    auto* middle = new QHBoxLayout;
    middle->addWidget(m_lstNames, 1);
    middle->addLayout(buttons);

    // Under the list: how far a run has come, and the way to stop it.
    m_prgRun = named(new QProgressBar(page), "prgRun");
    m_prgRun->setRange(0, 1);
    m_prgRun->setTextVisible(false);
    m_cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), page), "cmdCancel");
    m_cmdCancel->setEnabled(false);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(m_prgRun, 1);
    runRow->addWidget(m_cmdCancel);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(centredLabel(
        "lblProcessingInfo",
        QStringLiteral("After loading list, check off selections in desired order."), page));
    layout->addLayout(middle, 1);
    layout->addLayout(runRow);
    layout->addWidget(m_lblStatus);
    return page;
}

void FrmQuarvex::arrangeTabOrder() {
    QList<QWidget*> order{m_cmdTab->button(0), m_cmdTab->button(1), m_lstNames};
    for (int index = 1; index <= 8; ++index)
        order.append(m_cmdAction->button(index));
    order << m_txtUserID << m_txtPassword << m_txtServer << m_txtDatabase << m_cboEncryption
          << m_chkTrustCert << m_txtCAFile << m_txtProcFilt << m_txtTrigFilt << m_txtTblFilt
          << m_txtViewFilt << m_txtFuncFilt << m_txtViewer << m_txtPath << m_chkAlter << m_chkGroup
          << m_cboConsistentRead << m_chkEncrypt << m_chkUnicode << m_chkPreview << m_chkNewTypes
          << m_chkCreateOrAlter << m_chkMerge;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace quarvex
