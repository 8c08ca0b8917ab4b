#include "db/EncryptionFailure.h"

namespace quarvex {

QString encryptionFailureText(bool freeTds, const ConnectionSettings& settings,
                              std::optional<bool> offersTls) {
    if (settings.encryption == Encryption::Optional || !freeTds || !offersTls.has_value())
        return {};
    if (!*offersTls)
        return QStringLiteral("The server %1 does not support encryption, and encryption is "
                              "Mandatory: nothing was sent to it")
            .arg(settings.server.trimmed());
    if (settings.trustServerCertificate)
        return {};
    const QString name = settings.hostNameInCertificate.isEmpty()
                             ? settings.server.section(QLatin1Char(','), 0, 0).trimmed()
                             : settings.hostNameInCertificate;
    const QString authority = settings.caFile.isEmpty()
                                  ? QStringLiteral("an authority the system trusts")
                                  : QStringLiteral("the authority in %1").arg(settings.caFile);
    return QStringLiteral("The server's certificate was refused: it is not signed by %1, it has "
                          "expired, or it is not issued for the host name %2. The login was not "
                          "sent")
        .arg(authority, name);
}

} // namespace quarvex
