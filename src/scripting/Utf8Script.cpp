#include "scripting/Utf8Script.h"

#include <QChar>
#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarvex {

namespace {

// Bytes a UTF-16 code unit can take in UTF-8: three at most, as a pair of
// surrogates takes four.
constexpr qsizetype mostBytesPerUnit = 3;

bool isCutMark(char16_t c) {
    return c == u'\n' || c == u'$' || c == 0;
}

struct Encoding {
    bool doubleApostrophes = false;
    bool stopAtCutMarks = false;
    qsizetype apostrophes = 0; // doubled so far
};

// The character at text[i] as UTF-8 at p; moves i past it. Null when it is a
// cut mark that the encoding stops at.
char* encodeOne(char* p, const char16_t* text, qsizetype n, qsizetype& i, Encoding& encoding) {
    const char16_t c = text[i++];
    if (c < 0x80) {
        if (c == u'\'' && encoding.doubleApostrophes) {
            *p++ = '\'';
            ++encoding.apostrophes;
        } else if (encoding.stopAtCutMarks && isCutMark(c)) {
            return nullptr;
        }
        *p++ = char(c);
    } else if (c < 0x800) {
        *p++ = char(0xC0 | (c >> 6));
        *p++ = char(0x80 | (c & 0x3F));
    } else if (QChar::isHighSurrogate(c) && i < n && QChar::isLowSurrogate(text[i])) {
        const char32_t code = QChar::surrogateToUcs4(c, text[i++]);
        *p++ = char(0xF0 | (code >> 18));
        *p++ = char(0x80 | ((code >> 12) & 0x3F));
        *p++ = char(0x80 | ((code >> 6) & 0x3F));
        *p++ = char(0x80 | (code & 0x3F));
    } else if (QChar::isSurrogate(c)) {
        // What QStringEncoder writes for a surrogate without its partner.
        *p++ = char(0xEF);
        *p++ = char(0xBF);
        *p++ = char(0xBD);
    } else {
        *p++ = char(0xE0 | (c >> 12));
        *p++ = char(0x80 | ((c >> 6) & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    }
    return p;
}

#if defined(__SSE2__)
// Stores the units packed into bytes with saturation at p and returns a bit
// for each of them that is not a plain 7-bit character: a unit above 0x7F
// shows its top bit, and none above 0xFF can pass for an apostrophe or a cut
// mark. The room holds the surplus bytes.
inline unsigned storePlain(char* p, __m128i bytes) {
    const __m128i marked = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\'')),
                                                     _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))),
                                        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('$')),
                                                     _mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(bytes, marked)));
}
#endif

bool isPlain(char16_t c) {
    return c < 0x80 && c != u'\'' && !isCutMark(c);
}

// The text as UTF-8 from p on, into room for mostBytesPerUnit bytes a unit;
// the end of what was written, or null at a cut mark the encoding stops at.
// Runs of plain 7-bit characters go sixteen at a time: texts are mostly such
// runs, and this loop is most of the client's own work on them. Between
// runs the characters go one by one until two plain ones follow, so that a
// text with an accent every few letters does not start a run at each.
char* encode(char* p, QStringView view, Encoding& encoding) {
    const char16_t* const text = view.utf16();
    const qsizetype n = view.size();
    qsizetype i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // A whole run of sixteen moves on by a constant, so that the next
        // sixteen are loaded before this test is decided.
        while (i + 16 <= n) {
            const auto* const units = reinterpret_cast<const __m128i*>(text + i);
            const unsigned marks =
                storePlain(p, _mm_packus_epi16(_mm_loadu_si128(units), _mm_loadu_si128(units + 1)));
            if (marks != 0) {
                const int run = __builtin_ctz(marks);
                p += run;
                i += run;
                break;
            }
            p += 16;
            i += 16;
        }
        if (i + 8 <= n && i + 16 > n) {
            const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            const int run = __builtin_ctz(storePlain(p, _mm_packus_epi16(eight, eight)) | 0x100u);
            p += run;
            i += run;
        }
#endif
        do {
            if (i >= n)
                return p;
            p = encodeOne(p, text, n, i, encoding);
            if (!p)
                return nullptr;
        } while (i + 1 < n && !(isPlain(text[i]) && isPlain(text[i + 1])));
    }
    return p;
}

} // namespace

void Utf8Script::grow(qsizetype count) {
    m_bytes.resize(std::max(2 * m_bytes.size(), m_length + count + 4096));
}

Utf8Script& Utf8Script::operator+=(QStringView text) {
    Encoding encoding;
    const char* const end = encode(room(mostBytesPerUnit * text.size()), text, encoding);
    m_length = end - m_bytes.constData();
    m_units += text.size();
    return *this;
}

bool Utf8Script::appendQuoted(QStringView text, bool unicode, bool stopAtCutMarks) {
    char* p = room(mostBytesPerUnit * text.size() + 3);
    if (unicode)
        *p++ = 'N';
    *p++ = '\'';
    Encoding encoding{true, stopAtCutMarks, 0};
    p = encode(p, text, encoding);
    if (!p)
        return false;
    *p++ = '\'';
    m_length = p - m_bytes.constData();
    m_units += text.size() + encoding.apostrophes + (unicode ? 3 : 2);
    return true;
}

} // namespace quarvex
