#include "app/ListWidgetObjectList.h"

#include "base/ProcedureError.h"

#include <QListWidget>
#include <QScrollBar>

namespace quarvex {

ListWidgetObjectList::ListWidgetObjectList(QListWidget& widget)
    : m_widget(widget) {
    // topIndex reads the scroll value as a row number.
    m_widget.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Every entry is one line of text; without this the view measures all
    // of them again after each insert and remove, which makes a tick on a
    // long list slow.
    m_widget.setUniformItemSizes(true);
    // itemChanged would also fire for text and data changes; only a changed
    // mark is an item check. The model reports it inside setData, which is
    // what keeps the notification synchronous for program changes.
    QObject::connect(
        m_widget.model(), &QAbstractItemModel::dataChanged, &m_widget,
        [this](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
            if (!roles.contains(Qt::CheckStateRole) || !onItemCheck)
                return;
            for (int row = first.row(); row <= last.row(); ++row)
                onItemCheck(row);
        });
}

QListWidgetItem& ListWidgetObjectList::item(int index) const {
    QListWidgetItem* found = m_widget.item(index);
    if (!found)
        raise(QStringLiteral("Invalid list index ") + QString::number(index));
    return *found;
}

int ListWidgetObjectList::count() const {
    return m_widget.count();
}

QString ListWidgetObjectList::text(int index) const {
    return item(index).text();
}

ListEntry ListWidgetObjectList::entry(int index) const {
    const QListWidgetItem& row = item(index);
    return ListEntry{row.text(),
                     ObjectRef{static_cast<ObjectKind>(row.data(KindRole).toInt()),
                               row.data(NameRole).toString(), row.data(OwnerRole).toString(),
                               row.data(IdRole).value<qint32>(),
                               row.data(RowFilterRole).toString()}};
}

bool ListWidgetObjectList::isChecked(int index) const {
    return item(index).checkState() == Qt::Checked;
}

void ListWidgetObjectList::setChecked(int index, bool checked) {
    item(index).setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void ListWidgetObjectList::insert(int index, const ListEntry& entry) {
    if (index < 0 || index > count())
        raise(QStringLiteral("Invalid list index ") + QString::number(index));
    // Filled in before it joins the list, so building it raises no item check.
    auto* row = new QListWidgetItem(entry.text);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(Qt::Unchecked);
    row->setData(KindRole, int(entry.object.kind));
    row->setData(NameRole, entry.object.name);
    row->setData(OwnerRole, entry.object.owner);
    row->setData(IdRole, entry.object.id);
    if (!entry.object.rowFilter.isEmpty())
        row->setData(RowFilterRole, entry.object.rowFilter);
    m_widget.insertItem(index, row);
}

void ListWidgetObjectList::remove(int index) {
    delete m_widget.takeItem(index);
}

void ListWidgetObjectList::clear() {
    m_widget.clear();
}

int ListWidgetObjectList::currentIndex() const {
    return m_widget.currentRow();
}

void ListWidgetObjectList::setCurrentIndex(int index) {
    m_widget.setCurrentRow(index);
}

int ListWidgetObjectList::topIndex() const {
    if (count() == 0)
        return 0;
    // The list scrolls by whole items, so the scroll value is the row at the
    // top; indexAt would need the posted item layout to have run.
    return m_widget.verticalScrollBar()->value();
}

void ListWidgetObjectList::setTopIndex(int index) {
    m_widget.scrollToItem(&item(index), QAbstractItemView::PositionAtTop);
}

} // namespace quarvex
