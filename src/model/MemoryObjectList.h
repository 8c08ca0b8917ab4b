#pragma once

#include "model/Toolkit.h"

#include <QList>
#include <functional>

namespace quarvex {

// An object list without a widget, for the command-line program and the
// tests. It raises the item-check notification inside setChecked, as the
// window's list does.
class MemoryObjectList : public ObjectList {
public:
    std::function<void(int index)> onItemCheck;

    int count() const override { return int(m_rows.size()); }
    ListEntry entry(int index) const override { return row(index).entry; }
    bool isChecked(int index) const override { return row(index).checked; }
    void setChecked(int index, bool checked) override;
    void insert(int index, const ListEntry& entry) override;
    void remove(int index) override;
    void clear() override;
    int currentIndex() const override { return m_current; }
    void setCurrentIndex(int index) override { m_current = index; }
    int topIndex() const override { return m_top; }
    void setTopIndex(int index) override { m_top = index; }

private:
    struct Row {
        ListEntry entry;
        bool checked = false;
    };
    const Row& row(int index) const;

    QList<Row> m_rows;
    int m_current = -1;
    int m_top = 0;
};

} // namespace quarvex
