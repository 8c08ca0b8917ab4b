#pragma once

#include "model/ConnectionSettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quarvex {

// The SQL Server drivers we know, best first, by the names they register.
QStringList preferredSqlServerDrivers();

// Which driver a connection goes through. A driver is known by the library
// its entry loads, not by the name it is registered under: any name can
// stand in an odbcinst.ini, and a driver that does not know a keyword
// ignores it, so a promise of encryption made in the wrong driver's words
// would not be kept.
enum class DriverFamily { Microsoft18, Microsoft17, FreeTds, Unknown };

// One entry of the driver manager's list: its name and the library it
// names ("Driver64=", else "Driver=").
struct InstalledDriver {
    QString name;
    QString library;
};

struct SqlServerDriver {
    QString name; // as registered: what the connection string names
    QString library;
    DriverFamily family = DriverFamily::Unknown;
};

// The family of the driver in the library: Microsoft's libmsodbcsql-18 and
// -17, FreeTDS's libtdsodbc; Unknown for any other file.
DriverFamily driverFamilyOfLibrary(const QString& library);

// Picks the best installed driver: one whose library is recognised, best
// family first; else one registered under a preferred name, of Unknown
// family. Nothing when none fits.
std::optional<SqlServerDriver> chooseSqlServerDriver(const QList<InstalledDriver>& installed);

// How a driver reads a value in braces: the ODBC rule ("}}" stands for
// "}"), or FreeTDS's (the value runs to the first "};", nothing is doubled).
enum class BraceRule { Doubled, FreeTds };

// One "key=value;" pair; the value is enclosed in braces wherever a driver
// could otherwise read part of it as syntax. Raises for a value the driver
// cannot be given at all (FreeTDS: one holding "};"), naming only the key.
QString odbcPair(const QString& key, const QString& value, BraceRule rule = BraceRule::Doubled);

// The ODBC connection string for a driver, built from the four texts
// themselves so that no character in them can cut a value short or start a
// keyword of its own, with the encryption the settings ask for in the
// driver's own words. When FreeTDS needs a configuration section of its own
// (freeTdsSectionNeeded), the string names that section instead of the
// server. Raises, before anything is sent, for a setting the driver cannot
// honour.
// A driver of Unknown family gets the words its name suggests, and only
// with Optional encryption: Mandatory and Strict need a driver known to
// honour them.
QString odbcConnectionString(const SqlServerDriver& driver, const ConnectionSettings& settings);

// The name under which the connection's own FreeTDS section is reached.
QString freeTdsSectionName();

// FreeTDS's ODBC driver checks a certificate only when its configuration
// names the authorities ("ca file"); the connection string has no keyword
// for it.
bool freeTdsSectionNeeded(const SqlServerDriver& driver, const ConnectionSettings& settings);

// The lines of that section: where the server is and how its certificate is
// checked, each "name = value".
QStringList freeTdsSectionLines(const ConnectionSettings& settings);

} // namespace quarvex
