#include "cli/CliToolkit.h"

#include "base/ControlCharacters.h"

#include <cstdio>

namespace quarvex::cli {

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
    const QStringList lines = text.split(QLatin1String("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i)
        m_error << (i == 0 ? messagePrefix : QLatin1String()) << cEscaped(lines[i]) << '\n';
    m_error.flush();
}

} // namespace quarvex::cli
