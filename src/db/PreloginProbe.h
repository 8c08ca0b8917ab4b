#pragma once

#include <QString>
#include <optional>

namespace quarvex {

// Asks a server, with a PRELOGIN message alone (no login, no password),
// whether it can encrypt: true when it offers TLS, false when it answers
// that it cannot, nothing when it cannot be asked (no answer, an instance
// name without a port, a malformed answer).
std::optional<bool> serverOffersTls(const QString& serverText, int timeoutSeconds);

} // namespace quarvex
