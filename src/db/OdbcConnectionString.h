#pragma once

#include "db/ConnectionSettings.h"

#include <QString>
#include <QStringList>

namespace quarvex {

// The SQL Server drivers we know, best first.
QStringList preferredSqlServerDrivers();

// Picks the best of the installed ODBC drivers; empty when none fits.
QString chooseSqlServerDriver(const QStringList& installedDrivers);

// One "key=value;" pair; the value is enclosed in braces, with "}" doubled,
// wherever a driver could otherwise read part of it as syntax.
QString odbcPair(const QString& key, const QString& value);

// The ODBC connection string for a driver, built from the four texts
// themselves so that no character in them can cut a value short or start a
// keyword of its own.
QString odbcConnectionString(const QString& driver, const ConnectionSettings& settings);

} // namespace quarvex
