#pragma once

#include <QString>

namespace quarvex {

// True for the SQLSTATEs after which the connection cannot be used: class 08
// and the time-outs HYT00 and HYT01. (FreeTDS reports some losses only
// through the connection's dead flag; checkOdbc asks that too.)
bool isConnectionLoss(const QString& sqlState);

} // namespace quarvex
