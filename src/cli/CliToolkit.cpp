#include "cli/CliToolkit.h"

#include <QRegularExpression>
#include <cstdio>

namespace quarvex::cli {

QString prefixedLines(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QString lines;
    for (const QString& line : text.split(lineBreak))
        lines += messagePrefix + line + QLatin1Char('\n');
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

void CliToolkit::printLine(const QString& text) {
    m_error << prefixedLines(text) << Qt::flush;
}

} // namespace quarvex::cli
