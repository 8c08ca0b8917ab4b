#include "scripting/ValueLiterals.h"

#include "db/ExactNumber.h"
#include "base/ProcedureError.h"

#include <QRegularExpression>
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
