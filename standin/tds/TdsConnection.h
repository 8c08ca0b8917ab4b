#pragma once

#include "standin/engine/Session.h"
#include "standin/tds/ReplyStream.h"
#include "standin/tds/TdsLogin.h"
#include "standin/tds/TlsChannel.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <memory>
#include <optional>

class QTcpSocket;

namespace quarvex::standin {

class Engine;
class BatchLog;

// How much of a session the server wants inside TLS: none (it offers no
// TLS), the login packet at least, or everything.
enum class ServerEncryption { Off, Login, Required };

struct LoginPolicy {
    QString login; // empty: any login and password
    QString password;
    ServerEncryption encryption = ServerEncryption::Off;
    std::shared_ptr<TlsContext> tls; // the certificate; needed unless Off
};

// Faults a test orders to see how a client copes with a server that hangs or
// goes away at a given point, without timing luck. None by default.
struct Faults {
    bool stallLogin = false; // read whatever arrives, never answer
    // A result with more rows than this sends only that many, then the
    // server goes silent with the connection open (stall) or closes it (drop).
    int stallAfterRows = -1;
    int dropAfterRows = -1;
    // Each packet of a reply after its first goes out this many
    // milliseconds after the one before: a long read held open.
    int packetDelayMs = 0;
    // Once a reply that read sys.databases has gone out, the database stops
    // allowing snapshot isolation: the option turned off between a client's
    // check and its snapshot.
    bool snapshotsOffAfterCheck = false;
};

// One client: reassembles its packets into messages, answers PRELOGIN and
// LOGIN7, runs its SQL batches and streams the tokens back in packets of the
// negotiated size, as fast as the client takes them.
class TdsConnection : public QObject {
    Q_OBJECT
public:
    TdsConnection(QTcpSocket* socket, Engine* engine, const LoginPolicy& policy,
                  const Faults& faults, BatchLog* log, int spid, QObject* parent = nullptr);
    ~TdsConnection() override;

private:
    enum class Flush { WholePackets, Rest, RestEndingMessage };

    void onReadyRead();
    void readMessages();
    void handleMessage(int type, const QByteArray& payload);
    void noteCheckOfSnapshots(const QString& sql);
    void handlePrelogin(const QByteArray& payload);
    // A handshake record from the client, inside a PRELOGIN packet.
    void handleHandshake(const QByteArray& records);
    // Bytes from the socket, decrypted while the session is inside TLS.
    bool takeIncoming(const QByteArray& raw);
    void handleLogin(const QByteArray& payload);
    void handleBatch(const QByteArray& payload);
    void handleRpc(const QByteArray& payload);
    int rowLimit() const;
    void startReply(std::unique_ptr<BatchRun> run, std::optional<ReplyStream::ProcedureCall> call);
    void sendReply();
    void pauseReply(int milliseconds);
    void cancelReply();
    // Sends what a cut reply made as packets that never end the message,
    // then stalls or drops the connection as ordered.
    void failMidResult();
    void flushUnsent(Flush flush);
    void send(int type, const QByteArray& payload);
    void writePacket(int type, const char* data, qsizetype size, bool endsMessage);
    void refuseLogin(int number, const QString& text, int severity, bool thenLoginFailed);

    QTcpSocket* m_socket;
    Engine* m_engine;
    LoginPolicy m_policy;
    Faults m_faults;
    BatchLog* m_log;
    bool m_silent = false; // a stalled server reads on and answers nothing
    bool m_openingRecorded = false;
    QByteArray m_buffer;
    QByteArray m_message;
    bool m_reading = false; // inside readMessages()
    int m_packetSize = 4096;
    quint32 m_tdsVersion = 0x71000001;
    bool m_loggedIn = false;
    Session m_session;
    QHash<int, QString> m_prepared; // statement handles of sp_prepare and sp_prepexec
    int m_nextHandle = 1;
    std::unique_ptr<ReplyStream> m_reply; // the reply being sent, if any
    QByteArray m_unsent;                  // its tokens not yet in a packet
    int m_packetNumber = 1;
    bool m_pausing = false;            // a delayed packet's wait is under way
    std::unique_ptr<TlsChannel> m_tls; // from the PRELOGIN answer on, if any
    bool m_tlsForLoginOnly = false;    // ENCRYPT_OFF: only the login is inside
    bool m_inTls = false;              // the bytes on the wire are TLS records
    // The fault snapshotsOffAfterCheck, due once this reply is out.
    bool m_snapshotsOffAfterReply = false;
};

} // namespace quarvex::standin
