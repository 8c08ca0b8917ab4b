#pragma once

#include "model/MemoryObjectList.h"
#include "model/RunProgress.h"
#include "model/RunState.h"
#include "model/Toolkit.h"

#include <QObject>

namespace quarvex {

class QtToolkit;

// The toolkit a run or a listing works through on a thread of its own. Its
// object list is a copy of the window's, which the window takes back when
// the work has ended, so that no widget is touched off the window's thread.
// The status and the progress reach the window as queued signals; a message
// or a viewer start waits until the window's thread has done it.
class WorkerToolkit : public QObject, public Toolkit {
    Q_OBJECT

public:
    // window: the toolkit on the window's thread, whose list is copied.
    explicit WorkerToolkit(QtToolkit& window);

    // The work's own fields; the window takes LastError back at the end.
    RunState runState;

    void showMessage(const QString& text, MessageIcon icon, const QString& title) override;
    // The window shows a state of its own while the work runs.
    void setBusy(bool) override {}
    QString status() const override { return m_status; }
    void setStatus(const QString& text) override;
    ObjectList& objectList() override { return m_list; }
    std::optional<QString> startViewer(const QString& program,
                                       const QStringList& arguments) override;
    void setProgress(const RunProgress& progress) override { emit progressed(progress); }

    // The list as the work left it, into the window's, the item-check
    // handler held off.
    void giveListBack(ObjectList& windowList, RunState& windowState);

signals:
    void statusChanged(const QString& text);
    void progressed(const quarvex::RunProgress& progress);

private:
    QtToolkit& m_window;
    MemoryObjectList m_list;
    QString m_status;
};

// Entries, marks and position of one list into another, the item-check
// handler held off.
void copyObjectList(const ObjectList& from, ObjectList& to, RunState& runState);

} // namespace quarvex
