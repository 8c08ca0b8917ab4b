#include "db/RecordSet.h"

#include "base/ProcedureError.h"

namespace quarvex {

RecordSet::RecordSet(OdbcConnection& connection, const QString& sql, RowFetch rowFetch)
    : m_statement(connection) {
    m_statement.execute(sql, rowFetch);
    m_open = true;
    for (int i = 0; i < m_statement.columnCount(); ++i)
        m_positions.insert(m_statement.columnName(i), i);
    moveNext();
}

void RecordSet::readRow() {
    // Drivers hand out columns in ascending order only, so the whole row is
    // read at once and fields are then served from memory. The fields stay
    // from row to row, and with them their buffers.
    m_row.resize(m_statement.columnCount());
    for (int i = 0; i < m_statement.columnCount(); ++i)
        m_statement.read(i, m_row[i]);
}

void RecordSet::moveNext() {
    if (!m_open)
        raise(QStringLiteral("The record set is closed"));
    m_atEnd = !m_statement.fetch();
    if (m_atEnd)
        m_row.clear();
    else
        readRow();
}

int RecordSet::fieldPosition(const QString& name) const {
    const auto exact = m_positions.constFind(name);
    if (exact != m_positions.constEnd())
        return exact.value();
    for (auto it = m_positions.constBegin(); it != m_positions.constEnd(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return -1;
}

const FieldValue& RecordSet::field(int position) const {
    if (m_atEnd)
        raise(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"));
    if (position < 0 || position >= m_row.size())
        raise(QStringLiteral("Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal."));
    return m_row.at(position);
}

QVariant RecordSet::value(int position) const {
    return field(position).toVariant();
}

QVariant RecordSet::value(const QString& name) const {
    return value(fieldPosition(name));
}

void RecordSet::close() {
    if (!m_open)
        return;
    m_open = false;
    m_atEnd = true;
    m_row.clear();
    m_statement.close();
}

} // namespace quarvex
