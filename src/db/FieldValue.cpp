#include "db/FieldValue.h"

#include "db/ExactNumber.h"

#include <QDateTime>

namespace quarvex {

QVariant FieldValue::toVariant() const {
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Bool:
        return boolean;
    case Kind::Integer:
        return integer;
    case Kind::Float:
        return single;
    case Kind::Double:
        return real;
    case Kind::Exact:
        return QVariant::fromValue(ExactNumber{characters().toString()});
    case Kind::Timestamp:
        return QDateTime(
            QDate(stamp.year, stamp.month, stamp.day),
            QTime(stamp.hour, stamp.minute, stamp.second, int(stamp.fraction / 1000000)), Qt::UTC);
    case Kind::Text:
        return characters().toString();
    case Kind::Bytes:
        return bytes;
    }
    return {};
}

} // namespace quarvex
