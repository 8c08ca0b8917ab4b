#pragma once

#include "model/CatalogueFilters.h"
#include "model/ConnectionSettings.h"

#include <QString>

namespace quarvex {

// Check box states as the window keeps them.
enum CheckState { Unchecked = 0, Checked = 1, Greyed = 2 };

// How the rows of the ticked tables are read, as the window's list offers it:
// from one snapshot where the database allows it, under shared table locks
// held to the end of the run, or table by table.
enum class ConsistentRead { Automatic = 0, Lock = 1, Off = 2 };

// Everything on the configuration page. The window fills it from its
// controls; the command-line program from the settings file and options.
struct Settings {
    ConnectionSettings connection{QStringLiteral("localhost"), QStringLiteral("Northwind"), {}, {}};
    CatalogueFilters filters{
        QStringLiteral("name not like 'pbcat%' and name not like 'dtprop%'"),
        QStringLiteral("name like 'sp%'"), QStringLiteral("owner in ('dbo','specialUserID')"),
        QStringLiteral("name not like 'sys%'"), QStringLiteral("name like 'fn%'")};
    QString outputPath;
    QString viewer = defaultViewer();
    int chkUnicode = Unchecked;
    int chkAlter = Checked;
    int chkGroup = Checked;
    int chkEncrypt = Unchecked;
    int chkNewTypes = Unchecked;
    int chkCreateOrAlter = Unchecked;
    int chkMerge = Unchecked;
    int chkPreview = Unchecked;
    ConsistentRead consistentRead = ConsistentRead::Automatic;

    bool alter() const { return chkAlter == Checked; }
    bool group() const { return chkGroup == Checked; }
    bool encrypt() const { return chkEncrypt == Checked; }
    bool unicode() const { return chkUnicode == Checked; }
    bool newTypes() const { return chkNewTypes == Checked; }
    bool createOrAlter() const { return chkCreateOrAlter == Checked; }
    bool merge() const { return chkMerge == Checked; }
    bool preview() const { return chkPreview == Checked; }

    static QString defaultViewer() {
#ifdef Q_OS_WIN
        return QStringLiteral("notepad.exe");
#else
        return QStringLiteral("xdg-open");
#endif
    }
};

} // namespace quarvex
