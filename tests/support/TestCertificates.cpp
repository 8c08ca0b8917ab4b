#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace quarvex::test {

namespace {

const QStringList newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
const QString localNames = "subjectAltName=DNS:localhost,IP:127.0.0.1";

bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

TestCertificates::TestCertificates() {
    const QString dir = m_folder.path();
    // "openssl ca" alone takes a validity in the past, so the authority
    // signs through it, with a configuration of its own.
    const bool made =
        writeFile(dir + "/ca.cnf", "[ca]\ndefault_ca = own\n[own]\ndatabase = index.txt\n"
                                   "new_certs_dir = .\nserial = serial.txt\ndefault_md = sha256\n"
                                   "policy = any\nunique_subject = no\n[any]\n"
                                   "commonName = supplied\n") &&
        writeFile(dir + "/index.txt", "") && writeFile(dir + "/serial.txt", "1000\n") &&
        openssl(QStringList{"req", "-x509"} + newKey +
                QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Quarvex Test CA",
                            "-days", "2", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                            "keyUsage=critical,keyCertSign,cRLSign"}) &&
        signedByAuthority("server", localNames, {"-days", "2"}) &&
        signedByAuthority("wronghost", "subjectAltName=DNS:elsewhere.example", {"-days", "2"}) &&
        signedByAuthority("expired", localNames,
                          {"-startdate", "20200101000000Z", "-enddate", "20200201000000Z"}) &&
        openssl(QStringList{"req", "-x509"} + newKey +
                QStringList{"-keyout", "self.key", "-out", "self.pem", "-subj", "/CN=localhost",
                            "-days", "2", "-addext", localNames});
    if (!made && m_error.isEmpty())
        m_error = "cannot write into " + dir;
}

bool TestCertificates::signedByAuthority(const QString& name, const QString& altNames,
                                         const QStringList& validity) {
    return writeFile(m_folder.filePath(name + ".ext"), altNames.toUtf8() + "\n") &&
           openssl(QStringList{"req"} + newKey +
                   QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj",
                               "/CN=" + name}) &&
           openssl(QStringList{"ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", "ca.pem",
                               "-keyfile", "ca.key", "-in", name + ".csr", "-out", name + ".pem",
                               "-extfile", name + ".ext"} +
                   validity);
}

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(m_folder.path());
    process.start("openssl", arguments);
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    m_error = "openssl " + arguments.join(' ') + ": " + process.readAllStandardError();
    return false;
}

} // namespace quarvex::test
