#pragma once

#include "db/FieldValue.h"
#include "db/OdbcHandle.h"
#include "db/RowBlock.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace quarvex {

class ConnectionInterrupter;
class OdbcConnection;

// How a result's rows are fetched: one at a time, or in blocks where every
// column has a bounded width (see RowBlock). A failure part way, such as a
// lost connection, then surfaces at the block that holds its row, so the
// rows just before it are not seen: fit for a large table's rows, where
// such a failure drops the table anyway, not for a listing that reports how
// far it got.
enum class RowFetch { OneByOne, InBlocks };

// One statement on an open connection: runs SQL text and reads the first
// result that has columns, forward only, one whole row at a time.
class OdbcStatement {
public:
    explicit OdbcStatement(OdbcConnection& connection);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    void execute(const QString& sql, RowFetch rowFetch = RowFetch::OneByOne);

    int columnCount() const { return int(m_columns.size()); }
    QString columnName(int position) const { return m_columns.at(position).name; }

    // Moves to the next row; false after the last one.
    bool fetch();

    // The value of a column of the current row, read whole in as many pieces
    // as it takes: text as QString, decimal, numeric and money as ExactNumber,
    // float as double, real as float, integers as qint64, bit as bool,
    // date-times as QDateTime (UTC, no zone conversion), binary as QByteArray,
    // NULL as an invalid QVariant. Columns must be read in ascending order.
    QVariant value(int position);

    // The same value read into field, whose buffers are reused: what the
    // rows of a large table are read through, without a QVariant per value.
    void read(int position, FieldValue& field);

    // Reads and discards the rest of every result, raising the first error.
    void drainResults();

    void close();

    // Frees the handle now; the statement is unusable afterwards.
    void release();

private:
    struct Column {
        QString name;
        ColumnShape shape;
    };

    void describeColumns();
    void bindIfBounded();
    void unbind();
    bool skipToResultWithColumns();
    // Each false for NULL.
    bool readWide(int column, QString& text);
    bool readBytes(int column, QByteArray& bytes);
    template <typename T> bool readFixed(int column, short cType, T& target);
    // rc is an ODBC return code.
    void check(short rc) const;

    // One buffer for every piece read, so that no value pays for clearing
    // a fresh one.
    QByteArray m_piece;
    // What the statement last ran, carried by its failures.
    QString m_sql;
    OdbcConnection* m_connection = nullptr;
    OdbcHandle m_statement;
    // Where a cancel from another thread finds the handle.
    std::shared_ptr<ConnectionInterrupter> m_interrupter;
    QList<Column> m_columns;
    // The rows of a result whose columns all have bounded widths, fetched in
    // blocks; empty when values are read one by one.
    std::optional<RowBlock> m_block;
};

} // namespace quarvex
