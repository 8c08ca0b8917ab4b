#include "db/ConnectionLoss.h"

namespace quarvex {

// Class 08 is the connection's own failure (link lost, server gone); HYT00 and
// HYT01 are the query and connection time-outs. A statement cannot succeed on
// that connection any more.
bool isConnectionLoss(const QString& sqlState) {
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("HYT00") ||
           sqlState == QLatin1String("HYT01");
}

} // namespace quarvex
