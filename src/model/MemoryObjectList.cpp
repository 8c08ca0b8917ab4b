#include "model/MemoryObjectList.h"

#include "base/ProcedureError.h"

namespace quarvex {

namespace {

void checkIndex(int index, int size) {
    if (index < 0 || index >= size)
        raise(QStringLiteral("Invalid property array index"));
}

} // namespace

const MemoryObjectList::Row& MemoryObjectList::row(int index) const {
    checkIndex(index, count());
    return m_rows.at(index);
}

void MemoryObjectList::setChecked(int index, bool checked) {
    checkIndex(index, count());
    // Like the window's list, a mark that does not change raises nothing.
    if (m_rows[index].checked == checked)
        return;
    m_rows[index].checked = checked;
    if (onItemCheck)
        onItemCheck(index);
}

void MemoryObjectList::insert(int index, const ListEntry& entry) {
    checkIndex(index, count() + 1);
    m_rows.insert(index, Row{entry, false});
}

void MemoryObjectList::remove(int index) {
    checkIndex(index, count());
    m_rows.removeAt(index);
    if (m_current >= count())
        m_current = count() - 1;
}

void MemoryObjectList::clear() {
    m_rows.clear();
    m_current = -1;
    m_top = 0;
}

} // namespace quarvex
