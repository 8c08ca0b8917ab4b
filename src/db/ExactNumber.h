#pragma once

#include <QMetaType>
#include <QString>

namespace quarvex {

// A decimal, numeric, money or smallmoney value as the exact digits the
// server delivered. It never passes through a double, so no digit is lost.
struct ExactNumber {
    QString text;

    friend bool operator==(const ExactNumber&, const ExactNumber&) = default;
};

} // namespace quarvex

Q_DECLARE_METATYPE(quarvex::ExactNumber)
