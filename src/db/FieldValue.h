#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace quarvex {

// A date and time as the driver delivers it; fraction in nanoseconds.
struct Timestamp {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    quint32 fraction = 0;
};

// One value of the current row, held in its own type. A record set keeps one
// per column and reads every row into the same ones, so that the text and
// byte buffers are reused rather than allocated for each value.
struct FieldValue {
    enum class Kind { Null, Bool, Integer, Float, Double, Exact, Timestamp, Text, Bytes };

    Kind kind = Kind::Null;
    bool boolean = false;
    qint64 integer = 0;
    float single = 0;
    double real = 0;
    quarvex::Timestamp stamp;
    QString text; // Text, and the digits of Exact, when read value by value
    // The same when the row came in a block: the characters where the driver
    // put them, valid until the next move, so that they are copied only once,
    // into the script.
    QStringView blockCharacters;
    QByteArray bytes;

    bool isNull() const { return kind == Kind::Null; }

    // The characters of Text and Exact, wherever they are.
    QStringView characters() const {
        return blockCharacters.data() ? blockCharacters : QStringView(text);
    }

    // The value as RecordSet::value gives it (see OdbcStatement::value).
    QVariant toVariant() const;
};

} // namespace quarvex
