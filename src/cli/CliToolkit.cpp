#include "cli/CliToolkit.h"

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

void CliToolkit::printLine(const QString& text) {
    m_error << messagePrefix << text << Qt::endl;
}

} // namespace quarvex::cli
