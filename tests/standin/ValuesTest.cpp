// The stand-in's value rules: how literals are read and stored the way SQL
// Server reads and stores them.

#include "standin/CodePage1252.h"
#include "standin/DateTimeText.h"
#include "standin/ExactDecimal.h"
#include "standin/Lexer.h"
#include "standin/SqlFunctions.h"
#include "standin/TemporalText.h"
#include "standin/ValueConversion.h"

#include <QTest>

using namespace quarvex::standin;

class ValuesTest : public QObject {
    Q_OBJECT
private slots:
    void dateTimeLiterals_data();
    void dateTimeLiterals();
    void unreadableDateTimes_data();
    void unreadableDateTimes();
    void temporalLiterals_data();
    void temporalLiterals();
    void temporalStyles_data();
    void temporalStyles();
    void exactNumbers_data();
    void exactNumbers();
    void stringLiterals_data();
    void stringLiterals();
    void like_data();
    void like();
    void storeErrors_data();
    void storeErrors();
    void storedForms_data();
    void storedForms();
    void codePage1252();
    void batchesSplitAtGoLines();
};

void ValuesTest::dateTimeLiterals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<bool>("small");
    QTest::addColumn<QString>("stored");
    QTest::newRow("ymd with milliseconds") << "2008-12-10 14:05:09.007"
                                           << "mdy" << false << "2008-12-10T14:05:09.007";
    QTest::newRow("year first under dmy swaps day and month")
        << "2008-12-10 14:05:09.007"
        << "dmy" << false << "2008-10-12T14:05:09.007";
    QTest::newRow("unseparated ignores dmy") << "20081210"
                                             << "dmy" << false << "2008-12-10T00:00:00.000";
    QTest::newRow("ISO with T ignores dmy") << "2008-12-10T14:05:09"
                                            << "dmy" << false << "2008-12-10T14:05:09.000";
    QTest::newRow("mdy slashes") << "12/10/2008"
                                 << "mdy" << false << "2008-12-10T00:00:00.000";
    QTest::newRow("dmy slashes") << "12/10/2008"
                                 << "dmy" << false << "2008-10-12T00:00:00.000";
    QTest::newRow("two-digit year below 50") << "12/10/08"
                                             << "mdy" << false << "2008-12-10T00:00:00.000";
    QTest::newRow(".997 stays") << "2008-12-10 23:59:59.997"
                                << "mdy" << false << "2008-12-10T23:59:59.997";
    QTest::newRow(".998 rounds down to .997") << "2008-12-10 14:05:09.998"
                                              << "mdy" << false << "2008-12-10T14:05:09.997";
    QTest::newRow(".992 rounds to .993") << "2008-12-10 14:05:09.992"
                                         << "mdy" << false << "2008-12-10T14:05:09.993";
    QTest::newRow(".999 carries into the next day") << "2008-12-31 23:59:59.999"
                                                    << "mdy" << false << "2009-01-01T00:00:00.000";
    QTest::newRow("fraction of one digit") << "2008-12-10 14:05:09.5"
                                           << "mdy" << false << "2008-12-10T14:05:09.500";
    QTest::newRow("colon before milliseconds") << "2008-12-10 14:05:09:7"
                                               << "mdy" << false << "2008-12-10T14:05:09.007";
    QTest::newRow("midnight") << "2008-12-10 00:00:00.000"
                              << "mdy" << false << "2008-12-10T00:00:00.000";
    QTest::newRow("PM") << "2008-12-10 2:05PM"
                        << "mdy" << false << "2008-12-10T14:05:00.000";
    QTest::newRow("month name") << "Dec 10 2008"
                                << "dmy" << false << "2008-12-10T00:00:00.000";
    QTest::newRow("time only is 1900-01-01") << "14:05"
                                             << "mdy" << false << "1900-01-01T14:05:00.000";
    QTest::newRow("smalldatetime 29.998 s rounds down")
        << "2008-12-10 14:05:29.998"
        << "mdy" << true << "2008-12-10T14:05:00.000";
    QTest::newRow("smalldatetime 29.999 s rounds up") << "2008-12-10 14:05:29.999"
                                                      << "mdy" << true << "2008-12-10T14:06:00.000";
    QTest::newRow("earliest datetime") << "1753-01-01"
                                       << "mdy" << false << "1753-01-01T00:00:00.000";
}

void ValuesTest::dateTimeLiterals() {
    QFETCH(QString, text);
    QFETCH(QString, dateFormat);
    QFETCH(bool, small);
    QFETCH(QString, stored);
    const auto value = parseDateTime(text, dateFormat, small);
    QVERIFY(value);
    QCOMPARE(storedDateTime(*value), stored);
    QCOMPARE(fromStoredDateTime(stored), value);
}

void ValuesTest::unreadableDateTimes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("small");
    QTest::addColumn<int>("why");
    QTest::newRow("day 32") << "2008-12-32" << false << int(DateTimeError::Unreadable);
    QTest::newRow("month 13 under mdy") << "13/10/2008" << false << int(DateTimeError::Unreadable);
    QTest::newRow("words") << "yesterday" << false << int(DateTimeError::Unreadable);
    QTest::newRow("before 1753") << "1752-12-31" << false << int(DateTimeError::OutOfRange);
    QTest::newRow("smalldatetime after 2079-06-06")
        << "2079-06-07" << true << int(DateTimeError::OutOfRange);
}

void ValuesTest::unreadableDateTimes() {
    QFETCH(QString, text);
    QFETCH(bool, small);
    QFETCH(int, why);
    DateTimeError error = DateTimeError::None;
    QVERIFY(!parseDateTime(text, QStringLiteral("mdy"), small, &error));
    QCOMPARE(int(error), why);
}

void ValuesTest::temporalLiterals_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored"); // read under dmy; empty: an error
    QTest::addColumn<int>("why");
    const int ok = int(DateTimeError::None);
    const int unreadable = int(DateTimeError::Unreadable);
    const int outOfRange = int(DateTimeError::OutOfRange);
    QTest::newRow("year first with dashes ignores dmy") << "date"
                                                        << "2024-01-02"
                                                        << "2024-01-02" << ok;
    QTest::newRow("slashes follow dmy") << "date"
                                        << "02/01/2024"
                                        << "2024-01-02" << ok;
    QTest::newRow("T form") << "datetime2(3)"
                            << "2024-01-02T03:04:05.5"
                            << "2024-01-02 03:04:05.500" << ok;
    QTest::newRow("time only is on 1900-01-01") << "datetime2(0)"
                                                << "10:00"
                                                << "1900-01-01 10:00:00" << ok;
    QTest::newRow("fraction rounds half up") << "time(3)"
                                             << "12:34:54.1235"
                                             << "12:34:54.124" << ok;
    QTest::newRow("time wraps at midnight") << "time(0)"
                                            << "23:59:59.5"
                                            << "00:00:00" << ok;
    QTest::newRow("rounding carries into the next day") << "datetime2(2)"
                                                        << "2024-12-31 23:59:59.999"
                                                        << "2025-01-01 00:00:00.00" << ok;
    QTest::newRow("Z is +00:00") << "datetimeoffset(3)"
                                 << "2024-01-02T03:04:05Z"
                                 << "2024-01-02 03:04:05.000 +00:00" << ok;
    QTest::newRow("datetime2 drops an offset") << "datetime2(0)"
                                               << "2024-01-02 03:04:05 -14:00"
                                               << "2024-01-02 03:04:05" << ok;
    QTest::newRow("month 13") << "date"
                              << "2024-13-01"
                              << "" << unreadable;
    QTest::newRow("eight fraction digits") << "time(7)"
                                           << "10:00:00.12345678"
                                           << "" << unreadable;
    QTest::newRow("offset beyond 14 hours") << "datetimeoffset(0)"
                                            << "2024-01-02 03:04 +14:01"
                                            << "" << unreadable;
    QTest::newRow("rounding past 9999-12-31") << "datetime2(0)"
                                              << "9999-12-31 23:59:59.5"
                                              << "" << outOfRange;
    QTest::newRow("instant before 0001-01-01") << "datetimeoffset(0)"
                                               << "0001-01-01 00:00 +00:01"
                                               << "" << outOfRange;
}

void ValuesTest::temporalLiterals() {
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(int, why);
    const SqlType declared = *SqlType::fromSqliteDeclaration(type);
    DateTimeError error = DateTimeError::None;
    const auto value = parseTemporal(text, declared, QStringLiteral("dmy"), &error);
    QCOMPARE(int(error), why);
    QCOMPARE(value ? temporalText(*value, declared) : QString(), stored);
}

void ValuesTest::temporalStyles_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    const QString moment = QStringLiteral("2024-01-02 03:04:05.1234567");
    const QString offset = QStringLiteral("2024-01-02 03:04:05.1234567 +05:45");
    QTest::newRow("no style is 121") << moment << noStyle << moment;
    QTest::newRow("120 drops the fraction") << moment << 120 << "2024-01-02 03:04:05";
    QTest::newRow("126") << moment << 126 << "2024-01-02T03:04:05.1234567";
    QTest::newRow("126 leaves out a zero fraction")
        << "2024-01-02 03:04:05.000" << 126 << "2024-01-02T03:04:05";
    QTest::newRow("style 0") << moment << 0 << "Jan  2 2024  3:04AM";
    QTest::newRow("datetimeoffset 126") << offset << 126 << "2024-01-02T03:04:05.1234567+05:45";
    QTest::newRow("datetimeoffset 127 in UTC, the day before")
        << offset << 127 << "2024-01-01T21:19:05.1234567Z";
    QTest::newRow("date 103") << "0001-01-01" << 103 << "01/01/0001";
}

void ValuesTest::temporalStyles() {
    QFETCH(QString, stored);
    QFETCH(int, style);
    QFETCH(QString, text);
    QCOMPARE(convertValue(*SqlType::fromSqliteDeclaration("varchar(40)"), stored,
                          QStringLiteral("dmy"), style),
             QVariant(text));
}

void ValuesTest::exactNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("normal");
    QTest::newRow("pads the scale") << "1.5" << 9 << 4 << "1.5000";
    QTest::newRow("rounds half away from zero") << "-2.345" << 9 << 2 << "-2.35";
    QTest::newRow("38 digits") << "-1234567890123456789012345678.9012345678" << 38 << 10
                               << "-1234567890123456789012345678.9012345678";
    QTest::newRow("exponent") << "3.0000000000000004E-1" << 38 << 17 << "0.30000000000000004";
    QTest::newRow("negative zero is zero") << "-0.0001" << 9 << 2 << "0.00";
    QTest::newRow("rounding carries") << "9.999" << 9 << 2 << "10.00";
    QTest::newRow("overflow") << "123.4" << 4 << 2 << "";
    QTest::newRow("not a number") << "12a" << 9 << 2 << "";
}

void ValuesTest::exactNumbers() {
    QFETCH(QString, text);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QString, normal);
    QCOMPARE(normalizeDecimal(text, precision, scale).value_or(QString()), normal);
}

void ValuesTest::stringLiterals_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("doubled apostrophe") << "'O''Brien'" << int(Token::String) << "O'Brien";
    QTest::newRow("N prefix") << "N'x'" << int(Token::UnicodeString) << "x";
    QTest::newRow("line break kept") << "'a\r\nb'" << int(Token::String) << "a\r\nb";
    QTest::newRow("backslash before CR LF continues the line")
        << "'abc\\\r\ndef'" << int(Token::String) << "abcdef";
    QTest::newRow("backslash before LF continues the line")
        << "'abc\\\ndef'" << int(Token::String) << "abcdef";
    QTest::newRow("backslash elsewhere stays") << "'a\\b'" << int(Token::String) << "a\\b";
    QTest::newRow("bracketed name with ]] doubled") << "[a]]b]" << int(Token::QuotedName) << "a]b";
    QTest::newRow("bracketed name with backslash")
        << "[DOMAIN\\user]" << int(Token::QuotedName) << "DOMAIN\\user";
    QTest::newRow("quoted name") << "\"x.y\"" << int(Token::QuotedName) << "x.y";
    QTest::newRow("bare 0x") << "0x" << int(Token::Binary) << "";
    QTest::newRow("float literal")
        << "3.0000000000000004E-1" << int(Token::Float) << "3.0000000000000004E-1";
}

void ValuesTest::stringLiterals() {
    QFETCH(QString, source);
    QFETCH(int, kind);
    QFETCH(QString, text);
    const LexResult result = lex(source);
    QVERIFY(!result.unclosedQuote);
    QCOMPARE(result.tokens.size(), 2);
    QCOMPARE(int(result.tokens[0].kind), kind);
    QCOMPARE(result.tokens[0].text, text);
}

void ValuesTest::like_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("prefix, other case") << "spListProducts"
                                        << "SP%" << true;
    QTest::newRow("prefix missing") << "GetOverdueOrders"
                                    << "sp%" << false;
    QTest::newRow("underscore one character") << "fnA"
                                              << "fn_" << true;
    QTest::newRow("set") << "b1"
                         << "[abc]1" << true;
    QTest::newRow("negated set") << "b1"
                                 << "[^abc]1" << false;
    QTest::newRow("range") << "x7"
                           << "x[0-9]" << true;
    QTest::newRow("trailing blanks of the value ignored") << "U "
                                                          << "U" << true;
    QTest::newRow("non-Latin case-insensitive") << "ΑΒΓ"
                                                << "αβγ" << true;
    QTest::newRow("percent in the middle") << "dtproperties"
                                           << "dt%ties" << true;
}

void ValuesTest::like() {
    QFETCH(QString, value);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(likeMatches(value, pattern), matches);
}

void ValuesTest::storeErrors_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("number");
    QTest::newRow("varchar too long") << "varchar(3)" << QVariant(QStringLiteral("abcd")) << 8152;
    QTest::newRow("binary too long") << "varbinary(1)" << QVariant(QByteArray("ab")) << 8152;
    QTest::newRow("tinyint 256") << "tinyint" << QVariant(qint64(256)) << 220;
    QTest::newRow("int from words") << "int" << QVariant(QStringLiteral("abc")) << 245;
    QTest::newRow("decimal overflow")
        << "decimal(4,2)" << QVariant(QStringLiteral("123.4")) << 8115;
    QTest::newRow("money overflow")
        << "money" << QVariant(QStringLiteral("922337203685477.5808")) << 8115;
    QTest::newRow("bad date") << "datetime" << QVariant(QStringLiteral("2008-02-30")) << 241;
    QTest::newRow("bad guid") << "uniqueidentifier" << QVariant(QStringLiteral("xyz")) << 8169;
}

void ValuesTest::storeErrors() {
    QFETCH(QString, type);
    QFETCH(QVariant, value);
    QFETCH(int, number);
    try {
        storeValue(*SqlType::fromSqliteDeclaration(type), value, QStringLiteral("mdy"));
        QFAIL("no error");
    } catch (const SqlError& error) {
        QCOMPARE(error.number, number);
    }
}

void ValuesTest::storedForms_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("char padded") << "char(5)" << QVariant(QStringLiteral("ab"))
                                 << QVariant(QStringLiteral("ab   "));
    QTest::newRow("trailing blanks beyond varchar length dropped")
        << "varchar(2)" << QVariant(QStringLiteral("ab  ")) << QVariant(QStringLiteral("ab"));
    QTest::newRow("binary padded with zeros") << "binary(3)" << QVariant(QByteArray("\x01", 1))
                                              << QVariant(QByteArray("\x01\x00\x00", 3));
    QTest::newRow("varchar loses what 1252 lacks")
        << "varchar(10)" << QVariant(QStringLiteral("é€中")) << QVariant(QStringLiteral("é€?"));
    QTest::newRow("nvarchar keeps everything")
        << "nvarchar(10)" << QVariant(QStringLiteral("é€中")) << QVariant(QStringLiteral("é€中"));
    QTest::newRow("short exact number as a double")
        << "money" << QVariant(QStringLiteral("12.3456")) << QVariant(12.3456);
    QTest::newRow("long exact number as its digits")
        << "decimal(38,10)" << QVariant(QStringLiteral("1234567890123456.5"))
        << QVariant(QStringLiteral("1234567890123456.5000000000"));
    QTest::newRow("real rounds to single precision")
        << "real" << QVariant(0.1) << QVariant(double(0.1f));
    QTest::newRow("bit from 5") << "bit" << QVariant(qint64(5)) << QVariant(qint64(1));
    QTest::newRow("guid upper-cased, braces dropped")
        << "uniqueidentifier" << QVariant(QStringLiteral("{a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11}"))
        << QVariant(QStringLiteral("A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11"));
}

void ValuesTest::storedForms() {
    QFETCH(QString, type);
    QFETCH(QVariant, value);
    QFETCH(QVariant, stored);
    QCOMPARE(storeValue(*SqlType::fromSqliteDeclaration(type), value, QStringLiteral("mdy")),
             stored);
}

void ValuesTest::codePage1252() {
    const QString text = QStringLiteral("é€Ÿ");
    QCOMPARE(toCodePage1252(text), QByteArray("\xE9\x80\x9F"));
    QCOMPARE(fromCodePage1252(toCodePage1252(text)), text);
}

void ValuesTest::batchesSplitAtGoLines() {
    const QStringList batches = splitBatches(QStringLiteral(
        "set nocount on\r\nGO\r\n\r\ninsert t values ('go')\r\n go \r\nprint 'x'\r\n"));
    QCOMPARE(batches.size(), 3);
    QCOMPARE(batches[1].trimmed(), QStringLiteral("insert t values ('go')"));
}

QTEST_GUILESS_MAIN(ValuesTest)
#include "ValuesTest.moc"
