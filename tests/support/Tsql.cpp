#include "support/Tsql.h"

#include <QProcess>

namespace quarvex::test {

QString runThroughTsql(const StandIn& server, const QString& scriptPath) {
    QProcess tsql;
    tsql.setStandardInputFile(scriptPath);
    tsql.setProcessChannelMode(QProcess::MergedChannels);
    tsql.start("tsql", {"-H", "127.0.0.1", "-p", QString::number(server.port()), "-U", "sa", "-P",
                        "pw", "-D", "Northwind"});
    tsql.waitForFinished(60000);
    return QString::fromLocal8Bit(tsql.readAll());
}

} // namespace quarvex::test
