#pragma once

#include <QString>
#include <optional>

namespace quarvex {

// A server text naming an instance, "host\instance", split in two; nothing
// when the text names no instance or gives a port, which needs no lookup.
struct NamedInstance {
    QString host;
    QString instance;
};
std::optional<NamedInstance> namedInstance(const QString& server);

// The TCP port of a named instance, asked of the SQL Server Browser service
// (UDP port browserPort) on the instance's host. Raises when the host cannot
// be resolved, or when no answer naming a TCP port arrives within
// timeoutSeconds.
int lookUpInstancePort(const NamedInstance& named, int timeoutSeconds, int browserPort = 1434);

} // namespace quarvex
