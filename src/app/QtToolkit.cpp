#include "app/QtToolkit.h"

#include "app/ViewerProcess.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace quarvex {

QtToolkit::QtToolkit(QWidget& parent, QLabel& status, QListWidget& list, MessagePresenter presenter,
                     ViewerStarter viewerStarter)
    : m_parent(parent)
    , m_status(status)
    , m_list(list)
    , m_presenter(std::move(presenter))
    , m_viewerStarter(viewerStarter ? std::move(viewerStarter) : startViewerProcess)
    , m_inputDiscarder(parent) {}

QtToolkit::~QtToolkit() {
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

std::unique_ptr<QMessageBox> QtToolkit::messageBox(const QString& text, MessageIcon icon,
                                                   const QString& title, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(icon == MessageIcon::Information ? QMessageBox::Information
                                                  : QMessageBox::Warning);
    box->setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    // Server messages quote SQL, which may look like markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

void QtToolkit::showMessage(const QString& text, MessageIcon icon, const QString& title) {
    if (m_presenter) {
        m_presenter(text, icon, title);
        return;
    }
    // A message must be readable even in the middle of a busy operation, and
    // a key pressed before it appeared must not answer it.
    const bool busy = m_busy;
    setBusy(false);
    messageBox(text, icon, title, &m_parent)->exec();
    setBusy(busy);
}

void QtToolkit::setBusy(bool busy) {
    // One busy state, not a stack: a second "busy" needs only one "done".
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_inputDiscarder.setActive(true);
    } else {
        m_inputDiscarder.discardQueued();
        m_inputDiscarder.setActive(false);
        QApplication::restoreOverrideCursor();
    }
}

void QtToolkit::beginBackground(QAbstractButton& cancel, std::function<bool()> confirmClose) {
    m_inputDiscarder.setSpared(&cancel);
    m_inputDiscarder.confirmClose = std::move(confirmClose);
    // The arrow with the hourglass: the window still answers.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_inputDiscarder.setActive(true);
}

void QtToolkit::endBackground() {
    m_inputDiscarder.setSpared(nullptr);
    m_inputDiscarder.discardQueued();
    m_inputDiscarder.setActive(false);
    m_inputDiscarder.confirmClose = nullptr;
    QApplication::restoreOverrideCursor();
}

QObject& QtToolkit::context() {
    return m_parent;
}

QString QtToolkit::status() const {
    return m_status.text();
}

void QtToolkit::setStatus(const QString& text) {
    m_status.setText(text);
    // Long operations do not return to the event loop; paint now.
    m_status.repaint();
}

std::optional<QString> QtToolkit::startViewer(const QString& program,
                                              const QStringList& arguments) {
    return m_viewerStarter(program, arguments);
}

} // namespace quarvex
