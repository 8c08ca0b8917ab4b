#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quarvex::test {

struct StandInOptions {
    bool sample = true;             // --sample
    QString version = "9.00.1399";  // --version
    QString database = "Northwind"; // --database
    QString login = {};             // --login/--password when login not empty
    QString password = {};
    QStringList loadFiles = {};     // --load
};

// A quarvex-standin on a free loopback port for one test; stopped with
// SIGTERM when the object goes.
class StandIn {
public:
    explicit StandIn(const StandInOptions& options = {});
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    bool isRunning() const;
    int port() const { return m_port; }
    QString serverText() const; // "127.0.0.1,PORT", what a user types as server
    QStringList receivedBatches() const;
    QString errorOutput() const { return m_errors; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_errors;
};

} // namespace quarvex::test
