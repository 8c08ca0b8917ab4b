#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace quarvex::standin {

// The server's certificate and key, loaded once and shared by every
// connection.
class TlsContext {
public:
    // Nothing and the reason in error when the files cannot be used.
    static std::shared_ptr<TlsContext> load(const QString& certificateFile, const QString& keyFile,
                                            QString* error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* get() const { return m_context; }

private:
    explicit TlsContext(SSL_CTX* context)
        : m_context(context) {}
    SSL_CTX* m_context;
};

// The server side of one TLS session over memory buffers: the connection
// hands it the records the client sent and sends whatever it returns, so the
// same session serves the handshake inside PRELOGIN packets and the raw
// records after it.
class TlsChannel {
public:
    explicit TlsChannel(const TlsContext& context);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Takes handshake records; returns the records to answer with. Sets
    // failed when the client broke the handshake off (it refused the
    // certificate, say).
    QByteArray handshake(const QByteArray& records, bool* failed);
    bool established() const { return m_established; }

    // Records in, the plain bytes they carry out; failed on a broken record.
    QByteArray decrypt(const QByteArray& records, bool* failed);
    // Plain bytes in, the records that carry them out.
    QByteArray encrypt(const QByteArray& plain);

private:
    QByteArray takeOutput();

    SSL* m_ssl;
    bool m_established = false;
};

} // namespace quarvex::standin
