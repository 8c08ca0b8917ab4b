#pragma once

#include "model/ConnectionSettings.h"

#include <QString>
#include <optional>

namespace quarvex {

// What a failed login under Mandatory or Strict encryption means, in one
// message, where the driver's own words do not say (FreeTDS reports every
// TLS failure as a failed connection): a server that offers no TLS
// (offersTls false), or a certificate that did not pass the check. Empty
// when there is nothing to add: Optional encryption, a driver that says
// itself, or a server that could not be asked.
QString encryptionFailureText(bool freeTds, const ConnectionSettings& settings,
                              std::optional<bool> offersTls);

} // namespace quarvex
