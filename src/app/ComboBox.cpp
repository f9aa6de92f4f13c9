#include "ComboBox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

constexpr int ItemHeight = 16;

class ItemPainter final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        ComboBox::DrawItem(painter, option.rect, index.data().toString(), selected, text);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
    }
};

} // namespace

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setItemDelegate(new ItemPainter(this));
}

void ComboBox::DrawItem(QPainter* painter, const QRect& rect, const QString& text,
                        bool selectedInList, const QColor& textColour) {
    const QColor fill = selectedInList ? QColor(0xC0, 0xC0, 0xC0) : QColor(Qt::white);
    painter->save();
    painter->fillRect(rect, fill);
    if (selectedInList) {
        painter->setPen(fill);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSize(9);
    painter->setFont(font);
    painter->setPen(textColour);
    const QRect textRect = rect.adjusted(4, 2, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

void ComboBox::hidePopup() {
    // Qt also calls this when the box itself is hidden; only a list that was open closes up.
    const bool wasOpen = view() && view()->isVisible();
    QComboBox::hidePopup();
    if (wasOpen && OnCloseUp)
        OnCloseUp(this);
}

void ComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect edit = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                               QStyle::SC_ComboBoxEditField, this);
    DrawItem(&painter, edit, currentText(), false, palette().color(QPalette::Text));
}
