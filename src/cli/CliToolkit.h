#pragma once

#include "model/MemoryObjectList.h"
#include "model/RunProgress.h"
#include "model/Toolkit.h"

#include <QElapsedTimer>
#include <QTextStream>

namespace quarvex::cli {

// What every line the program writes to standard error begins with, so that
// its messages stand apart from those of a pipeline's other programs.
inline constexpr QLatin1String messagePrefix("quarvex-cli: ");

// Each line of text behind the program's name, ended by a line break: the
// program's own CR LF breaks end lines, and every other control character
// (a server's text) is C-escaped, so that no line starts without the name
// nor returns to the start of the line over it.
QString prefixedLines(const QString& text);

// How a run's progress shows on standard error.
enum class ProgressShown {
    RedrawnLine, // one line drawn again in place (a terminal)
    StillLines,  // a "still reading" line every 10 s inside a long table
    Nothing,     // --quiet
};

// The toolkit of the command-line program: messages and progress go to
// standard error, each behind the program's name; the object list lives in
// memory.
class CliToolkit : public Toolkit {
public:
    explicit CliToolkit(ProgressShown progressShown = ProgressShown::StillLines);
    ~CliToolkit() override;

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
    void setProgress(const RunProgress& progress) override;

    // The text behind the program's name, each of its lines (the program's
    // own CR LF breaks), control characters C-escaped.
    void printLine(const QString& text);
    // Takes the progress line away, as at the end of a run.
    void eraseProgressLine();

private:
    void drawProgressLine(const QString& text);

    QTextStream m_error;
    QString m_status;
    const ProgressShown m_progressShown;
    ProgressText m_progressText;
    bool m_lineShown = false;
    // Since the table began, or since its last "still reading" line.
    QElapsedTimer m_sinceStillLine;
    int m_stillEntry = 0;
};

} // namespace quarvex::cli
