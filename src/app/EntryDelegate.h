#pragma once

#include <QStyledItemDelegate>

class QListWidget;

namespace quarvex {

// Draws the entries of the object list in three columns: the kind, the name
// with its owner (and row filter), and the object id, which starts at one
// place for every entry, past the widest name. Nothing is cut short with
// "…": an entry wider than the list makes it scroll sideways. Control
// characters in a name show C-style, so an entry stays on its line.
class EntryDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit EntryDelegate(QListWidget& list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the name and the id start, from the left of an entry's text.
    int nameColumn() const { return m_kindWidth + gap(); }
    int idColumn() const { return nameColumn() + m_nameWidth + gap(); }

    // The three columns of an entry's text: kind, name part, id.
    struct Columns {
        QString kind;
        QString name;
        QString id;
    };
    static Columns columnsOf(const QString& entryText);

private:
    // True when the entries grew wider.
    bool measure(int first, int last);
    void forget();
    int gap() const;

    QListWidget& m_list;
    int m_kindWidth = 0;
    int m_nameWidth = 0;
    int m_idWidth = 0;
};

} // namespace quarvex
