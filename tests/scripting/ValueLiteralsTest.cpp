#include "scripting/ValueLiterals.h"

#include "scripting/Utf8Script.h"

#include "base/ProcedureError.h"
#include "db/ExactNumber.h"
#include "scripting/VariantLiteral.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>
#include <charconv>
#include <cstring>
#include <limits>

using namespace quarvex;

Q_DECLARE_METATYPE(quarvex::ColumnClass)

namespace {

// What the server accepts as a numeric or float literal.
const QRegularExpression numericLiteral(QStringLiteral(R"(^-?\d+(\.\d+)?(E-?\d+)?$)"));

template <typename Float> Float readBack(const QString& literal) {
    const QByteArray text = literal.toLatin1();
    Float value{};
    const auto result = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.constData() + text.size())
        return std::numeric_limits<Float>::quiet_NaN();
    return value;
}

template <typename Float> bool sameBits(Float a, Float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// Text with every "@" turned into a NUL, which a C++ literal cannot carry.
QString withNuls(QString text) {
    return text.replace(u'@', QChar(0));
}

// A text literal as an 8-bit script file receives it: encoded by the file
// layer from the QString literal, and written straight as UTF-8 from the
// characters, with the lengths counted in UTF-16 code units. A value that
// cannot be written raises either way, the direct way before writing.
struct EightBitLiteral {
    QByteArray viaString;
    QByteArray direct;
    qsizetype stringLength = 0;
    qsizetype directLength = 0;
    bool stringFailed = false;
    bool directFailed = false;
};

EightBitLiteral eightBitLiteral(const QString& text, ColumnClass columnClass,
                                bool maxTypesAvailable) {
    EightBitLiteral literal;
    QString viaString;
    literal.stringFailed = failureOf([&] {
                               viaString = textLiteral(text, columnClass, maxTypesAvailable);
                           }).has_value();
    QStringEncoder encoder(QStringConverter::System);
    literal.viaString = encoder(viaString);
    literal.stringLength = viaString.size();
    Utf8Script direct;
    literal.directFailed = failureOf([&] {
                               appendTextLiteral(direct, text, columnClass, maxTypesAvailable);
                           }).has_value();
    literal.direct = direct.bytes().toByteArray();
    literal.directLength = direct.size();
    return literal;
}

} // namespace

class ValueLiteralsTest : public QObject {
    Q_OBJECT

private slots:
    void literals_data() {
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("milliseconds");
        QTest::addColumn<QString>("literal");

        const QVariant none;
        QTest::newRow("apostrophe doubled")
            << ColumnClass::C << QVariant("O'Brien") << none << "'O''Brien'";
        QTest::newRow("unicode prefix")
            << ColumnClass::U << QVariant("O'Brien") << none << "N'O''Brien'";
        QTest::newRow("two apostrophes become four")
            << ColumnClass::C << QVariant("a''b") << none << "'a''''b'";
        QTest::newRow("empty text is not null") << ColumnClass::C << QVariant("") << none << "''";
        QTest::newRow("empty unicode text") << ColumnClass::U << QVariant("") << none << "N''";
        QTest::newRow("line breaks stay inside")
            << ColumnClass::C << QVariant("a\r\nb\nc\td") << none << "'a\r\nb\nc\td'";
        QTest::newRow("non-latin unicode")
            << ColumnClass::U << QVariant("Ωμέγα 日本") << none << "N'Ωμέγα 日本'";
        QTest::newRow("null of any class") << ColumnClass::D << QVariant() << none << "null";
        QTest::newRow("null text")
            << ColumnClass::C << QVariant(QMetaType::fromType<QString>()) << none << "null";
        QTest::newRow("bit true") << ColumnClass::L << QVariant(true) << none << "1";
        QTest::newRow("bit false") << ColumnClass::L << QVariant(false) << none << "0";
        QTest::newRow("negative integer") << ColumnClass::N << QVariant(-5) << none << "-5";
        QTest::newRow("bigint limits")
            << ColumnClass::N << QVariant(std::numeric_limits<qlonglong>::min()) << none
            << "-9223372036854775808";
        QTest::newRow("negative money at full precision")
            << ColumnClass::N << QVariant::fromValue(ExactNumber{"-922337203685477.5808"}) << none
            << "-922337203685477.5808";
        QTest::newRow("decimal(38,10) digits as delivered")
            << ColumnClass::N
            << QVariant::fromValue(ExactNumber{"-9999999999999999999999999999.9999999999"}) << none
            << "-9999999999999999999999999999.9999999999";
        QTest::newRow("float needing 17 digits")
            << ColumnClass::N << QVariant(0.1 + 0.2) << none << "3.0000000000000004E-1";
        QTest::newRow("float short enough for plain decimal")
            << ColumnClass::N << QVariant(-123.456) << none << "-123.456";
        QTest::newRow("whole float") << ColumnClass::N << QVariant(100000.0) << none << "100000";
        QTest::newRow("tiny float") << ColumnClass::N << QVariant(1.5e-300) << none << "1.5E-300";
        QTest::newRow("zeros after the point")
            << ColumnClass::N << QVariant(0.00012) << none << "0.00012";
        QTest::newRow("large float with exponent")
            << ColumnClass::N << QVariant(1e20) << none << "1E20";
        QTest::newRow("negative float with exponent")
            << ColumnClass::N << QVariant(-2.5e-8) << none << "-2.5E-8";
        QTest::newRow("real") << ColumnClass::N << QVariant(0.1f) << none << "0.1";
        QTest::newRow("midnight") << ColumnClass::D << QVariant(at(2008, 12, 10, 0, 0, 0, 0))
                                  << QVariant(0) << "'2008-12-10 00:00:00.000'";
        QTest::newRow(".997 is not rounded up")
            << ColumnClass::D << QVariant(at(2008, 12, 10, 14, 5, 9, 997)) << QVariant(997)
            << "'2008-12-10 14:05:09.997'";
        QTest::newRow("milliseconds padded")
            << ColumnClass::D << QVariant(at(2008, 12, 10, 14, 5, 9, 7)) << QVariant(7)
            << "'2008-12-10 14:05:09.007'";
        QTest::newRow("smalldatetime ends in .000")
            << ColumnClass::D << QVariant(at(2079, 6, 6, 23, 59, 0, 0)) << QVariant(0)
            << "'2079-06-06 23:59:00.000'";
        QTest::newRow("datetime lower limit")
            << ColumnClass::D << QVariant(at(1753, 1, 1, 0, 0, 0, 0)) << QVariant(0)
            << "'1753-01-01 00:00:00.000'";
        QTest::newRow("no bytes") << ColumnClass::B << QVariant(QByteArray("")) << none << "0x";
        QTest::newRow("one zero byte")
            << ColumnClass::B << QVariant(QByteArray(1, '\0')) << none << "0x00";
        QTest::newRow("upper-case hex")
            << ColumnClass::B << QVariant(QByteArray("\x0A\xFF", 2)) << none << "0x0AFF";
    }

    void literals() {
        QFETCH(ColumnClass, columnClass);
        QFETCH(QVariant, value);
        QFETCH(QVariant, milliseconds);
        QFETCH(QString, literal);
        QCOMPARE(valueLiteral(columnClass, value, milliseconds), literal);
    }

    // The newer types arrive as the server's text (style 121) or bytes. An
    // empty literal: the value is refused.
    void newerTypeLiterals_data() {
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, ColumnClass columnClass, const QVariant& value,
                            int scale, const QString& literal) {
            QTest::newRow(name) << columnClass << value << scale << literal;
        };
        using enum ColumnClass;
        row("first date", Date, "0001-01-01", 0, "'0001-01-01'");
        row("time(0) without a point", Time, "23:59:59", 0, "'23:59:59'");
        row("time(7) keeps every digit", Time, "23:59:59.9999999", 7, "'23:59:59.9999999'");
        row("every fraction digit added", Time, "23:59:59", 7, "'23:59:59.0000000'");
        row("missing fraction digits added", DateTime2, "2009-03-02 16:45:12.1", 3,
            "'2009-03-02 16:45:12.100'");
        row("surplus zeros dropped", DateTime2, "2009-03-02 16:45:12.1230000", 3,
            "'2009-03-02 16:45:12.123'");
        row("datetime2(0) loses only zeros", DateTime2, "9999-12-31 23:59:59.000", 0,
            "'9999-12-31 23:59:59'");
        row("surplus digit that is not zero", DateTime2, "2009-03-02 16:45:12.1234", 3, "");
        row("offset -14:00", DateTimeOffset, "0001-01-01 00:00:00.0000000 -14:00", 7,
            "'0001-01-01 00:00:00.0000000 -14:00'");
        row("offset +05:45", DateTimeOffset, "2009-03-06 23:59:59 +05:45", 0,
            "'2009-03-06 23:59:59 +05:45'");
        row("zero offset is +00:00", DateTimeOffset, "2009-03-02 10:00:00.5 -00:00", 1,
            "'2009-03-02 10:00:00.5 +00:00'");
        row("offset missing", DateTimeOffset, "2009-03-02 10:00:00", 0, "");
        row("day first", Date, "02/03/2009", 0, "");
        row("a time for a date", Date, "10:00:00", 0, "");
        row("a point without digits", Time, "10:00:00.", 3, "");
        row("text after the value", Time, "10:00:00 x", 0, "");
        row("null", DateTimeOffset, QVariant(), 7, "null");
        row("hierarchyid root", HierarchyId, QByteArray(""), 0, "convert(hierarchyid,0x)");
        row("geometry", Geometry, QByteArray("\x00\x0A", 2), 0, "convert(geometry,0x000A)");
        row("geography", Geography, QByteArray("\xE6\x10", 2), 0, "convert(geography,0xE610)");
    }

    void newerTypeLiterals() {
        QFETCH(ColumnClass, columnClass);
        QFETCH(QVariant, value);
        QFETCH(int, scale);
        QFETCH(QString, literal);
        QString written;
        const auto failure =
            failureOf([&] { written = valueLiteral(columnClass, value, {}, true, scale); });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    // A sql_variant from its fields: the text, the base type with its
    // precision, scale and maximum length, the float and the bytes. The base type's length,
    // precision and scale come back with it. An empty literal: refused.
    void variantLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("bytes");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, const QString& text, const QString& info,
                            const QVariant& number, const QVariant& bytes, const QString& literal) {
            QTest::newRow(name) << text << info << number << bytes << literal;
        };
        const QString none;
        const auto wrapped = [](const QString& inner) {
            return "convert(sql_variant,convert(" + inner + "))";
        };
        row("int", "-2147483648", "int 10 0 4", {}, {}, wrapped("int,-2147483648"));
        row("decimal keeps precision and scale", "1.5000000000", "decimal 38 10 17", {}, {},
            wrapped("decimal(38,10),1.5000000000"));
        row("money as read", "-922337203685477.5808", "money 19 4 8", {}, {},
            wrapped("money,-922337203685477.5808"));
        row("float from its value, not its text", none, "float 53 0 8", 0.30000000000000004, {},
            wrapped("float,3.0000000000000004E-1"));
        row("real with a real's digits", none, "real 24 0 4", double(1.17549435E-38f), {},
            wrapped("real,1.1754944E-38"));
        row("nvarchar length in characters", "O'Brien", "nvarchar 0 0 40", {}, {},
            wrapped("nvarchar(20),N'O''Brien'"));
        row("varchar length", "abc", "varchar 0 0 20", {}, {}, wrapped("varchar(20),'abc'"));
        row("text cut where a batch runner would break it", "x\nGO\ny", "nvarchar 0 0 8", {}, {},
            wrapped("nvarchar(4),N'x\n'+N'GO\ny'"));
        row("varbinary from its bytes", none, "varbinary 0 0 10", {}, QByteArray("\x0A\xFF", 2),
            wrapped("varbinary(10),0x0AFF"));
        row("binary", none, "binary 0 0 4", {}, QByteArray("\x01\x00\x00\x00", 4),
            wrapped("binary(4),0x01000000"));
        row("uniqueidentifier", "6F9619FF-8B86-D011-B42D-00C04FC964FF", "uniqueidentifier 0 0 16",
            {}, {}, wrapped("uniqueidentifier,'6F9619FF-8B86-D011-B42D-00C04FC964FF'"));
        row("datetime keeps milliseconds", "2008-12-10 14:05:09.997", "datetime 23 3 8", {}, {},
            wrapped("datetime,'2008-12-10 14:05:09.997'"));
        row("smalldatetime", "2079-06-06 23:59:00.000", "smalldatetime 16 0 4", {}, {},
            wrapped("smalldatetime,'2079-06-06 23:59:00'"));
        row("datetime2 with its scale", "2009-03-02 16:45:12.1230000", "datetime2 23 3 7", {}, {},
            wrapped("datetime2(3),'2009-03-02 16:45:12.123'"));
        row("time with its scale", "12:34:56.7890000", "time 12 3 5", {}, {},
            wrapped("time(3),'12:34:56.789'"));
        row("datetimeoffset", "2009-03-06 23:59:59.9999999 +05:45", "datetimeoffset 34 7 10", {},
            {}, wrapped("datetimeoffset(7),'2009-03-06 23:59:59.9999999 +05:45'"));
        row("null", none, none, {}, {}, "null");
        row("number text that is no number", "1e5", "int 10 0 4", {}, {}, "");
        row("fraction digit beyond the scale", "12:34:56.7891000", "time 12 3 5", {}, {}, "");
        row("float without its value", "0.3", "float 53 0 8", {}, {}, "");
        row("base type it cannot write", "x", "sometype 0 0 8", {}, {}, "");
        row("properties it cannot read", "1", "int 10", {}, {}, "");
    }

    void variantLiterals() {
        QFETCH(QString, text);
        QFETCH(QString, info);
        QFETCH(QVariant, number);
        QFETCH(QVariant, bytes);
        QFETCH(QString, literal);
        const auto field = [](FieldValue::Kind kind) {
            FieldValue value;
            value.kind = kind;
            return value;
        };
        FieldValue textField =
            field(text.isNull() ? FieldValue::Kind::Null : FieldValue::Kind::Text);
        textField.text = text;
        FieldValue infoField =
            field(info.isNull() ? FieldValue::Kind::Null : FieldValue::Kind::Text);
        infoField.text = info;
        FieldValue numberField =
            field(number.isValid() ? FieldValue::Kind::Double : FieldValue::Kind::Null);
        numberField.real = number.toDouble();
        FieldValue bytesField =
            field(bytes.isValid() ? FieldValue::Kind::Bytes : FieldValue::Kind::Null);
        bytesField.bytes = bytes.toByteArray();
        QString written;
        const auto failure = failureOf([&] {
            appendVariantLiteral(written,
                                 VariantFields{textField, infoField, numberField, bytesField});
        });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    // Places that the server, the client or a batch runner (tsql, sqlcmd)
    // would change are cut out of the literal; nothing else is.
    void textLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<QString>("literal");
        const auto row = [](const char* name, const QString& text, ColumnClass columnClass,
                            const QString& literal) {
            QTest::newRow(name) << text << columnClass << literal;
        };
        const ColumnClass C = ColumnClass::C;
        const ColumnClass U = ColumnClass::U;
        row("ordinary line breaks stay inside", "a\r\nb\nc", C, "'a\r\nb\nc'");
        row("backslash before CR LF", "C:\\dir\\\r\nnext", C, "'C:\\dir\\'+'\r\nnext'");
        row("backslash before LF, unicode", "x\\\ny", U, "N'x\\'+N'\ny'");
        row("backslash elsewhere", "a\\b\\", C, "'a\\b\\'");
        row("apostrophes doubled in every piece", "it's\\\nme'", C, "'it''s\\'+'\nme'''");
        row("NUL in varchar", withNuls("a@b@"), C, "'a'+char(0)+'b'+char(0)");
        row("NULs first in nvarchar", withNuls("@@x"), U, "nchar(0)+nchar(0)+N'x'");
        row("NUL alone", withNuls("@"), C, "char(0)");
        row("NUL right after a command word", withNuls("a\nexit@"), C, "'a\n'+'exit'+char(0)");
        row("line reading GO", "a\r\nGO\r\nb", C, "'a\r\n'+'GO\r\nb'");
        row("go with blanks, lower case, at the end", "a\n \tgo ", U, "N'a\n'+N' \tgo '");
        row("GO with a count", "a\nGO 2", C, "'a\n'+'GO 2'");
        row("exit", "a\nexit\nb", C, "'a\n'+'exit\nb'");
        row("QUIT before CR LF", "a\r\nQUIT\r\n", C, "'a\r\n'+'QUIT\r\n'");
        row("bye between blanks", "a\n bye \nb", U, "N'a\n'+N' bye \nb'");
        row("reset", "a\nreset", C, "'a\n'+'reset'");
        row("version with a word after it", "a\nversion 2", C, "'a\n'+'version 2'");
        row("ed", "a\nEd", U, "N'a\n'+N'Ed'");
        row("sqlcmd exit with a query", "a\nexit(select 1)", C, "'a\n'+'exit(select 1)'");
        row("sqlcmd :r", "a\n:r x", C, "'a\n'+':r x'");
        row("sqlcmd :setvar after blanks", "a\n  :setvar V 1", C, "'a\n'+'  :setvar V 1'");
        row("sqlcmd !!", "a\n!!ls", U, "N'a\n'+N'!!ls'");
        row("sqlcmd variable", "cost $(x) $", C, "'cost $'+'(x) $'");
        row("dollar and parenthesis apart", "$ ( $x (", C, "'$ ( $x ('");
        row("exited is no command", "a\nexited", C, "'a\nexited'");
        row("editor is no command", "a\neditor", U, "N'a\neditor'");
        row("gone is no command", "a\ngone", C, "'a\ngone'");
        row("a command word later in the line", "a\nsay exit", C, "'a\nsay exit'");
        row("the first line is no line of its own", "GO\nexit", C, "'GO\n'+'exit'");
    }

    void textLiterals() {
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(QString, literal);
        QCOMPARE(textLiteral(text, columnClass, true), literal);
        const EightBitLiteral eightBit = eightBitLiteral(text, columnClass, true);
        QCOMPARE(eightBit.direct, eightBit.viaString);
    }

    // The UTF-8 writer takes up to sixteen characters at a time and looks
    // closer at the first that is not plain; whatever stands at the edges of
    // those runs, it writes the bytes the file layer makes of the QString.
    void eightBitTextAtRunEdges_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<bool>("maxTypesAvailable");
        const auto row = [](const char* name, const QString& text,
                            ColumnClass columnClass = ColumnClass::C, bool maxTypes = true) {
            QTest::newRow(name) << text << columnClass << maxTypes;
        };
        const QString a7(7, u'a');
        const QString a8(8, u'a');
        const QString a15(15, u'a');
        const QString a16(16, u'a');
        const QString smiley = QStringLiteral("\U0001F600");
        row("empty", "");
        row("seven, eight, nine plain", a7 + "|" + a8 + "|" + a8 + "b");
        row("sixteen and seventeen plain", a16 + "|" + a16 + "b", ColumnClass::U);
        row("two bytes last of sixteen", a15 + "é" + "bc");
        row("three bytes first after sixteen", a16 + "€" + a8, ColumnClass::U);
        row("pair of surrogates across sixteen", a15 + smiley + "z", ColumnClass::U);
        row("pair of surrogates across the last eight", a16 + a7 + smiley + a8, ColumnClass::U);
        row("apostrophe sixteenth", a15 + "'" + "b");
        row("apostrophe last of the last eight", a16 + a7 + "'");
        row("apostrophes only", QString(40, u'\''), ColumnClass::U);
        row("lone high surrogate before the closing apostrophe", QString("ab") + QChar(0xD800),
            ColumnClass::U);
        row("lone low surrogate after sixteen", a16 + QChar(0xDC00) + a8, ColumnClass::U);
        row("reversed pair", a8 + QChar(0xDE00) + QChar(0xD83D) + a8, ColumnClass::U);
        row("Latin-1 letters above 0x7F", QString(20, QChar(0x00FF)) + QString(20, QChar(0x0080)));
        // Each ends in the byte of an apostrophe, a line break, "$" or NUL:
        // none of them may be taken for that character.
        row("characters whose low byte is a special one",
            QString(20, QChar(0x0127)) + QChar(0x010A) + QChar(0x0124) + QChar(0x0100) +
                QChar(0x2027) + a16,
            ColumnClass::U);
        row("line break after sixteen starts a cut", a16 + "\nGO\n" + a8);
        row("$( across sixteen", a15 + "$(" + a8);
        row("NUL after eight", a8 + QChar(0) + "b", ColumnClass::U);
        row("cut after Unicode text beyond 4000", QString(4001, QChar(0x20AC)) + "$(x",
            ColumnClass::U);
        row("the same before 2005 cannot be written", QString(4001, QChar(0x20AC)) + "$(x",
            ColumnClass::U, false);
        row("long text with two-byte characters and no cut", QString(9000, QChar(0x00E9)));
    }

    void eightBitTextAtRunEdges() {
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(bool, maxTypesAvailable);
        const EightBitLiteral literal = eightBitLiteral(text, columnClass, maxTypesAvailable);
        QCOMPARE(literal.directFailed, literal.stringFailed);
        QCOMPARE(literal.direct, literal.viaString);
        QCOMPARE(literal.directLength, literal.stringLength);
    }

    // A split value longer than 8000 bytes starts with a max type, so that
    // the concatenation is not cut; servers before 2005 have none.
    void longSplitTextLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ColumnClass>("columnClass");
        QTest::addColumn<bool>("maxTypesAvailable");
        QTest::addColumn<QString>("literal"); // empty: the value cannot be written
        const QString x8000(8000, u'x');
        const QString x4000(4000, u'x');
        QTest::newRow("NUL after 8000 bytes") << x8000 + QChar(0) << ColumnClass::C << true
                                              << "convert(varchar(max),'" + x8000 + "')+char(0)";
        QTest::newRow("NUL first") << QChar(0) + x8000 << ColumnClass::C << true
                                   << "convert(varchar(max),char(0))+'" + x8000 + "'";
        QTest::newRow("command line after 4000 Unicode characters")
            << x4000 + "\nquit" << ColumnClass::U << true
            << "convert(nvarchar(max),N'" + x4000 + "\n')+N'quit'";
        QTest::newRow("8000 characters in all fit before 2005")
            << QString(7998, u'x') + "$(" << ColumnClass::C << false
            << "'" + QString(7998, u'x') + "$'+'('";
        QTest::newRow("longer before 2005") << x4000 + "\nGO" << ColumnClass::U << false << "";
        QTest::newRow("NUL in a long value before 2005")
            << x8000 + QChar(0) << ColumnClass::C << false << "";
        QTest::newRow("long value without cuts before 2005")
            << QString(9000, u'y') << ColumnClass::C << false << "'" + QString(9000, u'y') + "'";
    }

    void longSplitTextLiterals() {
        QFETCH(QString, text);
        QFETCH(ColumnClass, columnClass);
        QFETCH(bool, maxTypesAvailable);
        QFETCH(QString, literal);
        QString written;
        const auto failure =
            failureOf([&] { written = textLiteral(text, columnClass, maxTypesAvailable); });
        QCOMPARE(failure.has_value(), literal.isEmpty());
        QCOMPARE(written, literal);
    }

    void doublesReadBackExactly_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("one third") << 1.0 / 3.0;
        QTest::newRow("17 digits") << 0.1 + 0.2;
        QTest::newRow("largest") << std::numeric_limits<double>::max();
        QTest::newRow("smallest normal") << std::numeric_limits<double>::min();
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min();
        QTest::newRow("2^53 + 2") << 9007199254740994.0;
        QTest::newRow("negative huge") << -1.2345678901234567e200;
        QTest::newRow("pi") << 3.141592653589793;
        QTest::newRow("zero") << 0.0;
        QTest::newRow("1e15") << 1e15;
        QTest::newRow("1e-7") << 1e-7;
    }

    void doublesReadBackExactly() {
        QFETCH(double, value);
        const QString literal = numberLiteral(value);
        QVERIFY2(numericLiteral.match(literal).hasMatch(), qPrintable(literal));
        QVERIFY2(sameBits(readBack<double>(literal), value), qPrintable(literal));
    }

    void realsReadBackExactly_data() {
        QTest::addColumn<float>("value");
        QTest::newRow("one third") << 1.0f / 3.0f;
        QTest::newRow("needs 9 digits") << 10.0000105f;
        QTest::newRow("largest") << std::numeric_limits<float>::max();
        QTest::newRow("smallest normal") << std::numeric_limits<float>::min();
        QTest::newRow("negative") << -0.3f;
    }

    void realsReadBackExactly() {
        QFETCH(float, value);
        const QString literal = numberLiteral(value);
        QVERIFY2(numericLiteral.match(literal).hasMatch(), qPrintable(literal));
        QVERIFY2(sameBits(readBack<float>(literal), value), qPrintable(literal));
    }

    void refusesWhatIsNoNumber_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("grouping comma") << QVariant::fromValue(ExactNumber{"1,5"});
        QTest::newRow("injected text") << QVariant::fromValue(ExactNumber{"1);drop table x--"});
        QTest::newRow("two points") << QVariant::fromValue(ExactNumber{"1.2.3"});
        QTest::newRow("bare minus") << QVariant::fromValue(ExactNumber{"-"});
        QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity());
        QTest::newRow("text") << QVariant(QStringLiteral("12"));
    }

    void refusesWhatIsNoNumber() {
        QFETCH(QVariant, value);
        QVERIFY(failureOf([&] { numberLiteral(value); }).has_value());
    }

    void invalidDateNamesGetDate() {
        const auto failure = failureOf([] { GetDate(QDateTime(), 0); });
        QVERIFY(failure.has_value());
        QVERIFY2(failure->description.startsWith("GetDate: "), qPrintable(failure->description));
    }
};

QTEST_GUILESS_MAIN(ValueLiteralsTest)
#include "ValueLiteralsTest.moc"
