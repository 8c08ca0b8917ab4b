#include "scripting/NumberLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/Utf8Script.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quarvex {

namespace {

// Shortest round-trip digits laid out as a T-SQL literal. A plain decimal
// literal is read by the server as numeric and then converted; that
// conversion is exact only while the digits fit a double's 53-bit mantissa
// (up to 15 of them) and the scale is modest, so longer or far-out values are
// written with an exponent, which the server reads as float directly. Laid
// out in a stack buffer: this runs for every float of every row.
template <typename Out, typename Float> void appendFloat(Out& out, Float value) {
    if (!std::isfinite(value))
        raise(QStringLiteral("Cannot write the floating-point value %1 as a literal")
                  .arg(double(value)));
    char scientific[64];
    const char* const end = std::to_chars(scientific, scientific + sizeof scientific, value,
                                          std::chars_format::scientific)
                                .ptr;

    // scientific is [-]d[.ddd]e(+|-)xx
    const char* ePos = std::find(static_cast<const char*>(scientific), end, 'e');
    const char* expText = ePos + 1;
    if (*expText == '+')
        ++expText; // from_chars takes no plus sign
    int exponent = 0;
    std::from_chars(expText, end, exponent);
    const bool negative = scientific[0] == '-';
    char digits[32];
    int count = 0;
    for (const char* c = scientific + (negative ? 1 : 0); c != ePos; ++c)
        if (*c != '.')
            digits[count++] = *c;

    char text[64];
    char* p = text;
    const auto put = [&p](const char* from, int n) { p = std::copy(from, from + n, p); };
    const auto zeros = [&p](int n) { p = std::fill_n(p, n, '0'); };
    if (negative)
        *p++ = '-';
    if (count <= 15 && exponent >= -7 && exponent < 15) {
        const int point = exponent + 1; // digits before the decimal point
        if (point <= 0) {
            put("0.", 2);
            zeros(-point);
            put(digits, count);
        } else if (point >= count) {
            put(digits, count);
            zeros(point - count);
        } else {
            put(digits, point);
            *p++ = '.';
            put(digits + point, count - point);
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            put(digits + 1, count - 1);
        }
        *p++ = 'E';
        p = std::to_chars(p, text + sizeof text, exponent).ptr;
    }
    out += QLatin1StringView(text, p - text);
}

template <typename Out, typename Integer> void appendInteger(Out& out, Integer value) {
    char text[24];
    const char* const end = std::to_chars(text, text + sizeof text, value).ptr;
    out += QLatin1StringView(text, end - text);
}

// An exact number must already be a plain T-SQL numeric literal: an optional
// minus, digits, at most one decimal point. Anything else would change the
// statement's meaning, so it is refused rather than written.
template <typename Out> void appendExactNumber(Out& out, QStringView text) {
    int digits = 0;
    int points = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128)
            ++digits;
        else if (c == u'.')
            ++points;
        else if (!(c == u'-' && i == 0))
            raise(QStringLiteral("Invalid number text: ") + text.toString());
    }
    if (digits == 0 || points > 1)
        raise(QStringLiteral("Invalid number text: ") + text.toString());
    out += text;
}

template <typename Out> void appendNumber(Out& out, const FieldValue& value) {
    using Kind = FieldValue::Kind;
    switch (value.kind) {
    case Kind::Integer:
        return appendInteger(out, value.integer);
    case Kind::Double:
        return appendFloat(out, value.real);
    case Kind::Float:
        return appendFloat(out, value.single);
    case Kind::Exact:
        return appendExactNumber(out, value.characters());
    default:
        raiseUnexpectedCase();
    }
}

} // namespace

void appendNumberLiteral(QString& out, const FieldValue& value) {
    appendNumber(out, value);
}

void appendNumberLiteral(Utf8Script& out, const FieldValue& value) {
    appendNumber(out, value);
}

} // namespace quarvex
