#pragma once

#include <QString>
#include <optional>

namespace quarvex::standin {

// Exact numbers (decimal, numeric, money, smallmoney) are kept as text with
// exactly `scale` digits after the point, so nothing passes through a double.
// Returns nullopt when the text is no number; sets *overflow when the value
// needs more than precision - scale digits before the point.
std::optional<QString> normalizeDecimal(const QString& text, int precision, int scale,
                                        bool* overflow = nullptr);

// The value times 10^scale as a sign and a 128-bit magnitude, for the wire.
// GCC and Clang's 128-bit integer: enough for 38 decimal digits.
__extension__ typedef unsigned __int128 UInt128;

struct ScaledDecimal {
    bool negative = false;
    UInt128 magnitude = 0;
};
std::optional<ScaledDecimal> scaledDecimal(const QString& text, int scale);

// The shortest text that reads back to the same double.
QString shortestDouble(double value);

// Reads a number literal with correct rounding (never through SQLite's own
// text-to-real conversion).
std::optional<double> readDouble(const QString& text);

} // namespace quarvex::standin
