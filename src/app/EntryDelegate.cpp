#include "app/EntryDelegate.h"

#include "base/ControlCharacters.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <algorithm>

namespace quarvex {

namespace {

// The five TABs between the name part and the id of a list entry; the kind
// prefix and its TAB take the first seven characters.
constexpr QLatin1StringView idSeparator{"\t\t\t\t\t"};
constexpr int kindLength = 7;

QString shownOnOneLine(QStringView text) {
    QString shown;
    for (const QChar c : text)
        shown += c.unicode() < 0x20 ? cEscaped(QStringView(&c, 1)) : QString(c);
    return shown;
}

} // namespace

EntryDelegate::EntryDelegate(QListWidget& list)
    : QStyledItemDelegate(&list)
    , m_list(list) {
    QAbstractItemModel* model = list.model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { measure(first, last); });
    connect(model, &QAbstractItemModel::modelReset, this, &EntryDelegate::forget);
    // An entry's text changes when its row filter does.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                if (measure(first.row(), last.row()))
                    emit sizeHintChanged(first);
            });
}

EntryDelegate::Columns EntryDelegate::columnsOf(const QString& entryText) {
    const qsizetype idStart = entryText.lastIndexOf(idSeparator);
    if (idStart < kindLength)
        return {{}, shownOnOneLine(entryText), {}};
    return {entryText.left(kindLength - 1),
            shownOnOneLine(QStringView(entryText).mid(kindLength, idStart - kindLength)),
            entryText.mid(idStart + idSeparator.size())};
}

int EntryDelegate::gap() const {
    return m_list.fontMetrics().horizontalAdvance(QStringLiteral("  "));
}

bool EntryDelegate::measure(int first, int last) {
    const int before = idColumn() + m_idWidth;
    const QFontMetrics metrics = m_list.fontMetrics();
    for (int row = first; row <= last; ++row) {
        const QListWidgetItem* item = m_list.item(row);
        if (!item)
            continue;
        const Columns columns = columnsOf(item->text());
        m_kindWidth = std::max(m_kindWidth, metrics.horizontalAdvance(columns.kind));
        m_nameWidth = std::max(m_nameWidth, metrics.horizontalAdvance(columns.name));
        m_idWidth = std::max(m_idWidth, metrics.horizontalAdvance(columns.id));
    }
    return idColumn() + m_idWidth > before;
}

void EntryDelegate::forget() {
    m_kindWidth = m_nameWidth = m_idWidth = 0;
    if (m_list.count() > 0)
        measure(0, m_list.count() - 1);
}

void EntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const Columns columns = columnsOf(item.text);
    // The style draws the background, the check box and the focus; the
    // columns are drawn here.
    item.text.clear();
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(
        item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
        item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    const auto column = [&](int from, const QString& part) {
        painter->drawText(text.adjusted(from, 0, 0, 0), flags, part);
    };
    column(0, columns.kind);
    column(nameColumn(), columns.name);
    column(idColumn(), columns.id);
    painter->restore();
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    // The room of the check box and the margins, with one character of text.
    item.text = QStringLiteral("0");
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), widget);
    size.setWidth(size.width() - item.fontMetrics.horizontalAdvance(item.text) + idColumn() +
                  m_idWidth);
    return size;
}

} // namespace quarvex
