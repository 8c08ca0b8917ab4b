#include "cli/CliToolkit.h"

#include "base/ControlCharacters.h"

#include <cstdio>

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

CliToolkit::CliToolkit()
    : m_error(stderr) {}

void CliToolkit::showMessage(const QString& text, MessageIcon, const QString&) {
    printLine(text);
}

void CliToolkit::setStatus(const QString& text) {
    m_status = text;
    if (echoStatus)
        printLine(text);
}

// The program's own line breaks (CR LF) start new lines; every other control
// character, a terminal's escape sequences among them, arrives escaped.
void CliToolkit::printLine(const QString& text) {
    m_error << prefixedLines(text) << Qt::flush;
}

} // namespace quarvex::cli
