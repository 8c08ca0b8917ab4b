#include "app/WorkerToolkit.h"

#include "app/QtToolkit.h"
#include "catalogue/SelectionOrder.h"

#include <QMetaObject>

namespace quarvex {

void copyObjectList(const ObjectList& from, ObjectList& to, RunState& runState) {
    withItemCheckSuppressed(runState, [&] {
        to.clear();
        for (int i = 0; i < from.count(); ++i) {
            to.append(from.entry(i));
            if (from.isChecked(i))
                to.setChecked(i, true);
        }
        to.setCurrentIndex(from.currentIndex() < to.count() ? from.currentIndex() : -1);
        if (to.count() > 0)
            to.setTopIndex(qBound(0, from.topIndex(), to.count() - 1));
    });
}

WorkerToolkit::WorkerToolkit(QtToolkit& window)
    : m_window(window)
    , m_status(window.status()) {
    copyObjectList(window.objectList(), m_list, runState);
    m_list.onItemCheck = [this](int item) { lstNames_ItemCheck(*this, runState, item); };
}

void WorkerToolkit::showMessage(const QString& text, MessageIcon icon, const QString& title) {
    QMetaObject::invokeMethod(
        &m_window.context(), [&] { m_window.showMessage(text, icon, title); },
        Qt::BlockingQueuedConnection);
}

void WorkerToolkit::setStatus(const QString& text) {
    m_status = text;
    emit statusChanged(text);
}

std::optional<QString> WorkerToolkit::startViewer(const QString& program,
                                                  const QStringList& arguments) {
    std::optional<QString> failure;
    QMetaObject::invokeMethod(
        &m_window.context(), [&] { failure = m_window.startViewer(program, arguments); },
        Qt::BlockingQueuedConnection);
    return failure;
}

void WorkerToolkit::giveListBack(ObjectList& windowList, RunState& windowState) {
    copyObjectList(m_list, windowList, windowState);
}

} // namespace quarvex
