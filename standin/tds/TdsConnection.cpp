#include "standin/tds/TdsConnection.h"

#include "standin/engine/Engine.h"
#include "standin/log/BatchLog.h"
#include "standin/tds/RpcRequest.h"
#include "standin/tds/TdsTokens.h"

#include <QTcpSocket>
#include <QTimer>
#include <utility>

namespace quarvex::standin {

namespace {

// How often a statement waiting for a lock tries again.
constexpr int lockRetryMs = 10;

// The TDS version the server answers with: the client's, but no newer than
// the one the reported server version spoke (2000: 7.1, 2005: 7.2, 2008:
// 7.3, 2012 and later: 7.4).
quint32 negotiatedVersion(quint32 client, int majorVersion) {
    const quint32 cap = majorVersion >= 11   ? 0x74000004u
                        : majorVersion == 10 ? 0x730B0003u
                        : majorVersion == 9  ? 0x72090002u
                                             : 0x71000001u;
    const quint32 wanted = client < 0x71000001u ? 0x71000001u : client;
    return qMin(wanted, cap);
}

} // namespace

TdsConnection::TdsConnection(QTcpSocket* socket, Engine* engine, const LoginPolicy& policy,
                             const Faults& faults, BatchLog* log, int spid, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_engine(engine)
    , m_policy(policy)
    , m_faults(faults)
    , m_log(log)
    , m_silent(faults.stallLogin) {
    m_session.spid = spid;
    socket->setParent(this);
    // Packets go out as they are made, as SQL Server sends them, not held
    // back until the client acknowledges the ones before.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &TdsConnection::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &TdsConnection::sendReply);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

TdsConnection::~TdsConnection() {
    m_reply.reset(); // its rows may read the session's tables
    m_engine->endSession(m_session);
}

void TdsConnection::onReadyRead() {
    if (!takeIncoming(m_socket->readAll())) {
        m_socket->abort();
        return;
    }
    if (!m_openingRecorded && !m_buffer.isEmpty()) {
        m_openingRecorded = true;
        if (m_log)
            m_log->recordOpening(m_session.spid, quint8(m_buffer[0]));
    }
    readMessages();
}

bool TdsConnection::takeIncoming(const QByteArray& raw) {
    if (!m_inTls) {
        m_buffer.append(raw);
        return true;
    }
    bool failed = false;
    m_buffer.append(m_tls->decrypt(raw, &failed));
    return !failed;
}

// While a reply streams, only an attention is read: it cancels the reply.
// Any other message waits until the reply has gone out.
void TdsConnection::readMessages() {
    if (m_reading)
        return;
    m_reading = true;
    while (!m_silent && m_buffer.size() >= 8 &&
           m_socket->state() == QAbstractSocket::ConnectedState) {
        const int length = quint8(m_buffer[2]) << 8 | quint8(m_buffer[3]);
        if (length < 8) {
            m_socket->abort();
            break;
        }
        const int type = quint8(m_buffer[0]);
        if (m_buffer.size() < length || (m_reply && type != TdsAttention))
            break;
        const bool last = quint8(m_buffer[1]) & 0x01;
        m_message.append(m_buffer.mid(8, length - 8));
        m_buffer.remove(0, length);
        if (!last)
            continue;
        const QByteArray message = m_message;
        m_message.clear();
        if (m_reply)
            cancelReply();
        else
            handleMessage(type, message);
    }
    if (m_silent)
        m_buffer.clear();
    m_reading = false;
}

void TdsConnection::handleMessage(int type, const QByteArray& payload) {
    if (type == TdsPrelogin) {
        if (m_tls && !m_tls->established())
            handleHandshake(payload);
        else
            handlePrelogin(payload);
        return;
    }
    if (m_tls && !m_tls->established() && m_policy.encryption == ServerEncryption::Required) {
        // A client that will not encrypt is not served at all.
        m_socket->abort();
        return;
    }
    if (type == TdsLogin7) {
        handleLogin(payload);
        return;
    }
    if (!m_loggedIn) {
        m_socket->abort();
        return;
    }
    TdsTokens tokens(m_tdsVersion);
    TdsWriter w;
    switch (type) {
    case TdsSqlBatch:
        handleBatch(payload);
        return;
    case TdsRpc:
        handleRpc(payload);
        return;
    case TdsAttention:
        // The reply had gone out whole before the attention came: it only
        // needs its acknowledgement.
        tokens.done(w, DoneAttention, 0, 0);
        send(TdsReply, w.data());
        return;
    default:
        tokens.message(w,
                       SqlError{50000,
                                QStringLiteral("The stand-in does not support TDS message type %1 "
                                               "(only SQL batches).")
                                    .arg(type),
                                16, 1, true},
                       true, m_engine->options().serverName, 1);
        tokens.done(w, DoneError, 0, 0);
        send(TdsReply, w.data());
    }
}

// As SQL Server answers: the client's own choice where the server allows it,
// and never less than the server demands.
void TdsConnection::handlePrelogin(const QByteArray& payload) {
    const PreloginEncryption client = clientEncryption(payload);
    PreloginEncryption answer = EncryptNotSup;
    if (m_policy.tls && m_policy.encryption == ServerEncryption::Login)
        answer = client == EncryptReq ? EncryptOn : client;
    else if (m_policy.tls && m_policy.encryption == ServerEncryption::Required)
        answer = client == EncryptOn ? EncryptOn : EncryptReq;
    send(TdsReply, preloginReply(m_engine->options().version, answer));
    if (answer == EncryptNotSup)
        return;
    m_tls = std::make_unique<TlsChannel>(*m_policy.tls);
    m_tlsForLoginOnly = answer == EncryptOff;
}

void TdsConnection::handleHandshake(const QByteArray& records) {
    bool failed = false;
    const QByteArray answer = m_tls->handshake(records, &failed);
    if (!answer.isEmpty())
        send(TdsPrelogin, answer);
    if (failed) {
        m_socket->flush();
        m_socket->abort();
        return;
    }
    if (!m_tls->established())
        return;
    // What the client sent after its last handshake packet is already TLS.
    m_inTls = true;
    const QByteArray rest = m_buffer;
    m_buffer.clear();
    if (!takeIncoming(rest))
        m_socket->abort();
}

void TdsConnection::refuseLogin(int number, const QString& text, int severity,
                                bool thenLoginFailed) {
    TdsTokens tokens(m_tdsVersion);
    TdsWriter w;
    tokens.message(w, SqlError{number, text, severity, 1, true}, true,
                   m_engine->options().serverName, 1);
    if (thenLoginFailed)
        tokens.message(w,
                       SqlError{18456,
                                QStringLiteral("Login failed for user '%1'.").arg(m_session.login),
                                14, 1, true},
                       true, m_engine->options().serverName, 1);
    tokens.done(w, DoneError, 0, 0);
    send(TdsReply, w.data());
    m_socket->flush();
    m_socket->disconnectFromHost();
}

void TdsConnection::handleLogin(const QByteArray& payload) {
    if (m_log)
        m_log->recordLogin(m_session.spid, m_inTls);
    // Under ENCRYPT_OFF the login packet alone travels inside TLS; its
    // answer and the rest of the session go in the clear.
    if (m_inTls && m_tlsForLoginOnly) {
        m_inTls = false;
        m_tls.reset();
    }
    const auto request = parseLogin7(payload);
    if (!request) {
        m_socket->abort();
        return;
    }
    m_tdsVersion = negotiatedVersion(request->tdsVersion, m_engine->majorVersion());
    m_packetSize = qBound(512, request->packetSize == 0 ? 4096 : request->packetSize, 32767);
    m_session.login = request->userName;
    m_session.hostName = request->hostName;
    if (!m_policy.login.isEmpty() &&
        (request->userName != m_policy.login || request->password != m_policy.password)) {
        refuseLogin(18456, QStringLiteral("Login failed for user '%1'.").arg(request->userName), 14,
                    false);
        return;
    }
    const QString database = m_engine->options().database;
    if (!request->database.isEmpty() &&
        request->database.compare(database, Qt::CaseInsensitive) != 0) {
        refuseLogin(4060,
                    QStringLiteral("Cannot open database \"%1\" requested by the login. The login "
                                   "failed.")
                        .arg(request->database),
                    11, true);
        return;
    }
    m_loggedIn = true;
    TdsTokens tokens(m_tdsVersion);
    TdsWriter w;
    const QString server = m_engine->options().serverName;
    tokens.envChange(w, 1, database, QStringLiteral("master"));
    tokens.message(w,
                   SqlError{5701, QStringLiteral("Changed database context to '%1'.").arg(database),
                            0, 2, false},
                   false, server, 1);
    tokens.collationChange(w);
    tokens.envChange(w, 2, QStringLiteral("us_english"), QString());
    tokens.message(
        w, SqlError{5703, QStringLiteral("Changed language setting to us_english."), 0, 1, false},
        false, server, 1);
    tokens.loginAck(w, m_engine->options().version);
    tokens.envChange(w, 4, QString::number(m_packetSize), QString::number(m_packetSize));
    tokens.done(w, DoneFinal, 0, 0);
    send(TdsReply, w.data());
}

void TdsConnection::handleBatch(const QByteArray& payload) {
    QByteArray data = payload;
    TdsTokens tokens(m_tdsVersion);
    if (tokens.isTds72() && data.size() >= 4) {
        // ALL_HEADERS: its total length comes first.
        const quint32 total = quint8(data[0]) | quint8(data[1]) << 8 | quint8(data[2]) << 16 |
                              quint32(quint8(data[3])) << 24;
        data.remove(0, qMin<qsizetype>(total, data.size()));
    }
    const QString batch =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
    if (m_log)
        m_log->record(m_session.spid, batch);
    noteCheckOfSnapshots(batch);
    startReply(std::make_unique<BatchRun>(*m_engine, m_session, batch), std::nullopt);
}

void TdsConnection::noteCheckOfSnapshots(const QString& sql) {
    if (m_faults.snapshotsOffAfterCheck &&
        sql.contains(QLatin1String("sys.databases"), Qt::CaseInsensitive))
        m_snapshotsOffAfterReply = true;
}

int TdsConnection::rowLimit() const {
    return m_faults.dropAfterRows >= 0 ? m_faults.dropAfterRows : m_faults.stallAfterRows;
}

// Remote procedure calls, as ODBC drivers send them for prepared
// statements: sp_executesql, sp_prepare, sp_execute, sp_prepexec and
// sp_unprepare, all without parameters of their own.
void TdsConnection::handleRpc(const QByteArray& payload) {
    const RpcRequest request = readRpc(payload, TdsTokens(m_tdsVersion).isTds72());
    const int procedure = request.procedure;
    const QVariantList& values = request.values;
    QString sql;
    int handle = 0;
    bool returnsHandle = false;
    QString problem;
    if (!request.readable) {
        problem = QStringLiteral("this parameter type in a remote procedure call");
    } else if (procedure == 10) {
        sql = values.value(0).toString();
        if (!values.value(1).toString().isEmpty())
            problem = QStringLiteral("parameters of sp_executesql");
    } else if (procedure == 11 || procedure == 13) {
        if (!values.value(1).toString().isEmpty())
            problem = QStringLiteral("parameters of prepared statements");
        handle = m_nextHandle++;
        m_prepared.insert(handle, values.value(2).toString());
        returnsHandle = true;
        if (procedure == 13)
            sql = values.value(2).toString();
    } else if (procedure == 12) {
        sql = m_prepared.value(values.value(0).toInt());
        if (values.size() > 1)
            problem = QStringLiteral("parameters of prepared statements");
    } else if (procedure == 15) {
        m_prepared.remove(values.value(0).toInt());
    } else {
        problem = QStringLiteral("remote procedure calls other than those of prepared statements");
    }
    std::unique_ptr<BatchRun> run;
    if (!problem.isEmpty()) {
        run = std::make_unique<BatchRun>(*m_engine, m_session, unsupported(problem));
    } else if (!sql.isEmpty()) {
        if (m_log)
            m_log->record(m_session.spid, sql);
        noteCheckOfSnapshots(sql);
        run = std::make_unique<BatchRun>(*m_engine, m_session, sql);
    }
    startReply(std::move(run), ReplyStream::ProcedureCall{returnsHandle ? std::optional<int>(handle)
                                                                        : std::nullopt});
}

void TdsConnection::startReply(std::unique_ptr<BatchRun> run,
                               std::optional<ReplyStream::ProcedureCall> call) {
    m_reply = std::make_unique<ReplyStream>(m_tdsVersion, m_engine->options().serverName,
                                            std::move(run), call, rowLimit());
    m_packetNumber = 1;
    sendReply();
}

// Tokens are made only while little waits in the socket's buffer, and again
// each time the socket has written some: a result goes out as fast as the
// client reads it, the stand-in holds a few packets of it at a time, and the
// event loop runs between them, so that an attention and other connections
// are served while a long result streams.
void TdsConnection::sendReply() {
    constexpr qint64 writeAhead = 64 * 1024;
    const qsizetype room = m_packetSize - 8;
    if (m_pausing)
        return;
    while (m_reply && m_socket->state() == QAbstractSocket::ConnectedState &&
           m_socket->bytesToWrite() < writeAhead) {
        m_reply->fill(m_unsent, room + 1);
        if (m_reply->cut()) {
            failMidResult();
            return;
        }
        if (m_reply->finished()) {
            m_reply.reset();
            if (std::exchange(m_snapshotsOffAfterReply, false))
                m_engine->allowSnapshots(false);
            flushUnsent(Flush::RestEndingMessage);
            readMessages(); // what came in meanwhile
            return;
        }
        flushUnsent(Flush::WholePackets);
        if (m_reply->waiting()) {
            pauseReply(lockRetryMs); // another session holds a lock it needs
            return;
        }
        if (m_faults.packetDelayMs > 0) {
            pauseReply(m_faults.packetDelayMs);
            return;
        }
    }
}

void TdsConnection::pauseReply(int milliseconds) {
    m_pausing = true;
    QTimer::singleShot(milliseconds, this, [this] {
        m_pausing = false;
        sendReply();
    });
}

// The packets sent may end inside a token: what was made of the reply
// completes it, then the acknowledgement ends the message. The client
// discards everything before the acknowledgement.
void TdsConnection::cancelReply() {
    m_reply.reset();
    TdsWriter w;
    TdsTokens(m_tdsVersion).done(w, DoneAttention, 0, 0);
    m_unsent.append(w.data());
    flushUnsent(Flush::RestEndingMessage);
}

void TdsConnection::failMidResult() {
    m_reply.reset();
    flushUnsent(Flush::Rest);
    if (m_faults.dropAfterRows >= 0)
        m_socket->disconnectFromHost(); // after what is queued has gone out
    else
        m_silent = true;
}

// A part packet is sent only at the reply's end (Rest): before, it waits
// for more tokens.
void TdsConnection::flushUnsent(Flush flush) {
    const qsizetype room = m_packetSize - 8;
    qsizetype at = 0;
    for (; m_unsent.size() - at > room; at += room)
        writePacket(TdsReply, m_unsent.constData() + at, room, false);
    const bool endsMessage = flush == Flush::RestEndingMessage;
    if (flush != Flush::WholePackets && (at < m_unsent.size() || endsMessage)) {
        writePacket(TdsReply, m_unsent.constData() + at, m_unsent.size() - at, endsMessage);
        at = m_unsent.size();
    }
    m_unsent.remove(0, at);
}

void TdsConnection::send(int type, const QByteArray& payload) {
    const qsizetype room = m_packetSize - 8;
    m_packetNumber = 1;
    qsizetype at = 0;
    do {
        const qsizetype size = qMin(room, payload.size() - at);
        writePacket(type, payload.constData() + at, size, at + size >= payload.size());
        at += size;
    } while (at < payload.size());
}

void TdsConnection::writePacket(int type, const char* data, qsizetype size, bool endsMessage) {
    QByteArray packet(8, '\0');
    packet[0] = char(type);
    packet[1] = char(endsMessage ? 0x01 : 0x00);
    packet[2] = char(((size + 8) >> 8) & 0xFF);
    packet[3] = char((size + 8) & 0xFF);
    packet[4] = char((m_session.spid >> 8) & 0xFF);
    packet[5] = char(m_session.spid & 0xFF);
    packet[6] = char(m_packetNumber++ & 0xFF);
    packet.append(data, size);
    m_socket->write(m_inTls ? m_tls->encrypt(packet) : packet);
}

} // namespace quarvex::standin
