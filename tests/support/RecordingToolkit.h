#pragma once

#include "model/MemoryObjectList.h"
#include "model/Toolkit.h"

#include <QStringList>
#include <functional>

namespace quarvex::test {

// A toolkit that records what the core shows the user.
class RecordingToolkit : public Toolkit {
public:
    struct Message {
        QString text;
        MessageIcon icon;
        QString title;
    };

    struct ViewerStart {
        QString program;
        QStringList arguments;
    };

    QList<Message> messages;
    QList<bool> busyHistory;
    MemoryObjectList list;
    // The viewers asked to start, in order; a program named in unstartable
    // fails to start, as one that is not installed does.
    QList<ViewerStart> viewers;
    QStringList unstartable;
    // Every progress report, and what to do at each (on the run's thread).
    QList<RunProgress> progress;
    std::function<void(RecordingToolkit&, const RunProgress&)> onProgress;

    void showMessage(const QString& text, MessageIcon icon, const QString& title) override;
    void setBusy(bool busy) override { busyHistory.append(busy); }
    QString status() const override { return m_status; }
    void setStatus(const QString& text) override { m_status = text; }
    ObjectList& objectList() override { return list; }
    std::optional<QString> startViewer(const QString& program,
                                       const QStringList& arguments) override;

    void setProgress(const RunProgress& report) override {
        progress.append(report);
        if (onProgress)
            onProgress(*this, report);
    }

    QStringList messageTexts() const;

private:
    QString m_status;
};

// The entries' names in list order, ticked ones marked with "+".
QStringList listed(const ObjectList& list);

} // namespace quarvex::test
