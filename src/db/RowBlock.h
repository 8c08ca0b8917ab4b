#pragma once

#include "db/FieldValue.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace quarvex {

// A result's column as the driver describes it.
struct ColumnShape {
    short type = 0;   // the SQL data type
    quint64 size = 0; // the column size: characters for text, bytes for binary
};

// Rows fetched many at a time into buffers bound to the columns, for a result
// whose every column has a bounded width: one driver call per block of rows
// instead of one per value, which was most of the client's own cost on large
// tables. Results with max, text, image, xml or other open-ended columns are
// read value by value in pieces instead (see OdbcStatement).
class RowBlock {
public:
    // Whether every column of the result can be bound.
    static bool fits(const QList<ColumnShape>& columns);

    // Raises for a failed ODBC return code.
    using Check = std::function<void(short)>;

    // Binds buffers for the columns to the open result of the statement
    // handle.
    RowBlock(void* statement, const QList<ColumnShape>& columns, const Check& check);

    // Moves to the next row, fetching the next block when this one is done;
    // false after the last row.
    bool next(void* statement, const Check& check) {
        if (m_row + 1 < qsizetype(m_fetched)) {
            ++m_row;
            return true;
        }
        return fetchBlock(statement, check);
    }

    // The value of a column of the current row, as OdbcStatement::read
    // gives it.
    void read(int column, FieldValue& field) const;

    // Undoes any binding, so that the statement can run another query.
    static void unbind(void* statement, const Check& check);

private:
    struct Binding {
        short cType = 0;
        FieldValue::Kind kind = FieldValue::Kind::Null;
        qsizetype width = 0; // bytes per value
        QByteArray values;
        QByteArray indicators;
    };

    bool fetchBlock(void* statement, const Check& check);

    QList<Binding> m_bindings;
    qsizetype m_rows = 1;  // rows per block
    quint64 m_fetched = 0; // rows in the current block
    qsizetype m_row = 0;   // the current row within it
};

} // namespace quarvex
