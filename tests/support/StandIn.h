#pragma once

#include "model/Settings.h"

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
    QStringList loadFiles = {}; // --load
    QString script = {};        // loaded after loadFiles, from a file of the stand-in's own
    bool stallLogin = false;    // --stall-login
    int stallAfterRows = -1;    // --stall-after-rows when 0 or more
    int dropAfterRows = -1;     // --drop-after-rows when 0 or more
    int packetDelayMs = 0;      // --packet-delay-ms when more than 0: a long read held open
    QString tlsCert = {};       // --tls-cert and --tls-key when not empty
    QString tlsKey = {};
    QString encryption = {}; // --encryption when not empty: off, login or required
    // --snapshots-off-after-check: the option turned off between a client's
    // check and its snapshot
    bool snapshotsOffAfterCheck = false;
};

// A table of count rows to load into a stand-in, made by a script of its
// own: "create table NAME (n int not null, pad varchar(100) null)" and rows
// n = 1 ... count, each with padWidth letters in pad (for replies of many
// packets).
QString numberedTable(const QString& name, int count, int padWidth = 0);

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
    QString serverText() const;       // "127.0.0.1,PORT", what a user types as server
    ConnectionSettings login() const; // its database, logged into as the runs are
    QStringList receivedBatches() const;
    // The type of the first packet of every connection, in order: 0x12 for
    // a TDS 7 client's PRELOGIN, 0x02 for a TDS 4.2/5.0 login.
    QList<int> openingPacketTypes() const;
    // How the login of every connection arrived, in order: "tls" or "clear".
    QStringList logins() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};

} // namespace quarvex::test
