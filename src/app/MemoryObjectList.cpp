#include "app/MemoryObjectList.h"

namespace quarvex {

void MemoryObjectList::setChecked(int index, bool checked) {
    m_rows[index].checked = checked;
    if (onItemCheck)
        onItemCheck(index);
}

void MemoryObjectList::insert(int index, const ListEntry& entry) {
    m_rows.insert(index, Row{entry, false});
}

void MemoryObjectList::remove(int index) {
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
