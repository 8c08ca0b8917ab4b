#include "support/Cli.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace quarvex::test {

namespace {

CliResult runProgram(const QString& program, const QStringList& arguments, const QString& folder,
                     const QMap<QString, QString>& variables,
                     const std::function<void()>& childSetup, int waitMs,
                     const std::function<void()>& whileRunning = {}) {
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto variable = variables.begin(); variable != variables.end(); ++variable)
        environment.insert(variable.key(), variable.value());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    QDeadlineTimer deadline(waitMs);
    if (whileRunning)
        while (!deadline.hasExpired() && process.state() != QProcess::NotRunning &&
               !process.waitForFinished(5))
            whileRunning();
    const bool ended = process.state() == QProcess::NotRunning;
    if (process.error() == QProcess::FailedToStart ||
        (!ended && !process.waitForFinished(int(qMax<qint64>(deadline.remainingTime(), 1))))) {
        process.kill();
        process.waitForFinished();
        return {-1, {}, QString::fromUtf8(process.readAllStandardError())};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

CliResult runCli(const QStringList& arguments, const QString& folder,
                 const QMap<QString, QString>& variables, const std::function<void()>& childSetup,
                 int waitMs, const std::function<void()>& whileRunning) {
    return runProgram(QStringLiteral(QUARVEX_CLI_PATH), arguments, folder, variables, childSetup,
                      waitMs, whileRunning);
}

CliResult runCliAtTerminal(const QStringList& arguments, const QString& folder,
                           const QMap<QString, QString>& variables, int waitMs) {
    QStringList command;
    for (const QString& argument : QStringList{QStringLiteral(QUARVEX_CLI_PATH)} + arguments)
        command << "'" + QString(argument).replace("'", "'\\''") + "'";
    return runProgram(QStringLiteral("script"),
                      {"--quiet", "--return", "--command", command.join(' '), "/dev/null"}, folder,
                      variables, {}, waitMs);
}

} // namespace quarvex::test
