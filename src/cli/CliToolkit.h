#pragma once

#include "model/MemoryObjectList.h"
#include "model/Toolkit.h"

#include <QTextStream>

namespace quarvex::cli {

// The toolkit of the command-line program: messages and progress go to
// standard error, the object list lives in memory.
class CliToolkit : public Toolkit {
public:
    CliToolkit();

    MemoryObjectList list;
    // Progress lines are printed only while this is set; the last status is
    // always kept.
    bool echoStatus = true;

    void showMessage(const QString& text, MessageIcon icon, const QString& title) override;
    void setBusy(bool) override {}
    QString status() const override { return m_status; }
    void setStatus(const QString& text) override;
    ObjectList& objectList() override { return list; }

    void printLine(const QString& text);

private:
    QTextStream m_error;
    QString m_status;
};

} // namespace quarvex::cli
