#pragma once

#include "model/Toolkit.h"

#include <QtCore/qnamespace.h>
#include <functional>

class QListWidget;
class QListWidgetItem;

namespace quarvex {

// The object list over the window's check-box list widget. Each item shows
// the entry's text and carries the object behind it in its own data roles,
// so the object moves wherever the item moves.
class ListWidgetObjectList : public ObjectList {
public:
    enum Role : int { KindRole = Qt::UserRole, NameRole, OwnerRole, IdRole, RowFilterRole };

    explicit ListWidgetObjectList(QListWidget& widget);

    // Called after any change of a check mark, by the user or the program,
    // inside the call that changed it.
    std::function<void(int index)> onItemCheck;

    int count() const override;
    ListEntry entry(int index) const override;
    QString text(int index) const override;
    bool isChecked(int index) const override;
    void setChecked(int index, bool checked) override;
    void insert(int index, const ListEntry& entry) override;
    void remove(int index) override;
    void clear() override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;
    int topIndex() const override;
    void setTopIndex(int index) override;

private:
    QListWidgetItem& item(int index) const;

    QListWidget& m_widget;
};

} // namespace quarvex
