#pragma once

#include "model/RunState.h"

#include <QList>
#include <QStringList>

namespace quarvex {

class ObjectList;

// The object list's entries, marks and position as they stand, so that a
// script run that fails can put back the ticks it started with: the ticking
// order is the list's order, so the entries go back to their places too.
class ListSnapshot {
public:
    explicit ListSnapshot(const ObjectList& list);

    // Moves every entry back to its place with its mark, the item-check
    // handler held off. Entries are matched by their text, which holds the
    // object id.
    void restore(ObjectList& list, RunState& runState) const;

private:
    QStringList m_texts;
    QList<bool> m_checked;
    int m_current = -1;
    int m_top = 0;
};

} // namespace quarvex
