#pragma once

#include "Session.h"
#include "TdsLogin.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

class QTcpSocket;

namespace quarvex::standin {
struct Outcome;
}

namespace quarvex::standin {

class Engine;
class BatchLog;

struct LoginPolicy {
    QString login; // empty: any login and password
    QString password;
};

// One client: reassembles its packets into messages, answers PRELOGIN and
// LOGIN7, runs its SQL batches and sends the tokens back in packets of the
// negotiated size.
class TdsConnection : public QObject {
    Q_OBJECT
public:
    TdsConnection(QTcpSocket* socket, Engine* engine, const LoginPolicy& policy, BatchLog* log,
                  int spid, QObject* parent = nullptr);

private:
    void onReadyRead();
    void handleMessage(int type, const QByteArray& payload);
    void handleLogin(const QByteArray& payload);
    void handleBatch(const QByteArray& payload);
    void handleRpc(const QByteArray& payload);
    // Writes the tokens of a batch's outcomes; inside a procedure call the
    // statements end with DONEINPROC and the call with DONEPROC.
    QByteArray outcomeTokens(const QList<Outcome>& outcomes, bool inProcedure, bool* anyError);
    void send(int type, const QByteArray& payload);
    void refuseLogin(int number, const QString& text, int severity, bool thenLoginFailed);

    QTcpSocket* m_socket;
    Engine* m_engine;
    LoginPolicy m_policy;
    BatchLog* m_log;
    QByteArray m_buffer;
    QByteArray m_message;
    int m_packetSize = 4096;
    quint32 m_tdsVersion = 0x71000001;
    bool m_loggedIn = false;
    Session m_session;
    QHash<int, QString> m_prepared; // statement handles of sp_prepare and sp_prepexec
    int m_nextHandle = 1;
};

} // namespace quarvex::standin
