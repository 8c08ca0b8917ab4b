#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QStringView>
#include <cstring>

namespace quarvex {

// Script text held as the UTF-8 bytes an 8-bit script file receives, so that
// a long value goes from the driver's characters to the file's bytes in one
// pass. The length is also kept in UTF-16 code units, the measure by which a
// table's batches are cut, so that the batches end where they would if the
// text were held as a QString.
//
// The bytes are those QStringEncoder gives for the same text appended to a
// QString: a surrogate without its partner becomes U+FFFD. (No piece
// appended ends with a high surrogate that the next piece would complete.)
class Utf8Script {
public:
    qsizetype size() const { return m_units; }
    QByteArrayView bytes() const { return {m_bytes.constData(), m_length}; }

    // Empties the text, keeping its memory for the next batch.
    void clear() {
        m_length = 0;
        m_units = 0;
    }

    Utf8Script& operator+=(QStringView text);

    Utf8Script& operator+=(const Utf8Script& other) {
        std::memcpy(room(other.m_length), other.m_bytes.constData(), size_t(other.m_length));
        m_length += other.m_length;
        m_units += other.m_units;
        return *this;
    }

    // 7-bit characters only.
    Utf8Script& operator+=(QLatin1StringView ascii) {
        std::memcpy(room(ascii.size()), ascii.data(), size_t(ascii.size()));
        m_length += ascii.size();
        m_units += ascii.size();
        return *this;
    }

    Utf8Script& operator+=(char16_t c) {
        if (c >= 0x80)
            return *this += QStringView(&c, 1);
        *room(1) = char(c);
        ++m_length;
        ++m_units;
        return *this;
    }

    // The text between apostrophes, each apostrophe doubled, with the prefix
    // N for Unicode. With stopAtCutMarks it writes nothing and returns false
    // when the text holds a line break, "$" or a NUL: a character at which
    // the literal may have to be cut and which the caller then deals with.
    bool appendQuoted(QStringView text, bool unicode, bool stopAtCutMarks);

private:
    // Where the next bytes go, with room for count of them.
    char* room(qsizetype count) {
        if (m_length + count > m_bytes.size())
            grow(count);
        return m_bytes.data() + m_length;
    }
    void grow(qsizetype count);

    // Its first m_length bytes are the text: the rest is room kept, so that
    // appending costs no more than copying.
    QByteArray m_bytes;
    qsizetype m_length = 0;
    qsizetype m_units = 0;
};

} // namespace quarvex
