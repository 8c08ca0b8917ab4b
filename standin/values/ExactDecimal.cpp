#include "standin/values/ExactDecimal.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace quarvex::standin {

namespace {

// A number as written: [sign] digits [. digits] [e exponent].
struct WrittenNumber {
    bool negative = false;
    QString digits;   // every digit, the point left out
    int exponent = 0; // the power of ten the digits are worth
};

std::optional<WrittenNumber> readNumber(const QString& text) {
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    QString digits;
    int exponent = 0;
    bool seenDigit = false;
    bool seenPoint = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            seenDigit = true;
            if (seenPoint)
                --exponent;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        bool ok = false;
        const int extra = text.mid(i + 1).toInt(&ok);
        if (!ok)
            return std::nullopt;
        exponent += extra;
        i = int(text.size());
    }
    if (i != text.size())
        return std::nullopt;
    return WrittenNumber{negative, digits, exponent};
}

// digits without its last drop digits, rounded half up.
QString roundedOff(QString digits, int drop) {
    bool roundUp = false;
    if (drop > digits.size()) {
        digits = QStringLiteral("0");
    } else {
        roundUp = digits[digits.size() - drop].digitValue() >= 5;
        digits.chop(drop);
        if (digits.isEmpty())
            digits = QStringLiteral("0");
    }
    if (roundUp) {
        int k = int(digits.size()) - 1;
        while (k >= 0 && digits[k] == u'9')
            digits[k--] = u'0';
        if (k < 0)
            digits.prepend(u'1');
        else
            digits[k] = QChar(digits[k].unicode() + 1);
    }
    return digits;
}

} // namespace

std::optional<QString> normalizeDecimal(const QString& input, int precision, int scale,
                                        bool* overflow) {
    if (overflow)
        *overflow = false;
    const auto number = readNumber(input.trimmed());
    if (!number)
        return std::nullopt;
    QString digits = number->digits;
    const int shift = number->exponent + scale;
    if (shift >= 0)
        digits += QString(shift, u'0');
    else
        digits = roundedOff(digits, -shift);
    while (digits.size() > 1 && digits[0] == u'0')
        digits.remove(0, 1);
    if (digits != QLatin1String("0") && digits.size() > precision) {
        if (overflow)
            *overflow = true;
        return std::nullopt;
    }
    if (digits.size() <= scale)
        digits.prepend(QString(scale - digits.size() + 1, u'0'));
    QString result = digits;
    if (scale > 0)
        result.insert(result.size() - scale, u'.');
    if (number->negative && digits.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        result.prepend(u'-');
    return result;
}

std::optional<ScaledDecimal> scaledDecimal(const QString& text, int scale) {
    bool overflow = false;
    const auto normal = normalizeDecimal(text, 38, scale, &overflow);
    if (!normal)
        return std::nullopt;
    ScaledDecimal result;
    for (QChar c : *normal) {
        if (c == u'-')
            result.negative = true;
        else if (c.isDigit())
            result.magnitude = result.magnitude * 10 + unsigned(c.digitValue());
    }
    return result;
}

QString shortestDouble(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

std::optional<double> readDouble(const QString& text) {
    QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.startsWith('+'))
        bytes.remove(0, 1);
    double value = 0;
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (result.ec != std::errc() || result.ptr != bytes.constData() + bytes.size() ||
        bytes.isEmpty())
        return std::nullopt;
    return value;
}

} // namespace quarvex::standin
