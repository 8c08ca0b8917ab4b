#pragma once

#include "app/QtToolkit.h"
#include "base/ProcedureError.h"
#include "catalogue/CatalogueQuery.h"
#include "model/ConnectionSettings.h"
#include "model/RunProgress.h"
#include "model/RunState.h"
#include "model/Settings.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace quarvex {

class TextBox;
class WorkerToolkit;

// What the window calls beyond itself, replaceable so it can be driven
// without a server or a modal box.
struct FrmQuarvexServices {
    using ListLoader = std::function<std::optional<Failure>(
        Toolkit&, RunState&, const ConnectionSettings&, const CatalogueFilters&)>;

    // Fills the object list, and returns the failure it reported; the
    // catalogue's LoadList unless replaced.
    ListLoader loadList;
    // Shows a message; a modal message box unless replaced.
    QtToolkit::MessagePresenter showMessage;
    // Starts a viewer program on a script file; a detached process unless
    // replaced.
    QtToolkit::ViewerStarter startViewer;
    // The settings file; the program's own (beside it, or in the user's
    // configuration folder) unless given.
    QString settingsFile;
    // Asks for a table's row filter, given its name and the present one;
    // nothing when cancelled. A one-line dialog unless replaced.
    std::function<std::optional<QString>(const QString& table, const QString& condition)>
        askRowFilter;
    // Asks whether to stop the running work and close the window; a yes/no
    // box unless replaced.
    std::function<bool()> confirmStop;
};

// The program's one window: a configuration page and a processing page,
// switched by "Next Tab" and "Prev Tab".
class FrmQuarvex : public QWidget {
    Q_OBJECT

public:
    explicit FrmQuarvex(FrmQuarvexServices services = {}, QWidget* parent = nullptr);
    ~FrmQuarvex() override;

    RunState& runState() { return m_runState; }
    QtToolkit& toolkit() { return *m_toolkit; }

    // Index 0 "Next Tab" to the processing page, 1 "Prev Tab" back.
    void cmdTab_Click(int index);
    // A signal asked the program to end: the work under way is cancelled
    // (ending as a failure ends), then the program quits.
    void stopForSignal();

    // Index 1 to 8: Create Scripts, Exit, Help, Select Type, Select All,
    // Deselect All, Key Order, Row Filter.
    void cmdAction_Click(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QWidget* buildConfigPage();
    QHBoxLayout* consistentReadRow(QWidget* page);
    QWidget* buildProcessPage();
    void arrangeTabOrder();
    void connectHandlers();

    void Form_Load();
    void Form_Unload();
    void Help();
    void SelectTextOnTab(QLineEdit& box, Qt::FocusReason reason);
    void placeCentred();

    void stayForCorrection(const Failure& failure, const Settings& tried);
    void createScripts();
    // The listing's failure (a cancellation too), when it did not load.
    std::optional<Failure> loadList(const Settings& current);
    void rowFilter();
    void aimRowFilterAt(int row);
    int rowFilterIndex() const;

    // Runs work on a thread of its own over a copy of the object list while
    // the window draws and answers Cancel; the list comes back when it ends.
    // Raises what work raised.
    using Work = std::function<void(Toolkit& toolkit, RunState& runState)>;
    void runInBackground(const Work& work);
    void showRunning(bool running);
    void showProgress(const RunProgress& progress);
    void cancelWork();
    bool confirmStopOnClose();
    void readSettings();
    void writeSettings();

    // Everything on the configuration page, and back.
    Settings settings() const;
    void applySettings(const Settings& settings);

    FrmQuarvexServices m_services;
    RunState m_runState;

    QButtonGroup* m_cmdTab = nullptr;
    QButtonGroup* m_cmdAction = nullptr;
    QLabel* m_lblTabName = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* m_fraConfig = nullptr;
    QWidget* m_fraProcess = nullptr;

    TextBox* m_txtUserID = nullptr;
    TextBox* m_txtPassword = nullptr;
    TextBox* m_txtServer = nullptr;
    TextBox* m_txtDatabase = nullptr;
    QComboBox* m_cboEncryption = nullptr;
    QCheckBox* m_chkTrustCert = nullptr;
    TextBox* m_txtCAFile = nullptr;
    TextBox* m_txtProcFilt = nullptr;
    TextBox* m_txtTrigFilt = nullptr;
    TextBox* m_txtTblFilt = nullptr;
    TextBox* m_txtViewFilt = nullptr;
    TextBox* m_txtFuncFilt = nullptr;
    TextBox* m_txtViewer = nullptr;
    TextBox* m_txtPath = nullptr;
    QCheckBox* m_chkAlter = nullptr;
    QCheckBox* m_chkGroup = nullptr;
    QCheckBox* m_chkEncrypt = nullptr;
    QCheckBox* m_chkUnicode = nullptr;
    QCheckBox* m_chkNewTypes = nullptr;
    QCheckBox* m_chkCreateOrAlter = nullptr;
    QCheckBox* m_chkMerge = nullptr;
    QCheckBox* m_chkPreview = nullptr;
    QComboBox* m_cboConsistentRead = nullptr;

    // The object id of the entry the user last clicked or ticked.
    std::optional<qint32> m_rowFilterTarget;
    // The object name of the filter box the user typed in last.
    QString m_lastEditedFilter;

    QListWidget* m_lstNames = nullptr;
    QLabel* m_lblStatus = nullptr;
    QProgressBar* m_prgRun = nullptr;
    QPushButton* m_cmdCancel = nullptr;

    // The toolkit of the work that runs off the window's thread, if any.
    WorkerToolkit* m_worker = nullptr;
    int m_workNumber = 0;
    bool m_quitAfterWork = false;
    ProgressText m_progressText;
    // Units per step of the bar, whose range is an int.
    qint64 m_unitsPerStep = 1;

    std::unique_ptr<QtToolkit> m_toolkit;
};

} // namespace quarvex
