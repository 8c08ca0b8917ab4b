#include "app/window/FrmQuarvex.h"

#include "app/window/TextBox.h"
#include "catalogue/LoadList.h"
#include "catalogue/SelectionOrder.h"
#include "scripting/ProcedureError.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QStackedWidget>
#include <cstdlib>

namespace quarvex {

namespace {

QString trimmedSpaces(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

// The scripts are written to folder + separator + file name, so a folder
// typed with its trailing separator would get it twice. Only one is taken
// off; the root folder becomes empty and still means the root.
QString outputFolder(const QString& typed) {
    QString folder = trimmedSpaces(typed);
    if (folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder;
}

const QStringList& helpLines() {
    static const QStringList lines{
        QStringLiteral("Utility writes selected table/proc/trig/view/func data to 5 script files."),
        QStringLiteral("Table data is scripted as Inserts, with table Truncate beforehand"),
        QStringLiteral("and identity inserts enabled, if needed.  Table Deletes may be"),
        QStringLiteral("grouped (reverse order) before any Inserts instead of Truncates"),
        QStringLiteral("with the Inserts.  This allows loading FK-related tables, if order"),
        QStringLiteral("carefully chosen.  Text objects may contain Alter rather than Create"),
        QStringLiteral("commands.  Encryption option looks for As or For after Create then"),
        QStringLiteral("inserts With Encryption (please verify location manually)."),
        QString(),
        QStringLiteral("Scripts are intended as updates to existing objects (permissions intact)"),
        QStringLiteral("when migrating objects/lookup data, e.g., test to production.  Large"),
        QStringLiteral("tables are NOT expected."),
        QString(),
        QStringLiteral("Unsupported column types (e.g., xml) will cause corresponding table"),
        QStringLiteral("scripts to be skipped.  Object scripts will also be skipped if markers"),
        QStringLiteral("cannot be found for Alter or With Encryption placement.  Message"),
        QStringLiteral("boxes announce skips.  Blank out User ID for SSPI logon."),
        QString(),
        QStringLiteral("Quarvex, made by the Quarvex developers for people who move data."),
    };
    return lines;
}

} // namespace

FrmQuarvex::FrmQuarvex(FrmQuarvexServices services, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services)) {
    if (!m_services.loadList)
        m_services.loadList = LoadList;
    buildControls();
    connectHandlers();
    Form_Load();
}

FrmQuarvex::~FrmQuarvex() {
    // The list's item-check handler must not outlive the fields it uses.
    m_toolkit->objectList().onItemCheck = nullptr;
}

void FrmQuarvex::connectHandlers() {
    connect(m_cmdTab, &QButtonGroup::idClicked, this, &FrmQuarvex::cmdTab_Click);
    connect(m_cmdAction, &QButtonGroup::idClicked, this, &FrmQuarvex::cmdAction_Click);

    m_toolkit->objectList().onItemCheck = [this](int item) {
        lstNames_ItemCheck(*m_toolkit, m_fields, item);
    };

    // Any change of a connection or filter text, typed or set by the program,
    // makes the next page switch reload the list. The output folder, the
    // viewer and the options do not affect the list.
    for (TextBox* box : {m_txtUserID, m_txtPassword, m_txtServer, m_txtDatabase, m_txtTblFilt,
                         m_txtProcFilt, m_txtTrigFilt, m_txtViewFilt, m_txtFuncFilt})
        connect(box, &QLineEdit::textChanged, this, [this] { m_fields.ConfigChanged = true; });

    for (TextBox* box : findChildren<TextBox*>())
        connect(box, &TextBox::gotFocus, this,
                [this, box](Qt::FocusReason reason) { SelectTextOnTab(*box, reason); });
}

void FrmQuarvex::Form_Load() {
    const auto failure = failureOf([&] {
        m_cmdTab->button(0)->setEnabled(true);
        m_cmdTab->button(1)->setEnabled(false);
        adjustSize();
        placeTowardsLowerRight();
        m_txtPath->setText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        readSettings();
    });
    if (failure) {
        m_fields.LastError = QLatin1String("Form_Load: ") + *failure;
        m_toolkit->showMessage(m_fields.LastError, MessageIcon::Exclamation);
    }
}

void FrmQuarvex::placeTowardsLowerRight() {
    const QScreen* shownOn = screen();
    if (!shownOn)
        return;
    const QRect area = shownOn->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.left() + int((area.width() - outer.width()) * 0.98),
         area.top() + int((area.height() - outer.height()) * 0.88));
}

void FrmQuarvex::closeEvent(QCloseEvent* event) {
    Form_Unload();
    // Closing is never cancelled, not even when the settings were not saved.
    event->accept();
}

void FrmQuarvex::Form_Unload() {
    const auto failure = failureOf([&] { writeSettings(); });
    if (failure) {
        m_fields.LastError = QLatin1String("Form_Unload: ") + *failure;
        m_toolkit->showMessage(m_fields.LastError, MessageIcon::Exclamation);
    }
}

void FrmQuarvex::cmdTab_Click(int index) {
    const auto failure = failureOf([&] {
        if (index != 0 && index != 1)
            raiseUnexpectedCase();
        // The flag is cleared first: a failed load (it reports itself) is
        // retried only after another edit, or while the list is empty.
        if (index == 0 && (m_toolkit->objectList().count() == 0 || m_fields.ConfigChanged)) {
            m_fields.ConfigChanged = false;
            m_services.loadList(*m_toolkit, m_fields, connectionSettings(), catalogueFilters());
        }
        // The pages share one place, so showing one hides the other.
        m_pages->setCurrentWidget(m_fraConfig->isHidden() ? m_fraConfig : m_fraProcess);
        for (QAbstractButton* button : m_cmdTab->buttons())
            button->setEnabled(!button->isEnabled());
        m_lblTabName->setText(QStringLiteral("Processing Configuration").split(u' ').at(index));
        m_cmdTab->button(std::abs(index - 1))->setFocus();
    });
    if (failure) {
        m_fields.LastError = QLatin1String("cmdTab_Click: ") + *failure;
        m_toolkit->showMessage(m_fields.LastError, MessageIcon::Exclamation);
    }
}

void FrmQuarvex::cmdAction_Click(int index) {
    const auto failure = failureOf([&] {
        m_txtPath->setText(outputFolder(m_txtPath->text()));
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
            SelectType(*m_toolkit, m_fields);
            break;
        case 5:
            SelectAll(*m_toolkit, m_fields);
            break;
        case 6:
            DeselectAll(*m_toolkit, m_fields);
            break;
        default:
            raiseUnexpectedCase();
        }
    });
    if (failure) {
        m_fields.LastError = QLatin1String("cmdAction_Click: ") + *failure;
        m_toolkit->showMessage(m_fields.LastError, MessageIcon::Exclamation);
    }
}

void FrmQuarvex::Help() {
    reraisingAs(QStringLiteral("Help"), [&] {
        m_toolkit->showMessage(helpLines().join(u'\n'), MessageIcon::Information,
                               QStringLiteral("Quarvex.EXE Help"));
    });
}

void FrmQuarvex::SelectTextOnTab(QLineEdit& box, Qt::FocusReason reason) {
    const auto failure = failureOf([&] {
        // A click keeps the caret where the user put it; arriving by the
        // keyboard, typing replaces the whole text.
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
            return;
        box.setSelection(0, int(box.text().size()));
    });
    if (failure) {
        m_fields.LastError = QLatin1String("SelectTextOnTab: ") + *failure;
        m_toolkit->showMessage(m_fields.LastError, MessageIcon::Exclamation);
    }
}

ConnectionSettings FrmQuarvex::connectionSettings() const {
    return ConnectionSettings{m_txtServer->text(), m_txtDatabase->text(), m_txtUserID->text(),
                              m_txtPassword->text()};
}

CatalogueFilters FrmQuarvex::catalogueFilters() const {
    return CatalogueFilters{m_txtTblFilt->text(), m_txtProcFilt->text(), m_txtTrigFilt->text(),
                            m_txtViewFilt->text(), m_txtFuncFilt->text()};
}

// The script run comes with the script-run work: it will read the options
// and the output folder from this window and walk m_toolkit's list.
void FrmQuarvex::createScripts() {}

// The settings file beside the executable comes with the script-run work.
void FrmQuarvex::readSettings() {}
void FrmQuarvex::writeSettings() {}

} // namespace quarvex
