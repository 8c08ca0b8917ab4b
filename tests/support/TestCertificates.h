#pragma once

#include <QString>
#include <QTemporaryDir>

namespace quarvex::test {

// Certificates made with the openssl tool for one test, never kept: a test
// authority ("ca"), and certificates with their keys ("NAME.pem",
// "NAME.key"): "server" for localhost and 127.0.0.1 signed by the
// authority, "wronghost" signed by it for another name, "expired" signed by
// it and out of date, "self" self-signed for localhost and 127.0.0.1.
class TestCertificates {
public:
    TestCertificates();
    // Empty when all were made; otherwise what failed.
    const QString& error() const { return m_error; }
    QString certificate(const QString& name) const { return m_folder.filePath(name + ".pem"); }
    QString key(const QString& name) const { return m_folder.filePath(name + ".key"); }

private:
    bool openssl(const QStringList& arguments);
    bool signedByAuthority(const QString& name, const QString& altNames,
                           const QStringList& validity);

    QTemporaryDir m_folder;
    QString m_error;
};

} // namespace quarvex::test
