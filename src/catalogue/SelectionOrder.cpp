#include "catalogue/SelectionOrder.h"

#include "base/ProcedureError.h"
#include "model/ReportingForm.h"
#include "model/RunState.h"
#include "model/Toolkit.h"

namespace quarvex {

namespace {

// Entries of one kind share their first seven characters: the six-character
// prefix and the TAB after it.
QString groupPrefix(const QString& entryText) {
    return entryText.left(7);
}

// Where the entry at item belongs: after the other ticked entries of its
// group, before the first entry that is unticked or lies past the group.
int insertionIndex(const ObjectList& list, int item, const QString& prefix) {
    const int count = list.count();
    bool found = false;
    for (int p = 0; p < count; ++p) {
        const bool inGroup = groupPrefix(list.text(p)) == prefix;
        found = found || inGroup;
        if (p != item && found && (!inGroup || !list.isChecked(p)))
            return p;
    }
    return count;
}

} // namespace

void lstNames_ItemCheck(Toolkit& toolkit, RunState& runState, int item) {
    if (runState.SuppressItemCheck)
        return;
    reportingAs(toolkit, runState, QStringLiteral("lstNames_ItemCheck"), [&] {
        ObjectList& list = toolkit.objectList();
        const int top = list.topIndex();
        const ListEntry entry = list.entry(item);
        const bool mark = list.isChecked(item);
        const int p = insertionIndex(list, item, groupPrefix(entry.text));

        withItemCheckSuppressed(runState, [&] {
            list.insert(p, entry);
            list.setChecked(p, mark);
            list.remove(item < p ? item : item + 1);
            list.setCurrentIndex(item);
            list.setTopIndex(top);
        });
    });
}

void SelectType(Toolkit& toolkit, RunState& runState) {
    reraisingAs(QStringLiteral("SelectType"), [&] {
        ObjectList& list = toolkit.objectList();
        const int current = list.currentIndex();
        const QString prefix = current >= 0 ? groupPrefix(list.text(current)) : QString();
        withItemCheckSuppressed(runState, [&] {
            for (int i = 0; i < list.count(); ++i) {
                if (!prefix.isEmpty() && groupPrefix(list.text(i)) == prefix) {
                    list.setTopIndex(i);
                    list.setChecked(i, true);
                }
            }
        });
    });
}

void SelectAll(Toolkit& toolkit, RunState& runState) {
    reraisingAs(QStringLiteral("SelectAll"), [&] {
        ObjectList& list = toolkit.objectList();
        withItemCheckSuppressed(runState, [&] {
            for (int i = 0; i < list.count(); ++i) {
                list.setTopIndex(i);
                list.setChecked(i, true);
            }
        });
    });
}

void DeselectAll(Toolkit& toolkit, RunState& runState) {
    reraisingAs(QStringLiteral("DeselectAll"), [&] {
        ObjectList& list = toolkit.objectList();
        withItemCheckSuppressed(runState, [&] {
            for (int i = list.count() - 1; i >= 0; --i)
                list.setChecked(i, false);
        });
    });
}

} // namespace quarvex
