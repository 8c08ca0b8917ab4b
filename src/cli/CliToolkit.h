#pragma once

#include "model/MemoryObjectList.h"
#include "model/Toolkit.h"

#include <QTextStream>

namespace quarvex::cli {

// What every line the program writes to standard error begins with, so that
// its messages stand apart from those of a pipeline's other programs.
inline constexpr QLatin1String messagePrefix("quarvex-cli: ");

// Each line of text behind the program's name, ended by a line break. CR LF,
// LF and a lone CR all end a line, so that no line of a message from the
// server (or of a query quoted in it) starts without the name, nor returns
// to the start of the line over it.
QString prefixedLines(const QString& text);

// The toolkit of the command-line program: messages and progress go to
// standard error, each behind the program's name; the object list lives in
// memory.
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
    // Never asked: the command line runs with no viewer text.
    std::optional<QString> startViewer(const QString&, const QStringList&) override {
        return std::nullopt;
    }

    // The text behind the program's name, each of its lines (the program's
    // own CR LF breaks), control characters C-escaped.
    void printLine(const QString& text);

private:
    QTextStream m_error;
    QString m_status;
};

} // namespace quarvex::cli
