#include "text_list.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QPalette>
#include <QStyle>
#include <QStyledItemDelegate>

#include "text_fit.h"

namespace tarvik::ui {
namespace {

// Every line, the empty ones too, is exactly one font line high, as in the
// form's list boxes.
class OneLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(QFontMetrics(option.font).height());
    return size;
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain = option;
    const auto* list = qobject_cast<const TextList*>(option.widget);
    if (list != nullptr && !list->showsFocus()) plain.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, plain, index);
  }
};

}  // namespace

TextList::TextList(QWidget* parent, const QString& name, const QRect& geometry,
                   const QFont& font, const QStringList& lines)
    : QListWidget(parent) {
  setObjectName(name);
  setFont(font);
  setFrameShape(QFrame::NoFrame);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Window));
  setPalette(pal);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(false);
  setItemDelegate(new OneLineDelegate(this));
  for (const QString& line : lines) {
    auto* item = new QListWidgetItem(line, this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  }
  setGeometry(geometry);
  GrowToFit(*this, WidestLine(font, lines) + textMargins(), false);
}

QStringList TextList::lines() const {
  QStringList result;
  for (int row = 0; row < count(); ++row) result << item(row)->text();
  return result;
}

void TextList::focusInEvent(QFocusEvent* event) {
  showsFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  QListWidget::focusInEvent(event);
}

void TextList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);
}

void TextList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  QAbstractItemView::selectionChanged(selected, deselected);
}

int TextList::textMargins() const {
  // QStyledItemDelegate keeps the focus-frame margin plus one pixel each side.
  return 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
}

}  // namespace tarvik::ui
