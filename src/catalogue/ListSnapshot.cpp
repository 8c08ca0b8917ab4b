#include "catalogue/ListSnapshot.h"

#include "catalogue/SelectionOrder.h"
#include "model/Toolkit.h"

namespace quarvex {

namespace {

int positionOf(const ObjectList& list, const QString& text, int from) {
    for (int i = from; i < list.count(); ++i)
        if (list.text(i) == text)
            return i;
    return -1;
}

} // namespace

ListSnapshot::ListSnapshot(const ObjectList& list)
    : m_current(list.currentIndex())
    , m_top(list.topIndex()) {
    for (int i = 0; i < list.count(); ++i) {
        m_texts.append(list.text(i));
        m_checked.append(list.isChecked(i));
    }
}

void ListSnapshot::restore(ObjectList& list, RunState& runState) const {
    withItemCheckSuppressed(runState, [&] {
        // A run only moves entries within their kind's group, so few are
        // out of place and each is found close by.
        for (int i = 0; i < m_texts.size() && i < list.count(); ++i) {
            if (list.text(i) != m_texts[i]) {
                const int from = positionOf(list, m_texts[i], i + 1);
                if (from < 0)
                    continue;
                const ListEntry entry = list.entry(from);
                list.remove(from);
                list.insert(i, entry);
            }
            if (list.isChecked(i) != m_checked[i])
                list.setChecked(i, m_checked[i]);
        }
        if (m_current < list.count())
            list.setCurrentIndex(m_current);
        if (m_top < list.count())
            list.setTopIndex(m_top);
    });
}

} // namespace quarvex
