#pragma once

#include "Session.h"
#include "TdsLogin.h"

#include <QByteArray>
#include <QObject>

class QTcpSocket;

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
};

} // namespace quarvex::standin
