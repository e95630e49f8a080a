#include "window/qt/widgets.h"

#include <QAction>
#include <QFontMetricsF>
#include <algorithm>
#include <array>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>

#include "window/qt/cookie_view.h"
#include "window/qt/input.h"

namespace vesk::qt {

int RowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant RowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return ShownText(Bytes(index.row()));
}

void RowModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void RowModel::Append(const std::vector<std::string>& rows) {
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  endInsertRows();
}

QSize WidestRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setWidth(std::max(size.width(), widest));
  return size;
}

EventList::EventList(QWidget* parent) : QListView(parent), delegate_(new WidestRowDelegate(this)) {
  setUniformItemSizes(true);
  setModel(&rows_);
  setItemDelegate(delegate_);
}

void EventList::Clear() {
  rows_.Clear();
  delegate_->widest = 0;
}

void EventList::Append(const std::vector<std::string>& rows) {
  if (rows.empty()) return;
  // Measuring a row as the delegate does costs tens of microseconds, too much for 100,000 of
  // them. Each row's width is estimated from the advances of its characters, and only the rows
  // with the largest estimates are measured: kerning moves a width by a pixel or so, which
  // cannot bring a row from further down the order to the top.
  constexpr std::size_t kMeasured = 32;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QFontMetricsF metrics(option.font);
  std::array<qreal, 128> ascii{};
  for (char16_t c = 32; c < 128; ++c) ascii[c] = metrics.horizontalAdvance(QChar(c));
  const int first = count();
  rows_.Append(rows);
  std::vector<std::pair<qreal, int>> estimates;
  estimates.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    qreal width = 0;
    bool plain = true;
    for (const char c : rows[i]) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 32 || byte >= 128) {
        plain = false;
        break;
      }
      width += ascii[byte];
    }
    if (!plain) width = metrics.horizontalAdvance(ShownText(rows[i]));
    estimates.emplace_back(width, first + static_cast<int>(i));
  }
  const std::size_t measured = std::min(kMeasured, estimates.size());
  std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(measured), estimates.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first; });
  int widest = delegate_->widest;
  for (std::size_t i = 0; i < measured; ++i) {
    widest = std::max(widest, delegate_->OwnSize(option, rows_.index(estimates[i].second)).width());
  }
  if (widest != delegate_->widest) {
    delegate_->widest = widest;
    // Rows already laid out keep the size measured then; lay them out again.
    scheduleDelayedItemsLayout();
  }
}

void EventList::keyPressEvent(QKeyEvent* event) {
  if (keyDown) keyDown(VirtualKey(event->key()), ShiftState(event->modifiers()));
  // Read after the report: a deletion it ran may have refilled the list, which is no user move.
  const int before = currentRow();
  QListView::keyPressEvent(event);
  ClickIfCurrentMoved(before);
}

void EventList::mousePressEvent(QMouseEvent* event) {
  ReportMouse(mouseDown, *event);
  // Only the left button selects: a right press must leave the selection and the current item
  // as they were, so the popup's delete acts on what the user had selected.
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  const bool onItem = indexAt(event->position().toPoint()).isValid();
  QListView::mousePressEvent(event);
  // Also a press on the item that is already current shows it again.
  if (onItem && currentRow() >= 0 && click) click();
}

void EventList::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt turns the second press of a double click into this event; it is a press all the same.
  mousePressEvent(event);
}

void EventList::mouseMoveEvent(QMouseEvent* event) {
  // Dragging with the left button moves the current item along; a drag with the right or middle
  // button held must not select, as their presses did not.
  const int before = currentRow();
  if ((event->buttons() & (Qt::RightButton | Qt::MiddleButton)) == Qt::NoButton) {
    QListView::mouseMoveEvent(event);
  }
  ClickIfCurrentMoved(before);
}

void EventList::mouseReleaseEvent(QMouseEvent* event) {
  // The list may settle its selection on release; the report must count the settled one.
  if (event->button() == Qt::LeftButton) QListView::mouseReleaseEvent(event);
  ReportMouse(mouseUp, *event);
}

void EventList::ReportMouse(const std::function<void(int, int, float, float)>& report,
                            const QMouseEvent& event) {
  if (!report) return;
  const QPoint at = viewport()->mapTo(this, event.position().toPoint());
  report(ButtonCode(event.button()), ShiftState(event.modifiers()), PixelsToTwips(at.x(), logicalDpiX()),
         PixelsToTwips(at.y(), logicalDpiY()));
}

void EventList::ClickIfCurrentMoved(int before) {
  if (currentRow() != before && currentRow() >= 0 && click) click();
}

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && clicked) {
    clicked();
  }
}

QString ShownText(const std::string& text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  for (qsizetype i = shown.indexOf(QLatin1Char('\t')); i >= 0; i = shown.indexOf(QLatin1Char('\t'), i)) {
    const qsizetype lineStart = shown.lastIndexOf(QLatin1Char('\n'), i) + 1;
    const qsizetype blanks = 8 - (i - lineStart) % 8;
    shown.replace(i, 1, QString(blanks, QLatin1Char(' ')));
  }
  return shown;
}

QString LiteralCaption(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
      .replace(QLatin1Char('&'), QLatin1String("&&"));
}

void QtListBox::Clear() { list_.Clear(); }

void QtListBox::AddItems(const std::vector<std::string>& texts) { list_.Append(texts); }

int QtListBox::ListCount() const { return list_.count(); }

int QtListBox::ListIndex() const { return list_.currentRow(); }

std::string QtListBox::List(int index) const {
  if (index < 0 || index >= list_.count()) return {};
  return list_.Rows().Bytes(index);
}

bool QtListBox::Selected(int index) const {
  return index >= 0 && index < list_.count() && list_.selectionModel()->isSelected(list_.Rows().index(index));
}

void QtListBox::SetSelected(int index, bool selected) {
  if (index < 0 || index >= list_.count()) return;
  list_.selectionModel()->select(list_.Rows().index(index),
                                 selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void QtListBox::SelectAll() { list_.selectAll(); }

int QtListBox::SelCount() const {
  // Counted over the selection's ranges, which may overlap, rather than row by row.
  std::vector<std::pair<int, int>> ranges;
  for (const QItemSelectionRange& range : list_.selectionModel()->selection()) {
    if (range.isValid()) ranges.emplace_back(range.top(), range.bottom());
  }
  std::sort(ranges.begin(), ranges.end());
  int count = 0;
  int covered = -1;  // the last row counted
  for (const auto& [top, bottom] : ranges) {
    if (bottom <= covered) continue;
    count += bottom - std::max(top, covered + 1) + 1;
    covered = bottom;
  }
  return count;
}

void QtListBox::SetVisible(bool visible) {
  if (!visible) {
    // Hiding a focused widget hands the focus on; remember to take it back when shown.
    focusBeforeHiding_ = list_.hasFocus() || list_.window()->focusWidget() == &list_;
    list_.hide();
    return;
  }
  list_.show();
  if (focusBeforeHiding_) list_.setFocus(Qt::OtherFocusReason);
  focusBeforeHiding_ = false;
}

void QtListBox::SetToolTip(const std::string& text) { list_.setToolTip(QString::fromUtf8(text)); }

QtTextBox::QtTextBox(CookieView& edit, QWidget& placed) : Placed(placed), edit_(edit) {}

void QtTextBox::SetText(const std::string& text) {
  edit_.ShowText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QtTextBox::SetText(platform::Utf16String&& text) { edit_.ShowText(std::move(text)); }

qsizetype QtTextBox::ShownLength() const { return edit_.TextLength(); }

QtCheckBox::QtCheckBox(QCheckBox& box) : Placed(box), box_(box) {}

int QtCheckBox::Value() const { return box_.isChecked() ? 1 : 0; }

void QtCheckBox::SetCaption(const std::string& text) { box_.setText(LiteralCaption(text)); }

void QtLabel::SetCaption(const std::string& text) { label_.setText(QString::fromUtf8(text)); }

void QtMenuItem::SetCaption(const std::string& text) { action_.setText(LiteralCaption(text)); }

}  // namespace vesk::qt
