#include "standin/values/CodePage1252.h"

namespace quarvex::standin {

namespace {

// 0x80..0x9F; 0 marks the five bytes 1252 leaves undefined.
constexpr char16_t high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char byteOf(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (high[i] == c && c != 0)
            return char(0x80 + i);
    return '?';
}

} // namespace

QByteArray toCodePage1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one character outside the code page, one '?'
        bytes.append(byteOf(c.unicode()));
    }
    return bytes;
}

QString fromCodePage1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0 && high[u - 0x80] != 0)
            text.append(QChar(high[u - 0x80]));
        else
            text.append(QChar(u));
    }
    return text;
}

QString narrowedTo1252(const QString& text) {
    return fromCodePage1252(toCodePage1252(text));
}

} // namespace quarvex::standin
