#pragma once

#include "model/ConnectionSettings.h"

#include <QString>
#include <QStringList>

namespace quarvex {

// The SQL Server drivers we know, best first.
QStringList preferredSqlServerDrivers();

// Picks the best of the installed ODBC drivers; empty when none fits.
QString chooseSqlServerDriver(const QStringList& installedDrivers);

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
QString odbcConnectionString(const QString& driver, const ConnectionSettings& settings);

// The name under which the connection's own FreeTDS section is reached.
QString freeTdsSectionName();

// FreeTDS's ODBC driver checks a certificate only when its configuration
// names the authorities ("ca file"); the connection string has no keyword
// for it.
bool freeTdsSectionNeeded(const QString& driver, const ConnectionSettings& settings);

// The lines of that section: where the server is and how its certificate is
// checked, each "name = value".
QStringList freeTdsSectionLines(const ConnectionSettings& settings);

} // namespace quarvex
