#pragma once

#include "db/OdbcStatement.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace quarvex {

class OdbcConnection;

// A forward-only, read-only record set: the query runs on construction and
// the record set stands on its first row (or at its end when there is none).
class RecordSet {
public:
    RecordSet(OdbcConnection& connection, const QString& sql,
              RowFetch rowFetch = RowFetch::OneByOne);

    // True after the last row (or at once when the query returned none).
    bool atEnd() const { return m_atEnd; }
    void moveNext();

    int fieldCount() const { return m_statement.columnCount(); }
    QString fieldName(int position) const { return m_statement.columnName(position); }
    QVariant value(int position) const;
    QVariant value(const QString& name) const;
    // The same value in its own type, valid until the next move.
    const FieldValue& field(int position) const;

    // Position of a field by name (exact first, then ignoring case); -1 when
    // the select list has no such field.
    int fieldPosition(const QString& name) const;

    void close();

private:
    void readRow();

    OdbcStatement m_statement;
    QHash<QString, int> m_positions;
    QList<FieldValue> m_row;
    bool m_atEnd = true;
    bool m_open = false;
};

} // namespace quarvex
