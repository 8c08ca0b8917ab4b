#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace quarvex::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString error;
};

// quarvex-cli run in folder, with variables added to the environment;
// childSetup runs in the child before the program starts. A program that
// has not ended after waitMs is stopped and counts as hung (exit code -1).
// whileRunning, when given, is called again and again until the program
// ends: another client's doings during the run.
CliResult runCli(const QStringList& arguments, const QString& folder,
                 const QMap<QString, QString>& variables,
                 const std::function<void()>& childSetup = {}, int waitMs = 60000,
                 const std::function<void()>& whileRunning = {});

// The same at a pseudo-terminal (util-linux's script): what the terminal
// showed, standard error included, is the result's out.
CliResult runCliAtTerminal(const QStringList& arguments, const QString& folder,
                           const QMap<QString, QString>& variables, int waitMs = 60000);

} // namespace quarvex::test
