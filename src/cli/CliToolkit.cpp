#include "cli/CliToolkit.h"

#include "base/ControlCharacters.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quarvex::cli {

// The program's own messages break their lines with CR LF; any other
// control character came from the server and is shown escaped, so that no
// text of the server's starts a line or moves the cursor.
QString prefixedLines(const QString& text) {
    QString lines;
    for (const QString& line : text.split(QLatin1String("\r\n")))
        lines += messagePrefix + cEscaped(line) + QLatin1Char('\n');
    return lines;
}

namespace {

constexpr qint64 stillLineEveryMs = 10000;

// The terminal's width, so that the line never wraps: a carriage return
// goes back to the start of the last screen line only.
int terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

CliToolkit::CliToolkit(ProgressShown progressShown)
    : m_error(stderr)
    , m_progressShown(progressShown) {}

CliToolkit::~CliToolkit() {
    eraseProgressLine();
}

void CliToolkit::showMessage(const QString& text, MessageIcon, const QString&) {
    printLine(text);
}

void CliToolkit::setStatus(const QString& text) {
    m_status = text;
    if (echoStatus && m_progressShown != ProgressShown::Nothing)
        printLine(text);
}

// The program's own line breaks (CR LF) start new lines; every other control
// character, a terminal's escape sequences among them, arrives escaped.
void CliToolkit::printLine(const QString& text) {
    eraseProgressLine();
    m_error << prefixedLines(text) << Qt::flush;
}

void CliToolkit::setProgress(const RunProgress& progress) {
    switch (m_progressShown) {
    case ProgressShown::RedrawnLine:
        drawProgressLine(m_progressText.text(progress));
        return;
    case ProgressShown::StillLines:
        if (progress.entry != m_stillEntry) {
            m_stillEntry = progress.entry;
            m_sinceStillLine.start();
        } else if (progress.table && m_sinceStillLine.elapsed() >= stillLineEveryMs) {
            m_sinceStillLine.start();
            printLine(ProgressText::stillReading(progress));
        }
        return;
    case ProgressShown::Nothing:
        return;
    }
}

void CliToolkit::drawProgressLine(const QString& text) {
    const QString line = messagePrefix + text;
    // "\r" back to the line's start, "ESC [ K" erases the rest of the old one.
    m_error << '\r' << line.left(terminalColumns() - 1) << "\x1b[K" << Qt::flush;
    m_lineShown = true;
}

void CliToolkit::eraseProgressLine() {
    if (!m_lineShown)
        return;
    m_error << "\r\x1b[K" << Qt::flush;
    m_lineShown = false;
}

} // namespace quarvex::cli
