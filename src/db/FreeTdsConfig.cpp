#include "db/FreeTdsConfig.h"

#include "base/ProcedureError.h"
#include "db/OdbcConnectionString.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace quarvex {

namespace {

// The setting lines of one section of a configuration text, comments left
// out; found tells whether the section is there at all.
QStringList sectionLinesOf(const QString& text, const QString& section, bool* found = nullptr) {
    QStringList lines;
    bool inside = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const QString name = line.mid(1).section(QLatin1Char(']'), 0, 0).trimmed();
            inside = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inside && found)
                *found = true;
            continue;
        }
        if (inside)
            lines << line;
    }
    return lines;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

} // namespace

QStringList freeTdsConfigFiles() {
    QStringList files;
    if (qEnvironmentVariableIsSet("FREETDSCONF"))
        files << qEnvironmentVariable("FREETDSCONF");
    if (qEnvironmentVariableIsSet("FREETDS"))
        files << qEnvironmentVariable("FREETDS") + QLatin1String("/etc/freetds.conf");
    files << QDir::homePath() + QLatin1String("/.freetds.conf")
          << QStringLiteral("/etc/freetds/freetds.conf");
    return files;
}

QString privateFreeTdsConfig(const QStringList& userTexts, const QString& host,
                             const QString& sectionName, const QStringList& sectionLines) {
    QStringList global;
    QStringList userSection;
    for (const QString& text : userTexts) {
        global << sectionLinesOf(text, QStringLiteral("global"));
        bool found = false;
        userSection = sectionLinesOf(text, host, &found);
        if (found)
            break;
    }
    // FreeTDS reads the lines in order, so a later one overrides: the host
    // first, then what the user set for it (an alias's address, say), then
    // the certificate checks, which must hold whatever the user set.
    QStringList section{sectionLines.first()};
    section << userSection << sectionLines.mid(1);
    const QString lineBreak = QStringLiteral("\n\t");
    return QLatin1String("[global]\n\t") + global.join(lineBreak) + QLatin1String("\n[") +
           sectionName + QLatin1String("]\n\t") + section.join(lineBreak) + QLatin1Char('\n');
}

QString privateFreeTdsConfigFor(const ConnectionSettings& settings) {
    QStringList texts;
    for (const QString& path : freeTdsConfigFiles())
        texts << readText(path);
    const QString host = settings.server.section(QLatin1Char(','), 0, 0).trimmed();
    return privateFreeTdsConfig(texts, host, freeTdsSectionName(), freeTdsSectionLines(settings));
}

void checkFreeTdsValue(const QString& what, const QString& value) {
    static const QRegularExpression unsafe(QStringLiteral(R"([;#\r\n]|\s\s|^\s|\s$)"));
    if (value.isEmpty())
        return;
    if (unsafe.match(value).hasMatch() || value.toLocal8Bit().size() > 200)
        raise(QStringLiteral("The FreeTDS ODBC driver cannot be given a %1 that contains \";\", "
                             "\"#\", a line break or blanks at its ends or in a row, or one "
                             "longer than 200 bytes: %2")
                  .arg(what, value));
}

PrivateFreeTdsScope::PrivateFreeTdsScope(const QString& configText) {
    const QString path = m_folder.filePath(QStringLiteral("freetds.conf"));
    QFile file(path);
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(configText.toLocal8Bit()) < 0 || !file.flush())
        raise(QStringLiteral("Cannot write a FreeTDS configuration for the connection (%1)")
                  .arg(path));
    if (qEnvironmentVariableIsSet("FREETDSCONF"))
        m_previous = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", QFile::encodeName(path));
}

PrivateFreeTdsScope::~PrivateFreeTdsScope() {
    if (m_previous)
        qputenv("FREETDSCONF", *m_previous);
    else
        qunsetenv("FREETDSCONF");
}

} // namespace quarvex
