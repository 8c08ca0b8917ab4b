#include "standin/tds/TlsChannel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace quarvex::standin {

std::shared_ptr<TlsContext> TlsContext::load(const QString& certificateFile, const QString& keyFile,
                                             QString* error) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr) {
        *error = QStringLiteral("cannot create a TLS context");
        return nullptr;
    }
    std::shared_ptr<TlsContext> result(new TlsContext(context));
    // SQL Server speaks at most TLS 1.2 inside the PRELOGIN handshake of
    // TDS 7.x, and clients expect no records after their Finished message.
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.toLocal8Bit().constData()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(context, keyFile.toLocal8Bit().constData(), SSL_FILETYPE_PEM) !=
            1 ||
        SSL_CTX_check_private_key(context) != 1) {
        char text[256] = {};
        ERR_error_string_n(ERR_get_error(), text, sizeof text);
        *error = QStringLiteral("cannot use %1 and %2: %3")
                     .arg(certificateFile, keyFile, QString::fromLatin1(text));
        return nullptr;
    }
    return result;
}

TlsContext::~TlsContext() {
    SSL_CTX_free(m_context);
}

TlsChannel::TlsChannel(const TlsContext& context)
    : m_ssl(SSL_new(context.get())) {
    SSL_set_bio(m_ssl, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(m_ssl);
}

TlsChannel::~TlsChannel() {
    SSL_free(m_ssl);
}

QByteArray TlsChannel::takeOutput() {
    QByteArray out;
    char chunk[16384];
    int n = 0;
    while ((n = BIO_read(SSL_get_wbio(m_ssl), chunk, sizeof chunk)) > 0)
        out.append(chunk, n);
    return out;
}

QByteArray TlsChannel::handshake(const QByteArray& records, bool* failed) {
    BIO_write(SSL_get_rbio(m_ssl), records.constData(), int(records.size()));
    const int rc = SSL_do_handshake(m_ssl);
    if (rc == 1) {
        m_established = true;
    } else {
        const int reason = SSL_get_error(m_ssl, rc);
        *failed = reason != SSL_ERROR_WANT_READ && reason != SSL_ERROR_WANT_WRITE;
    }
    return takeOutput();
}

QByteArray TlsChannel::decrypt(const QByteArray& records, bool* failed) {
    BIO_write(SSL_get_rbio(m_ssl), records.constData(), int(records.size()));
    QByteArray plain;
    char chunk[16384];
    for (;;) {
        const int n = SSL_read(m_ssl, chunk, sizeof chunk);
        if (n > 0) {
            plain.append(chunk, n);
            continue;
        }
        const int reason = SSL_get_error(m_ssl, n);
        *failed = reason != SSL_ERROR_WANT_READ;
        return plain;
    }
}

QByteArray TlsChannel::encrypt(const QByteArray& plain) {
    if (!plain.isEmpty())
        SSL_write(m_ssl, plain.constData(), int(plain.size()));
    return takeOutput();
}

} // namespace quarvex::standin
