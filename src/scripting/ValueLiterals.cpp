#include "scripting/ValueLiterals.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "scripting/Utf8Script.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

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

bool isBlank(QChar c) {
    return c.isSpace() && c != u'\n';
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// A line that tsql or sqlcmd takes as a command of its own instead of a line
// of the batch: one whose first word is GO or a word that quits (exit, quit,
// bye), drops the batch typed so far (reset, version) or starts an editor
// (ed), in any letter case; or one starting with ":" or "!!". Blanks before
// it do not count. Splitting more lines than strictly needed costs nothing;
// splitting one too few breaks the script.
bool isCommandLine(QStringView line) {
    qsizetype start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    line = line.mid(start);
    if (line.startsWith(u':') || line.startsWith(u"!!"))
        return true;
    qsizetype end = 0;
    while (end < line.size() && isWordCharacter(line[end]))
        ++end;
    static const char16_t* const commands[] = {u"go",    u"exit",    u"quit", u"bye",
                                               u"reset", u"version", u"ed"};
    const QStringView word = line.left(end);
    return std::any_of(std::begin(commands), std::end(commands), [word](const char16_t* command) {
        return word.compare(QStringView(command), Qt::CaseInsensitive) == 0;
    });
}

bool isLineBreakAt(QStringView text, qsizetype i) {
    return (i < text.size() && text[i] == u'\n') ||
           (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n');
}

// Positions, in order, at which the literal must be closed and a new one
// begun: after a backslash that ends a line (the server drops both), at the
// start of a command line, between "$" and "(" (sqlcmd replaces "$(name)"
// even inside literals), and on both sides of a NUL (a client ends the batch
// text there), which is written outside any literal.
QList<qsizetype> literalCuts(QStringView text) {
    QList<qsizetype> cuts;
    const auto cutAt = [&](qsizetype position) {
        if (position > 0 && position < text.size() && (cuts.isEmpty() || cuts.last() < position))
            cuts.append(position);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && isLineBreakAt(text, i + 1)) {
            cutAt(i + 1);
        } else if (c == u'\n') {
            qsizetype end = text.indexOf(u'\n', i + 1);
            if (end < 0)
                end = text.size();
            if (isCommandLine(text.mid(i + 1, end - i - 1)))
                cutAt(i + 1);
        } else if (c == u'(' && i > 0 && text[i - 1] == u'$') {
            cutAt(i);
        } else if (c.isNull()) {
            cutAt(i);
            cutAt(i + 1);
        }
    }
    return cuts;
}

bool isNull(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

QLatin1String typeNameOf(ColumnClass columnClass) {
    switch (columnClass) {
    case ColumnClass::Date:
        return QLatin1String("date");
    case ColumnClass::Time:
        return QLatin1String("time");
    case ColumnClass::DateTime2:
        return QLatin1String("datetime2");
    case ColumnClass::DateTimeOffset:
        return QLatin1String("datetimeoffset");
    case ColumnClass::HierarchyId:
        return QLatin1String("hierarchyid");
    case ColumnClass::Geometry:
        return QLatin1String("geometry");
    case ColumnClass::Geography:
        return QLatin1String("geography");
    default:
        break;
    }
    raiseUnexpectedCase();
}

// Copies the part of text that has the shape ("9" a digit, any other
// character itself) off its front to p; false when it has not.
bool copyShaped(QStringView& text, QChar*& p, QLatin1StringView shape) {
    if (text.size() < shape.size())
        return false;
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const QChar c = text[i];
        const bool fits = shape[i] == u'9' ? (c >= u'0' && c <= u'9') : c == shape[i];
        if (!fits)
            return false;
    }
    p = std::copy(text.begin(), text.begin() + shape.size(), p);
    text = text.mid(shape.size());
    return true;
}

// Copies the fraction of a second off the front of text to p with exactly
// scale digits behind its point; nothing for scale 0. Digits beyond the scale
// may only be zeros.
bool copyScaledFraction(QStringView& text, QChar*& p, int scale) {
    qsizetype digits = 0;
    if (text.startsWith(u'.')) {
        while (digits + 1 < text.size() && text[digits + 1] >= u'0' && text[digits + 1] <= u'9')
            ++digits;
        if (digits == 0)
            return false;
    }
    const QStringView given = digits > 0 ? text.mid(1, digits) : QStringView();
    text = text.mid(digits > 0 ? digits + 1 : 0);
    const qsizetype kept = std::clamp<qsizetype>(scale, 0, given.size());
    if (std::any_of(given.begin() + kept, given.end(), [](QChar c) { return c != u'0'; }))
        return false;
    if (scale <= 0)
        return true;
    *p++ = u'.';
    p = std::copy(given.begin(), given.begin() + kept, p);
    p = std::fill_n(p, scale - kept, QChar(u'0'));
    return true;
}

// Copies the offset, " +hh:mm" or " -hh:mm", off the front of text to p. A
// zero offset is written +00:00 whatever sign it came with.
bool copyOffset(QStringView& text, QChar*& p) {
    const bool zero = text.startsWith(QLatin1StringView(" -00:00"));
    if (!copyShaped(text, p, QLatin1StringView(" +99:99")) &&
        !copyShaped(text, p, QLatin1StringView(" -99:99")))
        return false;
    if (zero)
        p[-6] = u'+'; // the sign, six characters back
    return true;
}

// The literal's text without its apostrophes written from p on, or false when
// text is not what style 121 gives for the class.
bool copyTemporal(ColumnClass columnClass, QStringView text, int scale, QChar*& p) {
    const bool date = columnClass != ColumnClass::Time;
    const bool time = columnClass != ColumnClass::Date;
    if (date && !copyShaped(text, p, QLatin1StringView("9999-99-99")))
        return false;
    if (date && time && !copyShaped(text, p, QLatin1StringView(" ")))
        return false;
    if (time &&
        !(copyShaped(text, p, QLatin1StringView("99:99:99")) && copyScaledFraction(text, p, scale)))
        return false;
    if (columnClass == ColumnClass::DateTimeOffset && !copyOffset(text, p))
        return false;
    return text.isEmpty();
}

// The literal of a date or time value appended to out, written in place from
// the characters as they came: this runs for every such value of a table's
// rows, where building a string for each piece cost more than the rest of the
// row. Raises, leaving out as it was, when the text does not fit the class.
void appendTemporal(QString& out, ColumnClass columnClass, QStringView text, int scale) {
    const qsizetype start = out.size();
    // Room for the text, a point and missing fraction digits, the apostrophes.
    out.resize(start + text.size() + std::max(scale, 0) + 3);
    QChar* const first = out.data() + start;
    QChar* p = first;
    *p++ = u'\'';
    const bool fits = copyTemporal(columnClass, text, scale, p);
    *p++ = u'\'';
    out.resize(fits ? start + (p - first) : start);
    if (!fits)
        raise(QStringLiteral("Cannot write the %1 value \"%2\" exactly as a literal")
                  .arg(typeNameOf(columnClass), text.toString()));
}

// Two digits, or four, from the front of a number known to fit them.
char* putDigits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        p[i] = char('0' + value % 10);
    return p + width;
}

// 'yyyy-mm-dd hh:mi:ss.mmm' formatted by hand: QDateTime::toString goes
// through the calendar and locale machinery and snprintf parses its format
// for every value, which dominated the scripting of large tables. The
// milliseconds are the last three digits of milliseconds + 1000 (7 gives 007).
template <typename Out>
void appendDate(Out& out, const Timestamp& stamp, qint32 milliseconds) {
    char text[64];
    char* p = text;
    *p++ = '\'';
    if (stamp.year >= 0 && stamp.year <= 9999)
        p = putDigits(p, stamp.year, 4);
    else
        p += std::snprintf(p, 16, "%04d", stamp.year);
    const int parts[] = {stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second};
    const char separators[] = {'-', '-', ' ', ':', ':'};
    for (int i = 0; i < 5; ++i) {
        *p++ = separators[i];
        p = putDigits(p, parts[i], 2);
    }
    *p++ = '.';
    char number[24];
    const char* const end =
        std::to_chars(number, number + sizeof number, qint64(milliseconds) + 1000).ptr;
    p = std::copy(end - std::min<std::ptrdiff_t>(3, end - number), end, p);
    *p++ = '\'';
    out += QLatin1StringView(text, p - text);
}

bool isPlainTimestamp(const Timestamp& stamp) {
    return stamp.year >= 1 && stamp.year <= 9999 &&
           QDate::isValid(stamp.year, stamp.month, stamp.day) &&
           QTime::isValid(stamp.hour, stamp.minute, stamp.second);
}

void appendHex(QString& out, const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 2 + 2 * bytes.size());
    QChar* p = out.data() + start;
    *p++ = u'0';
    *p++ = u'x';
    for (const char byte : bytes) {
        *p++ = QLatin1Char(digits[(uchar(byte) >> 4) & 0xF]);
        *p++ = QLatin1Char(digits[uchar(byte) & 0xF]);
    }
}

// The text between apostrophes, each apostrophe doubled, copied in runs.
void appendQuoted(QString& out, QStringView text) {
    out += u'\'';
    qsizetype start = 0;
    for (qsizetype quote = text.indexOf(u'\''); quote >= 0; quote = text.indexOf(u'\'', start)) {
        out += text.mid(start, quote + 1 - start);
        out += u'\'';
        start = quote + 1;
    }
    out += text.mid(start);
    out += u'\'';
}

void appendQuotedPiece(QString& out, QStringView piece, bool unicode) {
    if (unicode)
        out += u'N';
    appendQuoted(out, piece);
}

void appendQuotedPiece(Utf8Script& out, QStringView piece, bool unicode) {
    out.appendQuoted(piece, unicode, false);
}

// The literal of a text, cut where literalCuts says into literals joined by
// "+"; a NUL stands on its own as char(0) or nchar(0). Raises before writing
// anything when the value cannot be written for the server.
template <typename Out>
void appendCutLiteral(Out& out, QStringView text, ColumnClass columnClass,
                      bool maxTypesAvailable) {
    const bool unicode = columnClass == ColumnClass::U;
    const auto piece = [&](QStringView part) {
        if (part.size() == 1 && part[0].isNull())
            out += unicode ? QLatin1StringView("nchar(0)") : QLatin1StringView("char(0)");
        else
            appendQuotedPiece(out, part, unicode);
    };
    const QList<qsizetype> cuts = literalCuts(text);
    if (cuts.isEmpty()) {
        piece(text);
        return;
    }

    // 8000 bytes: 8000 single-byte or 4000 Unicode characters.
    const bool long_ = text.size() > (unicode ? 4000 : 8000);
    if (long_ && !maxTypesAvailable)
        raise(QStringLiteral("A text value of %1 characters holds a NUL, a backslash before a "
                             "line break, a line that a batch runner takes as a command or "
                             "\"$(\"; servers before SQL Server 2005 cannot load it unchanged "
                             "from a script")
                  .arg(text.size()));

    // Such a concatenation is cut at 8000 bytes unless its first piece is of
    // a max type.
    if (long_)
        out += unicode ? QLatin1StringView("convert(nvarchar(max),")
                       : QLatin1StringView("convert(varchar(max),");
    qsizetype start = 0;
    for (qsizetype i = 0; i <= cuts.size(); ++i) {
        const qsizetype end = i < cuts.size() ? cuts[i] : text.size();
        if (i > 0)
            out += u'+';
        piece(text.mid(start, end - start));
        if (i == 0 && long_)
            out += u')';
        start = end;
    }
}

// What a text holds that its literal must deal with: a character that some
// cut needs (a line break, "$" or a NUL; see literalCuts), or an apostrophe.
// Most values hold neither.
struct TextMarks {
    bool mayNeedCuts = false;
    bool apostrophe = false;
};

// Each flag all ones once such a character was seen. Written without
// branches so that the compiler can check many characters at once.
inline void markCharacter(char16_t c, char16_t& cut, char16_t& quote) {
    const auto all = [](bool flag) { return char16_t(-char16_t(flag)); };
    cut |= all(c == u'\n') | all(c == u'$') | all(c == 0);
    quote |= all(c == u'\'');
}

// One pass over the text, in blocks of fixed length without an early exit,
// which the compiler turns into vector code: for long texts this scan was the
// largest part of the client's own work.
TextMarks marksOf(QStringView text) {
    constexpr qsizetype block = 32;
    const char16_t* const p = text.utf16();
    const qsizetype n = text.size();
    char16_t cut = 0;
    char16_t quote = 0;
    qsizetype i = 0;
    for (; i + block <= n; i += block)
        for (qsizetype j = 0; j < block; ++j)
            markCharacter(p[i + j], cut, quote);
    for (; i < n; ++i)
        markCharacter(p[i], cut, quote);
    return {cut != 0, quote != 0};
}

void appendTextLiteral(QString& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable) {
    const TextMarks marks = marksOf(text);
    if (marks.mayNeedCuts) {
        appendCutLiteral(out, text, columnClass, maxTypesAvailable);
        return;
    }
    if (columnClass == ColumnClass::U)
        out += u'N';
    if (marks.apostrophe) {
        appendQuoted(out, text);
        return;
    }
    out += u'\'';
    out += text;
    out += u'\'';
}

Timestamp timestampOf(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    return Timestamp{date.year(), date.month(),  date.day(),
                     time.hour(), time.minute(), time.second()};
}

void appendNumber(QString& out, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
        return appendFloat(out, value.toDouble());
    case QMetaType::Float:
        return appendFloat(out, value.toFloat());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return appendInteger(out, value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return appendInteger(out, value.toULongLong());
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<ExactNumber>())
        return appendExactNumber(out, value.value<ExactNumber>().text);
    raise(QStringLiteral("Not a number: ") + QString::fromLatin1(value.typeName()));
}

template <typename Out> bool appendTypedNumber(Out& out, const FieldValue& value) {
    using Kind = FieldValue::Kind;
    if (value.kind == Kind::Integer)
        appendInteger(out, value.integer);
    else if (value.kind == Kind::Double)
        appendFloat(out, value.real);
    else if (value.kind == Kind::Float)
        appendFloat(out, value.single);
    else if (value.kind == Kind::Exact)
        appendExactNumber(out, value.characters());
    else
        return false;
    return true;
}

template <typename Out>
bool appendTypedDate(Out& out, const FieldValue& value, const FieldValue* milliseconds) {
    using Kind = FieldValue::Kind;
    const bool noMilliseconds = !milliseconds || milliseconds->isNull();
    // Anything a QDateTime would not hold as it is takes the QVariant way.
    if (value.kind != Kind::Timestamp || !isPlainTimestamp(value.stamp) ||
        !(noMilliseconds || milliseconds->kind == Kind::Integer))
        return false;
    appendDate(out, value.stamp, noMilliseconds ? 0 : qint32(milliseconds->integer));
    return true;
}

// A value of a row read in its own type, for the classes whose values come
// that way; false for any other pairing, which takes the QVariant way.
bool appendTypedLiteral(QString& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale) {
    using Kind = FieldValue::Kind;
    switch (columnClass) {
    case ColumnClass::C:
    case ColumnClass::U:
        if (value.kind != Kind::Text)
            return false;
        appendTextLiteral(out, value.characters(), columnClass, maxTypesAvailable);
        return true;
    case ColumnClass::N:
        return appendTypedNumber(out, value);
    case ColumnClass::L:
        if (value.kind != Kind::Bool)
            return false;
        out += value.boolean ? u'1' : u'0';
        return true;
    case ColumnClass::D:
        return appendTypedDate(out, value, milliseconds);
    case ColumnClass::B:
        if (value.kind != Kind::Bytes)
            return false;
        reraisingAs(QStringLiteral("GetHex"), [&] { appendHex(out, value.bytes); });
        return true;
    case ColumnClass::Date:
    case ColumnClass::Time:
    case ColumnClass::DateTime2:
    case ColumnClass::DateTimeOffset:
        if (value.kind != Kind::Text)
            return false;
        appendTemporal(out, columnClass, value.characters(), scale);
        return true;
    default:
        return false;
    }
}

} // namespace

QString GetDate(const QDateTime& value, qint32 milliseconds) {
    return reraisingAs(QStringLiteral("GetDate"), [&] {
        if (!value.isValid())
            raise(QStringLiteral("Invalid date value"));
        QString literal;
        appendDate(literal, timestampOf(value), milliseconds);
        return literal;
    });
}

QString GetHex(const QByteArray& bytes) {
    return reraisingAs(QStringLiteral("GetHex"), [&] {
        QString literal;
        appendHex(literal, bytes);
        return literal;
    });
}

QString quotedText(const QString& text) {
    QString literal;
    appendQuoted(literal, text);
    return literal;
}

QString quotedUnicodeText(const QString& text) {
    return QLatin1Char('N') + quotedText(text);
}

QString textLiteral(const QString& text, ColumnClass columnClass, bool maxTypesAvailable) {
    QString literal;
    appendCutLiteral(literal, text, columnClass, maxTypesAvailable);
    return literal;
}

void appendTextLiteral(Utf8Script& out, QStringView text, ColumnClass columnClass,
                       bool maxTypesAvailable) {
    if (!out.appendQuoted(text, columnClass == ColumnClass::U, true))
        appendCutLiteral(out, text, columnClass, maxTypesAvailable);
}

QString temporalLiteral(ColumnClass columnClass, const QString& text, int scale) {
    QString literal;
    appendTemporal(literal, columnClass, text, scale);
    return literal;
}

QString clrTypeLiteral(ColumnClass columnClass, const QByteArray& bytes) {
    return QLatin1String("convert(") + typeNameOf(columnClass) + QLatin1Char(',') + GetHex(bytes) +
           QLatin1Char(')');
}

QString numberLiteral(const QVariant& value) {
    QString literal;
    appendNumber(literal, value);
    return literal;
}

QString valueLiteral(ColumnClass columnClass, const QVariant& value, const QVariant& milliseconds,
                     bool maxTypesAvailable, int scale) {
    QString literal;
    appendValueLiteral(literal, columnClass, value, milliseconds, maxTypesAvailable, scale);
    return literal;
}

void appendValueLiteral(QString& out, ColumnClass columnClass, const QVariant& value,
                        const QVariant& milliseconds, bool maxTypesAvailable, int scale) {
    if (isNull(value)) {
        out += QLatin1StringView("null");
        return;
    }
    switch (columnClass) {
    case ColumnClass::C:
    case ColumnClass::U:
        return appendTextLiteral(out, value.toString(), columnClass, maxTypesAvailable);
    case ColumnClass::N:
        return appendNumber(out, value);
    case ColumnClass::L:
        out += value.toBool() ? u'1' : u'0';
        return;
    case ColumnClass::D:
        out += GetDate(value.toDateTime(), milliseconds.toInt());
        return;
    case ColumnClass::B:
        out += GetHex(value.toByteArray());
        return;
    case ColumnClass::Date:
    case ColumnClass::Time:
    case ColumnClass::DateTime2:
    case ColumnClass::DateTimeOffset:
        return appendTemporal(out, columnClass, value.toString(), scale);
    case ColumnClass::HierarchyId:
    case ColumnClass::Geometry:
    case ColumnClass::Geography:
        out += clrTypeLiteral(columnClass, value.toByteArray());
        return;
    case ColumnClass::T:
    case ColumnClass::Variant: // written from several fields, never from one
        break;
    }
    raiseUnexpectedCase();
}

void appendValueLiteral(QString& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale) {
    if (value.isNull()) {
        out += QLatin1StringView("null");
        return;
    }
    if (appendTypedLiteral(out, columnClass, value, milliseconds, maxTypesAvailable, scale))
        return;
    appendValueLiteral(out, columnClass, value.toVariant(),
                       milliseconds ? milliseconds->toVariant() : QVariant(), maxTypesAvailable,
                       scale);
}

void appendValueLiteral(Utf8Script& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale) {
    using Kind = FieldValue::Kind;
    if (value.isNull()) {
        out += QLatin1StringView("null");
        return;
    }
    switch (columnClass) {
    case ColumnClass::C:
    case ColumnClass::U:
        if (value.kind == Kind::Text)
            return appendTextLiteral(out, value.characters(), columnClass, maxTypesAvailable);
        break;
    case ColumnClass::N:
        if (appendTypedNumber(out, value))
            return;
        break;
    case ColumnClass::L:
        if (value.kind == Kind::Bool) {
            out += value.boolean ? u'1' : u'0';
            return;
        }
        break;
    case ColumnClass::D:
        if (appendTypedDate(out, value, milliseconds))
            return;
        break;
    default:
        break;
    }
    // The rest are a few 7-bit characters, written as for a QString; one
    // string serves them all.
    static thread_local QString literal;
    literal.resize(0);
    appendValueLiteral(literal, columnClass, value, milliseconds, maxTypesAvailable, scale);
    out += QStringView(literal);
}

} // namespace quarvex
