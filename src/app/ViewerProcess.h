#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quarvex {

// Starts program with its arguments as a detached process, with the
// program's environment less QUARVEX_PASSWORD. nullopt when it started;
// otherwise the system's reason.
std::optional<QString> startViewerProcess(const QString& program, const QStringList& arguments);

} // namespace quarvex
