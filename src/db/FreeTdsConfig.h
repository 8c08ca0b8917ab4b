#pragma once

#include "model/ConnectionSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace quarvex {

// The configuration files FreeTDS reads, in its order: $FREETDSCONF,
// $FREETDS/etc/freetds.conf, ~/.freetds.conf, the system's file.
QStringList freeTdsConfigFiles();

// A configuration of our own for one connection: the [global] settings of
// the user's files as FreeTDS would have read them for the host (those of
// every file up to the first that has a section for it), that section's
// settings, then ours, which decide. userTexts are the files' contents in
// FreeTDS's order.
QString privateFreeTdsConfig(const QStringList& userTexts, const QString& host,
                             const QString& sectionName, const QStringList& sectionLines);

// The private configuration for a connection whose certificate FreeTDS is
// to check, from the user's files.
QString privateFreeTdsConfigFor(const ConnectionSettings& settings);

// Raises when a value cannot be written into a FreeTDS configuration line
// (FreeTDS ends a value at ";" or "#" and folds runs of blanks), naming what.
void checkFreeTdsValue(const QString& what, const QString& value);

// While it lives, FreeTDS reads the given configuration instead of the
// user's: FREETDSCONF names a private file, and gets its old value back
// afterwards. The variable is the process's, so only one connection may be
// opened at a time while it lives, which is how the program works.
class PrivateFreeTdsScope {
public:
    explicit PrivateFreeTdsScope(const QString& configText);
    ~PrivateFreeTdsScope();
    PrivateFreeTdsScope(const PrivateFreeTdsScope&) = delete;
    PrivateFreeTdsScope& operator=(const PrivateFreeTdsScope&) = delete;

private:
    QTemporaryDir m_folder; // readable by the user alone
    std::optional<QByteArray> m_previous;
};

} // namespace quarvex
