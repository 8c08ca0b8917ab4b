#include "io/SettingsFile.h"

#include "base/Blanks.h"
#include "base/LeadingNumber.h"
#include "base/ProcedureError.h"
#include "base/Version.h"
#include "io/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>

namespace quarvex {

namespace {

struct SavedControl {
    const char* name;
    QString Settings::*text = nullptr;
    QString ConnectionSettings::*connectionText = nullptr;
    QString CatalogueFilters::*filter = nullptr;
    int Settings::*checkState = nullptr;
    // The connection's encryption choice (its index) and trust box, kept
    // like check boxes: a decimal number from 0 to 2.
    Encryption ConnectionSettings::*choice = nullptr;
    bool ConnectionSettings::*box = nullptr;
    ConsistentRead Settings::*readChoice = nullptr;

    bool isNumber() const { return checkState || choice || box || readChoice; }
};

// The saved controls in the window's design order, then the later ones.
const SavedControl savedControls[] = {
    {"chkUnicode", nullptr, nullptr, nullptr, &Settings::chkUnicode},
    {"chkAlter", nullptr, nullptr, nullptr, &Settings::chkAlter},
    {"chkGroup", nullptr, nullptr, nullptr, &Settings::chkGroup},
    {"chkEncrypt", nullptr, nullptr, nullptr, &Settings::chkEncrypt},
    {"txtUserID", nullptr, &ConnectionSettings::userId},
    {"txtServer", nullptr, &ConnectionSettings::server},
    {"txtDatabase", nullptr, &ConnectionSettings::database},
    {"txtProcFilt", nullptr, nullptr, &CatalogueFilters::procs},
    {"txtTrigFilt", nullptr, nullptr, &CatalogueFilters::triggers},
    {"txtTblFilt", nullptr, nullptr, &CatalogueFilters::tables},
    {"txtViewFilt", nullptr, nullptr, &CatalogueFilters::views},
    {"txtFuncFilt", nullptr, nullptr, &CatalogueFilters::functions},
    {"txtPath", &Settings::outputPath},
    {"txtViewer", &Settings::viewer},
    // Added after the first fourteen; a file without them reads as clear.
    {"chkNewTypes", nullptr, nullptr, nullptr, &Settings::chkNewTypes},
    {"chkCreateOrAlter", nullptr, nullptr, nullptr, &Settings::chkCreateOrAlter},
    {"chkMerge", nullptr, nullptr, nullptr, &Settings::chkMerge},
    // Added later still; a file without them reads as Optional, clear, empty.
    {"cboEncryption", nullptr, nullptr, nullptr, nullptr, &ConnectionSettings::encryption},
    {"chkTrustCert", nullptr, nullptr, nullptr, nullptr, nullptr,
     &ConnectionSettings::trustServerCertificate},
    {"txtCAFile", nullptr, &ConnectionSettings::caFile},
    // Later again; a file without them reads as clear and Automatic.
    {"chkPreview", nullptr, nullptr, nullptr, &Settings::chkPreview},
    {"cboConsistentRead", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     &Settings::consistentRead},
};

int numberOf(const Settings& settings, const SavedControl& control) {
    if (control.choice)
        return int(settings.connection.*control.choice);
    if (control.box)
        return settings.connection.*control.box ? Checked : Unchecked;
    if (control.readChoice)
        return int(settings.*control.readChoice);
    return settings.*control.checkState;
}

void setNumber(Settings& settings, const SavedControl& control, int number) {
    if (control.choice)
        settings.connection.*control.choice = Encryption(number);
    else if (control.box)
        settings.connection.*control.box = number == Checked;
    else if (control.readChoice)
        settings.*control.readChoice = ConsistentRead(number);
    else
        settings.*control.checkState = number;
}

QString& textOf(Settings& settings, const SavedControl& control) {
    if (control.connectionText)
        return settings.connection.*control.connectionText;
    if (control.filter)
        return settings.filters.*control.filter;
    return settings.*control.text;
}

// The file's lines each ending in LF alone. A file edited on Linux ends its
// lines so, one from the window in CR LF, one touched by both in either; an
// editor's UTF-8 byte-order mark, read as ANSI or not, goes too, so that it
// does not hide the name on the first line.
QString withLineFeeds(QString text) {
    for (const QString& mark : {QStringLiteral("\uFEFF"), QStringLiteral("\u00EF\u00BB\u00BF")})
        if (text.startsWith(mark)) {
            text.remove(0, mark.size());
            break;
        }
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

QString settingsFileText(const Settings& settings) {
    QString text;
    Settings copy = settings;
    for (const SavedControl& control : savedControls) {
        const QString value =
            control.isNumber() ? QString::number(numberOf(copy, control)) : textOf(copy, control);
        text += QLatin1String(control.name) + QLatin1Char('=') + value + QLatin1String("\r\n");
    }
    return text;
}

void applySettingsFileText(const QString& fileText, Settings& settings) {
    // The line feed in front lets the first line match like every other; the
    // one behind ends a last line that has no line break of its own.
    const QString text = QLatin1Char('\n') + withLineFeeds(fileText) + QLatin1Char('\n');
    for (const SavedControl& control : savedControls) {
        const QString key = QLatin1Char('\n') + QLatin1String(control.name) + QLatin1Char('=');
        const qsizetype at = text.indexOf(key);
        if (at < 0)
            continue;
        const qsizetype start = at + key.size();
        const QString value = text.mid(start, text.indexOf(QLatin1Char('\n'), start) - start);
        if (!control.isNumber()) {
            textOf(settings, control) = trimmedBlanks(value);
            continue;
        }
        const double number = leadingNumber(value);
        if (!(number > -0.5 && number < 2.5))
            raise(QStringLiteral("Invalid property value"));
        setNumber(settings, control, int(std::lround(number)));
    }
}

void WriteCfg(const QString& fileName, const Settings& settings) {
    reraisingAs(QStringLiteral("WriteCfg"),
                [&] { TextFiles().WriteFile(fileName, settingsFileText(settings)); });
}

void ReadCfg(const QString& fileName, Settings& settings) {
    reraisingAs(QStringLiteral("ReadCfg"), [&] {
        if (!QFileInfo(fileName).isFile())
            return;
        applySettingsFileText(TextFiles().ReadFile(fileName), settings);
    });
}

void setProgramIdentity() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("quarvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARVEX_VERSION));
}

QString settingsFilePath(const QString& programFolder, const QString& programName) {
    const QString fileName = programName + QLatin1String(".cfg");
    const QFileInfo besideProgram(QDir(programFolder).filePath(fileName));
    if (besideProgram.isFile() && besideProgram.isWritable())
        return besideProgram.filePath();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(fileName);
}

QString programSettingsFile() {
    return settingsFilePath(QCoreApplication::applicationDirPath(), QStringLiteral("quarvex"));
}

} // namespace quarvex
