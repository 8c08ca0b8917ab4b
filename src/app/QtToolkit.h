#pragma once

#include "app/InputDiscarder.h"
#include "app/ListWidgetObjectList.h"
#include "model/Toolkit.h"

#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QListWidget;
class QMessageBox;
class QWidget;

namespace quarvex {

// The toolkit with widgets: the window's status label and object list,
// modal message boxes and the application's busy pointer. While busy, the
// user's input is discarded, never queued for after the operation.
class QtToolkit : public Toolkit {
public:
    using MessagePresenter =
        std::function<void(const QString& text, MessageIcon icon, const QString& title)>;
    using ViewerStarter =
        std::function<std::optional<QString>(const QString& program, const QStringList& arguments)>;

    // Messages go to presenter when one is given (tests, a front end that
    // logs), otherwise to a modal box over parent. Viewers are started by
    // viewerStarter when one is given, otherwise as detached processes.
    QtToolkit(QWidget& parent, QLabel& status, QListWidget& list, MessagePresenter presenter = {},
              ViewerStarter viewerStarter = {});
    ~QtToolkit() override;

    void showMessage(const QString& text, MessageIcon icon, const QString& title = {}) override;
    void setBusy(bool busy) override;
    bool isBusy() const { return m_busy; }
    QString status() const override;
    void setStatus(const QString& text) override;
    ListWidgetObjectList& objectList() override { return m_list; }
    std::optional<QString> startViewer(const QString& program,
                                       const QStringList& arguments) override;

    // While a run or a listing works on a thread of its own: a busy pointer,
    // input discarded but for cancel (and Escape), and closing put to
    // confirmClose first.
    void beginBackground(QAbstractButton& cancel, std::function<bool()> confirmClose);
    void endBackground();

    // The object on the window's thread that calls from other threads go to.
    QObject& context();

    // The box showMessage shows: OK only, plain text, and the application's
    // name as title when none is given.
    static std::unique_ptr<QMessageBox> messageBox(const QString& text, MessageIcon icon,
                                                   const QString& title, QWidget* parent);

private:
    QWidget& m_parent;
    QLabel& m_status;
    ListWidgetObjectList m_list;
    MessagePresenter m_presenter;
    ViewerStarter m_viewerStarter;
    InputDiscarder m_inputDiscarder;
    bool m_busy = false;
};

} // namespace quarvex
